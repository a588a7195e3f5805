#!/bin/sh
# Runs a test under a virtual X display with a window manager (Xvfb + openbox).
if ! command -v xvfb-run >/dev/null 2>&1 || ! command -v openbox >/dev/null 2>&1; then
    echo "xvfb-run or openbox is missing: the display tests will skip" >&2
    exec env -u DISPLAY "$@"
fi
exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    wm=$("$0")
    "$@"
    rc=$?
    kill $wm 2>/dev/null
    exit $rc' "$(cd "$(dirname "$0")/.." && pwd)/scripts/start-openbox.sh" "$@"
