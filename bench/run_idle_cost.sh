#!/bin/sh
# What Kelvane costs at rest: the CPU share of one core and the resident memory of `kelvanectl run`
# at the default intervals (250 ms cycle, 500 ms refresh) with 300 and 1000 sleeping processes,
# Anti-LockUp off and on, next to the polling floor (one bare open + read + close of
# /proc/PID/stat per process per 250 ms pass, bench/proc_stat_floor.cpp) measured in the same run.
# Each figure is taken over SECONDS (default 60) after 5 s of settling, inside a private PID
# namespace so that nothing but the processes started here is reached. Needs root.
#   bench/run_idle_cost.sh build [SECONDS] [COUNTS]      (COUNTS default "300 1000")
set -eu
build=$(realpath "$1")
seconds=${2:-60}
counts=${3:-300 1000}
exec unshare --pid --fork --mount-proc sh -c '
    build=$1; seconds=$2; counts=$3
    # Nanoseconds on a CPU, of every thread: exact, where the tick counts of the stat file are not.
    cputime() { cat /proc/$1/task/*/schedstat 2>/dev/null | awk "{ t += \$1 } END { print t }"; }
    rss() { awk "/^VmRSS/ { print \$2 }" /proc/$1/status; }
    measure() { # NAME COUNT PID
        sleep 5; t0=$(cputime $3); sleep "$seconds"; t1=$(cputime $3)
        awk -v n="$1" -v c="$2" -v t0="$t0" -v t1="$t1" -v s="$seconds" -v r="$(rss $3)" \
            "BEGIN { printf \"%-34s %5d processes  %6.3f%% of one core  RSS %5.1f MB\\n\", n, c, 100 * (t1 - t0) / 1e9 / s, r / 1024 }"
    }
    settings() { # ALU: a settings file with Anti-LockUp off (0) or on (1)
        f=$(mktemp); printf "[Preferences]\nALU=%s\n" "$1" > "$f"; echo "$f"
    }
    started=0
    for count in $counts; do
        while [ $started -lt $count ]; do sleep 100000 & started=$((started + 1)); done
        "$build/bench/proc_stat_floor" 250 & p=$!
        measure "floor (stat read per process)" $count $p; kill -TERM $p; wait $p || true
        for alu in 0 1; do
            "$build/tools/kelvanectl/kelvanectl" run --settings "$(settings $alu)" 2>/dev/null & p=$!
            measure "kelvanectl run, Anti-LockUp $( [ $alu = 1 ] && echo on || echo off)" $count $p
            kill -TERM $p; wait $p || true
        done
    done
' sh "$build" "$seconds" "$counts"
