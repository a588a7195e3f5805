#!/usr/bin/env bash
# Runs a program on a new virtual X desktop (Xvfb with the openbox window manager and the trayer
# notification area) until it ends, as scripts/run.sh does for kelvane, and says on which display.
# Ctrl+C (SIGINT, also SIGTERM and SIGHUP) ends the program first, with SIGTERM, and the desktop
# only after it, so that the program never sees its display vanish. The exit status is the
# program's.
#   run-on-desktop.sh PROGRAM [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# The desktop and the program run in a session of their own, out of reach of the terminal's Ctrl+C
# (the X server and openbox would end at once on it); this script passes the signal on to the
# program alone, and the desktop ends when the program has.
[ "$#" -gt 0 ] || { echo "usage: run-on-desktop.sh PROGRAM [ARGS...]" >&2; exit 2; }
name=${1##*/}
started=$(mktemp)
trap 'rm -f "$started"' EXIT
setsid "$here/scripts/desktop-session.sh" sh -c 'echo "$$ $DISPLAY" > "$0"; exec "$@"' "$started" "$@" &
session=$!
program=
display=
stop() {
    if [ -n "$program" ]; then
        kill -TERM "$program" 2>/dev/null || true
    else
        # Not started yet: the desktop alone is there to end.
        kill -TERM -- "-$session" 2>/dev/null || kill -TERM "$session" 2>/dev/null || true
    fi
}
trap stop INT TERM HUP
while [ -z "$program" ] && kill -0 "$session" 2>/dev/null; do
    if [ -s "$started" ]; then
        read -r program display < "$started"
        echo "run-on-desktop.sh: $name runs on display $display (Xvfb + openbox + trayer); Ctrl+C ends it" >&2
    else
        sleep 0.1
    fi
done
# wait returns early for each signal trapped above: wait again until the session has ended, then
# once more for its status (the shell keeps it), which is the program's.
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
