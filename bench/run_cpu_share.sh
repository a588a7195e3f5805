#!/bin/sh
# The CPU that `kelvanectl run` uses at the default intervals (250 ms cycle, 500 ms refresh) with 300
# sleeping processes, as a share of one core over SECONDS (default 60). Everything runs inside a
# private PID namespace, so the optimizer reaches nothing but the processes started here.
#   bench/run_cpu_share.sh build/tools/kelvanectl/kelvanectl [SECONDS]
set -eu
ctl=$(realpath "$1")
seconds=${2:-60}
settings=$(mktemp -d)/kelvane.ini
exec unshare --pid --fork --mount-proc sh -c '
    ctl=$1; seconds=$2; settings=$3
    for i in $(seq 300); do sleep 100000 & done
    "$ctl" run --settings "$settings" & run=$!
    sleep "$seconds"
    ticks=$(sed "s/.*) //" /proc/$run/stat | awk "{ print \$12 + \$13 }")
    kill -TERM $run; wait $run
    awk -v t="$ticks" -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
        "BEGIN { printf \"kelvanectl run: %.2f%% of one core over %d s (300 sleeping processes)\\n\", 100 * t / hz / s, s }"
' sh "$ctl" "$seconds" "$settings"
