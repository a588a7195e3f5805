#!/bin/sh
# Ending kelvane on the virtual desktop of scripts/run-on-desktop.sh (scripts/run.sh starts it so
# without a display) as a person would: Ctrl+C typed on its terminal (a pseudo-terminal of script(1)),
# or SIGTERM to the script. Either way kelvane ends first, on its own terms (status 0, no "The X11
# connection broke"), and the X server after it. Runs as PID 1 of its own namespace (CTest wraps it).
#   test_run_on_desktop.sh KELVANE
set -u
kelvane=$1
here=$(cd "$(dirname "$0")/.." && pwd)
for tool in xvfb-run Xvfb openbox trayer xdotool script setsid; do
    command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed (scripts/deps.sh --test installs it)"; exit 77; }
done
[ "$$" = 1 ] || { echo "skipped: runs only as PID 1 of a private PID namespace (in-pid-namespace.sh)"; exit 77; }
passed=0
failed=0

# The PIDs of the running (not zombie) processes whose executable is $1.
pids_of() {
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/exe" 2>/dev/null)" = "$1" ] || continue
        grep -q '^State:.*Z' "$p/status" 2>/dev/null || echo "${p#/proc/}"
    done
}
wait_for() { # SECONDS COMMAND...
    n=$(($1 * 20)); shift
    until "$@"; do n=$((n - 1)); [ $n -gt 0 ] || return 1; sleep 0.05; done
}
window_shown() {
    pid=$(pids_of "$kelvane" | head -n1)
    [ -n "$pid" ] || return 1
    env=$(tr '\0' '\n' < "/proc/$pid/environ")
    DISPLAY=$(echo "$env" | sed -n 's/^DISPLAY=//p') XAUTHORITY=$(echo "$env" | sed -n 's/^XAUTHORITY=//p') \
        xdotool search --onlyvisible --name '^Kelvane$' >/dev/null 2>&1
}
gone() { [ -z "$(pids_of "$kelvane")" ] && [ -z "$(pids_of "$(readlink -f "$(command -v Xvfb)")")" ]; }

# NAME HOW: ctrl-c types ^C on the terminal, term sends SIGTERM to run-on-desktop.sh.
case_() {
    name=$1 how=$2
    dir=$(mktemp -d)
    mkdir -p "$dir/config/kelvane"
    printf '[Preferences]\nShow splash screen=0\nCheckForNewVersion=0\n' > "$dir/config/kelvane/kelvane.ini"
    mkfifo "$dir/keys"
    # SIGINT as a terminal's program has it: a shell starts a background job with it ignored. The
    # script's command runs in $SHELL, which must leave the terminal to run-on-desktop.sh alone (a
    # dash waiting for it would die of the Ctrl+C itself).
    HOME=$dir XDG_CONFIG_HOME=$dir/config env --default-signal=INT \
        script -qfec "exec '$here/scripts/run-on-desktop.sh' '$kelvane'" /dev/null \
        < "$dir/keys" > "$dir/out" 2>&1 &
    term=$!
    exec 3> "$dir/keys"
    ok=1
    if ! wait_for 30 window_shown; then
        echo "$name: the window did not show"; ok=0
    fi
    grep -q 'runs on display :[0-9]*.*Ctrl+C ends it' "$dir/out" || { echo "$name: no word of the display"; ok=0; }
    case $how in
        ctrl-c) printf '\003' >&3 ;;
        term) for p in $(pids_of "$(readlink -f "$(command -v bash)")"); do
                  tr '\0' ' ' < "/proc/$p/cmdline" | grep -q 'run-on-desktop.sh' && kill -TERM "$p"
              done ;;
    esac
    if wait_for 20 sh -c "! kill -0 $term 2>/dev/null"; then
        wait $term; rc=$?
        [ $rc = 0 ] || { echo "$name: ended with status $rc, not kelvane's 0"; ok=0; }
    else
        echo "$name: did not end"; kill -KILL $term; ok=0
    fi
    exec 3>&-
    wait_for 10 gone || { echo "$name: kelvane or the X server is still there"; ok=0; }
    if grep -q 'X11 connection broke' "$dir/out"; then
        echo "$name: kelvane lost its display before it ended"; ok=0
    fi
    [ $ok = 1 ] || sed 's/^/    /' "$dir/out"
    rm -rf "$dir"
    if [ $ok = 1 ]; then echo "$name: ok"; passed=$((passed + 1)); else failed=$((failed + 1)); fi
}
#     name            how
case_ CtrlCOnTheTerminal ctrl-c
case_ SigtermToTheScript term
echo "$passed passed, $failed failed"
[ $failed = 0 ]
