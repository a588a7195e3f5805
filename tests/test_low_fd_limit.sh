#!/bin/sh
# kelvanectl run with only 64 open files allowed (soft and hard) and 500 processes: the pidfds it
# cannot keep are opened per operation, and a profile is still held, a kill on sense still done,
# and every class given back on SIGTERM. Runs as PID 1 of its own namespace (CTest wraps it), so
# nothing but its own children is reached.
#   test_low_fd_limit.sh KELVANECTL TEST_CHILD
set -eu
ctl=$1
child=$2
if [ "$$" != 1 ]; then
    echo "SKIP: runs only as PID 1 of a private PID namespace (in-pid-namespace.sh)" >&2
    exit 77
fi
command -v prlimit > /dev/null || { echo "SKIP: prlimit is missing (util-linux)" >&2; exit 77; }
dir=$(mktemp -d)
cleanup() { kill -KILL $(jobs -p) 2>/dev/null || true; rm -rf "$dir"; }
trap cleanup EXIT

nice_of() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{ print $17 }'; }
alive() { [ -e "/proc/$1" ] && ! grep -q '^State:.*Z' "/proc/$1/status" 2>/dev/null; }
# Waits up to 20 s for a shell condition.
wait_for() {
    i=0
    while ! eval "$1"; do
        i=$((i + 1))
        [ $i -gt 400 ] && { echo "FAIL: timed out waiting for: $1" >&2; exit 1; }
        sleep 0.05
    done
}

cp "$child" "$dir/managed"
cp "$child" "$dir/doomed"
printf '[Preferences]\nBoostForeground=0\n[%s]\nPriority=128\n[%s]\nAutoKill=1\n' "$dir/managed" "$dir/doomed" \
    > "$dir/kelvane.ini"

i=0
while [ $i -lt 500 ]; do sleep 100000 & i=$((i + 1)); done
nice -n 3 "$dir/managed" threads 0 & managed=$!
prlimit --nofile=64:64 "$ctl" run --settings "$dir/kelvane.ini" 2> "$dir/err" & run=$!

wait_for '[ "$(nice_of $managed)" = -10 ]'
"$dir/doomed" threads 0 & doomed=$!
wait_for '! alive $doomed'
fds=$(ls "/proc/$run/fd" | wc -l)
[ "$fds" -le 64 ] || { echo "FAIL: $fds open files" >&2; exit 1; }

kill -TERM $run
wait $run || { echo "FAIL: kelvanectl run failed:" >&2; cat "$dir/err" >&2; exit 1; }
[ "$(nice_of $managed)" = 3 ] || { echo "FAIL: managed child at nice $(nice_of $managed), not 3" >&2; exit 1; }
if grep -qi 'too many open files' "$dir/err"; then
    echo "FAIL: descriptors ran out:" >&2
    cat "$dir/err" >&2
    exit 1
fi
echo "PASS: 500 processes with 64 open files ($fds in use)"
