#!/bin/sh
# The CPU share of one core that `kelvane` uses at the default intervals (250 ms cycle, 500 ms
# refresh, optimizer on) with 300 sleeping processes, window hidden and shown, against
# `kelvanectl run` in the same run. Each is measured over SECONDS (default 60) after 5 s of
# settling, on a virtual desktop (Xvfb, openbox, trayer), all inside a private PID namespace so
# that nothing but the processes started here is reached. Needs root.
#   bench/run_window_cpu_share.sh build [SECONDS]
set -eu
build=$(realpath "$1")
seconds=${2:-60}
here=$(cd "$(dirname "$0")/.." && pwd)
exec "$here/scripts/desktop-session.sh" unshare --pid --fork --mount-proc sh -c '
    build=$1; seconds=$2
    for i in $(seq 300); do sleep 100000 & done
    # Nanoseconds on a CPU, of every thread: exact, where the tick counts of the stat file are not.
    cputime() { cat /proc/$1/task/*/schedstat 2>/dev/null | awk "{ t += \$1 } END { print t }"; }
    measure() { # NAME PID: the share over the window after settling
        sleep 5; t0=$(cputime $2); sleep "$seconds"; t1=$(cputime $2)
        awk -v n="$1" -v t0="$t0" -v t1="$t1" -v s="$seconds" \
            "BEGIN { printf \"%-22s %.3f%% of one core over %d s\\n\", n, 100 * (t1 - t0) / 1e9 / s, s }"
    }
    config() { # MINIMIZED: a fresh settings folder with the optimizer on
        dir=$(mktemp -d); mkdir -p "$dir/kelvane"
        printf "[Preferences]\nOptimizerEnabled=1\nShow splash screen=0\nCheckForNewVersion=0\nStartMinimzed=%s\n" "$1" \
            > "$dir/kelvane/kelvane.ini"
        echo "$dir"
    }
    dir=$(config 1)
    "$build/tools/kelvanectl/kelvanectl" run --settings "$dir/kelvane/kelvane.ini" & p=$!
    measure "kelvanectl run" $p; kill -TERM $p; wait $p
    XDG_CONFIG_HOME=$(config 1) "$build/app/kelvane" 2>/dev/null & p=$!
    measure "kelvane, window hidden" $p; kill -TERM $p; wait $p
    XDG_CONFIG_HOME=$(config 0) "$build/app/kelvane" 2>/dev/null & p=$!
    measure "kelvane, window shown" $p; kill -TERM $p; wait $p
' sh "$build" "$seconds"
