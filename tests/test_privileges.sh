#!/bin/bash
# What kelvanectl run may change without root: a throwaway user runs it in a private PID namespace
# with the limits the kelvane group gives (applied through prlimit, as pam_limits would at login)
# or without them, over a child of its own and a process of a second throwaway user that has the
# same executable and so the same profile. Also a copy of kelvanectl given CAP_SYS_NICE by hand.
#   test_privileges.sh PATH-TO-KELVANECTL PATH-TO-TEST-CHILD
# Exits 77 (skipped) where it cannot run: not root, no useradd/setpriv/prlimit, no PID namespace.
set -u
ctl=$1
child=$2
skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "needs root to create the throwaway users"
for tool in useradd userdel setpriv prlimit unshare nice; do
    command -v $tool >/dev/null 2>&1 || skip "$tool is missing"
done
reason=$("$(dirname "$0")/in-pid-namespace.sh" --check) || skip "$reason"

work=$(mktemp -d /tmp/kelvane-priv.XXXXXX)
member=kvtm$$
other=kvto$$
cleanup() {
    userdel "$member" >/dev/null 2>&1
    userdel "$other" >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
useradd -M -N -d /nonexistent -s /usr/sbin/nologin "$member" || skip "useradd failed"
useradd -M -N -d /nonexistent -s /usr/sbin/nologin "$other" || skip "useradd failed"
chmod 755 "$work"
cp "$ctl" "$work/kelvanectl"
cp "$child" "$work/held"
cp "$ctl" "$work/kelvanectl-cap"
cp "$ctl" "$work/kelvanectl-capptrace"
captest=1
if ! command -v setcap >/dev/null 2>&1 || ! setcap cap_sys_nice+ep "$work/kelvanectl-cap" 2>/dev/null ||
    ! setcap cap_sys_nice,cap_sys_ptrace+ep "$work/kelvanectl-capptrace" 2>/dev/null; then
    captest=0
fi
chmod 755 "$work"/kelvanectl* "$work/held"
# The throwaway users run these copies, never the build folder's files (it may lie where only its
# owner may go, a clone in /root), and start from a folder they may enter.
cd "$work"
setpriv --reuid="$member" --regid="$(id -g "$member")" --clear-groups test -x "$work/held" ||
    skip "the throwaway user cannot run the copies in $work (/tmp closed to other users or mounted noexec)"

# Everything below runs as PID 1 of a private PID namespace: nothing outside can be reached.
cat > "$work/inner.sh" <<'EOF'
set -u
work=$1; member=$2; other=$3; captest=$4
passed=0; failed=0; skipped=0
# The other user's process gets the widest limits this machine allows: only its uid may keep it out.
if prlimit --nice=40 --rtprio=99 true 2>/dev/null; then olimits="40 99"; else olimits="0 0"; fi
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
# nice and scheduling policy of every thread, "nice/policy" per thread, one line
threads_of() {
    for t in /proc/$1/task/*/stat; do
        sed 's/.*) //' "$t" 2>/dev/null | awk '{printf "%s/%s ", $17, $39}'
    done
}
# true while every thread of PID has nice N (and SCHED_OTHER), or SCHED_RR for "rr"
all_at() {
    s=$(threads_of $1)
    [ -n "$s" ] || return 1
    for e in $s; do
        case $2 in
            rr) [ "${e#*/}" = 2 ] || return 1 ;;
            *) [ "$e" = "$2/0" ] || return 1 ;;
        esac
    done
}
start_held() { # USER NICE RLIMIT-NICE RLIMIT-RTPRIO -> PID in $held_pid
    out=$(mktemp "$work/out.XXXXXX")
    prlimit --nice=$3 --rtprio=$4 nice -n $2 setpriv --reuid="$1" --regid="$(id -g "$1")" --clear-groups \
        "$work/held" threads 1 > "$out" &
    held_pid=$!
    for i in $(seq 200); do grep -q ready "$out" && return 0; sleep 0.02; done
    echo "the child did not start"; return 1
}
end_pid() { kill -KILL $1 2>/dev/null; wait $1 2>/dev/null; }
# NAME RLIMIT-NICE RLIMIT-RTPRIO PROGRAM CLASS START-NICE DURING AFTER END OTHER-DURING
#   DURING/AFTER: the nice value (or rr) the own child must reach while kelvanectl runs and have
#   after it ended; "-" for DURING: it must never leave its start value.
#   END: term (SIGTERM once DURING is reached) or cycles (--cycles 15 runs out).
#   OTHER-DURING: likewise for the other user's process ("-": it is never changed; "*": it may be
#   changed, but must end where it was).
case_() {
    name=$1; lnice=$2; lrt=$3; prog=$4; class=$5; start=$6; during=$7; after=$8; ending=$9; odur=${10}
    if ! prlimit --nice=$lnice --rtprio=$lrt true 2>/dev/null; then
        echo "$name: skipped (RLIMIT_NICE $lnice / RLIMIT_RTPRIO $lrt cannot be set here: no CAP_SYS_RESOURCE)"
        skipped=$((skipped + 1)); return
    fi
    dir=$(mktemp -d "$work/set.XXXXXX")
    chown "$member" "$dir"
    ini="$dir/kelvane.ini"
    for kv in OptimizerInterval=100 RefreshInterval=100 BoostForeground=0 ALU=0; do
        "$work/kelvanectl" ini set "$ini" Preferences "${kv%%=*}" "${kv#*=}" >/dev/null
    done
    "$work/kelvanectl" ini set "$ini" "$work/held" Priority "$class" >/dev/null
    chown "$member" "$ini"
    ok=1
    start_held "$member" "$start" "$lnice" "$lrt" || ok=0; own=$held_pid
    start_held "$other" 3 $olimits || ok=0; foreign=$held_pid
    cycles=; [ "$ending" = cycles ] && cycles="--cycles 15"
    prlimit --nice=$lnice --rtprio=$lrt setpriv --reuid="$member" --regid="$(id -g "$member")" --clear-groups \
        "$work/$prog" run --settings "$ini" $cycles 2> "$dir/err" &
    ctl=$!
    t0=$(now_ms); seen=0; oseen=0; moved=0; omoved=0
    while kill -0 $ctl 2>/dev/null && [ $(( $(now_ms) - t0 )) -lt 8000 ]; do
        if [ "$during" != - ] && all_at $own "$during"; then seen=1; fi
        all_at $own "$start" || { [ "$during" = - ] && moved=1; }
        if [ "$odur" != - ] && [ "$odur" != '*' ] && all_at $foreign "$odur"; then oseen=1; fi
        all_at $foreign 3 || { [ "$odur" = - ] && omoved=1; }
        if [ "$ending" = term ] && [ $seen = 1 ] && { [ "$odur" != -10 ] || [ $oseen = 1 ]; }; then break; fi
        sleep 0.02
    done
    [ "$ending" = term ] && kill -TERM $ctl 2>/dev/null
    for i in $(seq 250); do kill -0 $ctl 2>/dev/null || break; sleep 0.02; done
    if kill -0 $ctl 2>/dev/null; then echo "$name: kelvanectl did not end"; end_pid $ctl; ok=0; fi
    wait $ctl; rc=$?
    [ $rc = 0 ] || { echo "$name: kelvanectl ended with $rc: $(cat "$dir/err")"; ok=0; }
    [ "$during" = - ] || [ $seen = 1 ] || { echo "$name: own child never reached $during: $(threads_of $own)"; ok=0; }
    [ $moved = 0 ] || { echo "$name: own child was changed although it must not be"; ok=0; }
    [ "$odur" != -10 ] || [ $oseen = 1 ] || { echo "$name: the other user's process never reached $odur"; ok=0; }
    [ $omoved = 0 ] || { echo "$name: the other user's process was changed"; ok=0; }
    all_at $own "$after" || { echo "$name: own child left at $(threads_of $own), expected $after"; ok=0; }
    all_at $foreign 3 || { echo "$name: the other user's process left at $(threads_of $foreign)"; ok=0; }
    end_pid $own; end_pid $foreign
    if [ $ok = 1 ]; then echo "$name: ok"; passed=$((passed + 1)); else failed=$((failed + 1)); fi
}
#     name                       limits  program         class start during after end    other
case_ MemberBoostsOwnChild       30 1    kelvanectl      128   3     -10    3     term   -
case_ MemberRealTimeOwnChild     30 1    kelvanectl      256   3     rr     3     term   -
case_ MemberLowersOwnChild       30 1    kelvanectl      64    3     19     3     term   -
case_ NonMemberCannotBoost       20 0    kelvanectl      128   0     -      0     cycles -
case_ NonMemberLowersAndRestores 20 0    kelvanectl      64    0     19     0     term   -
case_ DefaultLimitsChangeNothing 0  0    kelvanectl      64    0     -      0     cycles -
if [ "$captest" = 1 ]; then
    # Without CAP_SYS_PTRACE the other user's executable path may stay unreadable, and so its
    # profile unmatched: whether it is changed is not asserted, only that it ends where it was.
    case_ CapSysNiceBoostsAndRestores 0 0  kelvanectl-cap  128   3     -10    3     term   '*'
    # With CAP_SYS_PTRACE as well every process of the namespace is managed, and restored.
    case_ CapSysNicePtraceManagesAll  0 0  kelvanectl-capptrace 128 3  -10    3     term   -10

