#!/usr/bin/env bash
# Installs what Kelvane needs, builds what it runs (kelvane and kelvanectl: no tests, no
# benchmarks), and starts it: the window program kelvane, or, with arguments, the command-line
# companion kelvanectl with those arguments.
# Without a display (no $DISPLAY), kelvane runs on a virtual X desktop (Xvfb with the openbox
# window manager and the trayer notification area), and the script says on which display; it then
# runs until it is ended. Ctrl+C ends kelvane first (which restores every class it changed, as
# "Exit" does) and the virtual desktop after it, so that kelvane never sees its display vanish.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KELVANE_BUILD_DIR:-$here/build}
"$here/scripts/deps.sh" --run
# A build folder of its own is made without the tests and benchmarks (their packages are the test
# command's); one that has them keeps them, and only the two programs are built.
options=()
[ -f "$build/CMakeCache.txt" ] || options=(-DKELVANE_BUILD_TESTS=OFF -DKELVANE_BUILD_BENCH=OFF)
KELVANE_BUILD_DIR=$build KELVANE_BUILD_TARGETS="kelvane kelvanectl" \
    "$here/scripts/build.sh" "${options[@]}" >/dev/null
if [ "$#" -gt 0 ]; then
    exec "$build/tools/kelvanectl/kelvanectl" "$@"
fi
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$build/app/kelvane"
fi

# The desktop and kelvane run in a session of their own, out of reach of the terminal's Ctrl+C
# (the X server and openbox would end at once on it); this script passes the signal on to kelvane
# alone, and the desktop ends when kelvane has.
echo "run.sh: no display; starting kelvane on a virtual X desktop (Xvfb + openbox + trayer)" >&2
started=$(mktemp)
trap 'rm -f "$started"' EXIT
setsid "$here/scripts/desktop-session.sh" sh -c 'echo "$$ $DISPLAY" > "$0"; exec "$1"' \
    "$started" "$build/app/kelvane" &
session=$!
kelvane=
display=
stop() {
    if [ -n "$kelvane" ]; then
        kill -TERM "$kelvane" 2>/dev/null || true
    else
        # Not started yet: the desktop alone is there to end.
        kill -TERM -- "-$session" 2>/dev/null || kill -TERM "$session" 2>/dev/null || true
    fi
}
trap stop INT TERM HUP
while [ -z "$kelvane" ] && kill -0 "$session" 2>/dev/null; do
    if [ -s "$started" ]; then
        read -r kelvane display < "$started"
        echo "run.sh: kelvane runs on display $display; Ctrl+C ends it" >&2
    else
        sleep 0.1
    fi
done
# wait returns early for each signal trapped above: wait again until the session has ended, then
# once more for its status (the shell keeps it), which is kelvane's.
while kill -0 "$session" 2>/dev/null; do wait "$session" || true; done
rc=0
wait "$session" || rc=$?
# xvfb-run has asked the X server to end; let it remove its lock before this script ends (as the
# first process of a PID namespace, its end would cut the server short).
server=$(cat "/tmp/.X${display#:}-lock" 2>/dev/null || true)
for _ in $(seq 50); do
    [ -n "${server// /}" ] && kill -0 $server 2>/dev/null || break
    sleep 0.1
done
exit "$rc"
