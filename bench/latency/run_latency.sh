#!/bin/sh
# Wake-up latency of a periodic foreground task (latency_waker) while 4 busy hogs run, each in a
# session of its own (so each is its own autogroup): without Kelvane, with `kelvanectl run` and
# Anti-LockUp on, and with only the foreground boost (High) for the waker, whose PID a test double
# of the foreground query gives. Everything runs in a private PID namespace and touches only the
# processes it starts.
#   bench/latency/run_latency.sh BUILD_DIR [ITERATIONS]
set -eu
build=$(realpath "$1")
iterations=${2:-1000}
settings=$(mktemp -d)/kelvane.ini
"$build/tools/kelvanectl/kelvanectl" ini set "$settings" Preferences ALU 1 >/dev/null
"$build/tools/kelvanectl/kelvanectl" ini set "$settings" Preferences ALUPerc 10 >/dev/null
"$build/tools/kelvanectl/kelvanectl" ini set "$settings" Preferences BoostForeground 0 >/dev/null
boost=$(mktemp -d)/kelvane.ini
"$build/tools/kelvanectl/kelvanectl" ini set "$boost" Preferences BoostPriority 4 >/dev/null
exec unshare --pid --fork --mount-proc sh -c '
    build=$1; iterations=$2; settings=$3; boost=$4
    waker="$build/bench/latency_waker"
    start_hogs() { hogs=""; for i in 1 2 3 4; do setsid sh -c "while :; do :; done" & hogs="$hogs $!"; done; }
    stop_hogs() { kill $hogs; wait $hogs 2>/dev/null || true; }
    printf "no hogs:               "; setsid "$waker" "$iterations"
    start_hogs
    printf "4 hogs:                "; setsid "$waker" "$iterations"
    "$build/tools/kelvanectl/kelvanectl" run --settings "$settings" & run=$!
    sleep 1
    printf "4 hogs, Anti-LockUp:   "; setsid "$waker" "$iterations"
    kill -TERM $run; wait $run
    setsid "$waker" "$iterations" > "$settings.boosted" & waker_pid=$!
    "$build/bench/latency_run_with_foreground" $waker_pid --settings "$boost" & run=$!
    wait $waker_pid
    printf "4 hogs, waker boosted: "; cat "$settings.boosted"
    kill -TERM $run; wait $run
    stop_hogs
' sh "$build" "$iterations" "$settings" "$boost"