else
    echo "CapSysNice*: skipped (setcap failed: no file capabilities on $work)"
fi
echo "$passed passed, $failed failed, $skipped skipped"
[ $failed = 0 ]
EOF
unshare --pid --fork --mount-proc bash "$work/inner.sh" "$work" "$member" "$other" "$captest"
rc=$?

# Secure-execution with a file capability: the dynamic loader then ignores LD_LIBRARY_PATH (an
# unloadable libcap.so.2 placed first stops the plain copy, not the capable one) and the kernel
# passes AT_SECURE = 1 in the auxiliary vector.
if [ "$captest" = 1 ]; then
    mkdir "$work/badlib" && : > "$work/badlib/libcap.so.2" && chmod -R a+rX "$work/badlib"
    as_member() { setpriv --reuid="$member" --regid="$(id -g "$member")" --clear-groups "$@"; }
    as_member env LD_LIBRARY_PATH="$work/badlib" "$work/kelvanectl" ini get /nonexistent S K D >/dev/null 2>&1
    plain=$?
    as_member env LD_LIBRARY_PATH="$work/badlib" "$work/kelvanectl-cap" ini get /nonexistent S K D >/dev/null 2>&1
    capable=$?
    if [ $plain = 127 ] && [ $capable = 0 ]; then
        echo "SecureExecution: ok (the capable copy ignores LD_LIBRARY_PATH, the plain one does not)"
    else
        echo "SecureExecution: plain copy ended with $plain (expected 127), capable copy with $capable (expected 0)"
        rc=1
    fi
fi
exit $rc
