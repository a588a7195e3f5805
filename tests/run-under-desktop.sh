#!/bin/sh
# Runs a test on a virtual X desktop with a notification area (Xvfb + openbox + trayer).
if ! command -v xvfb-run >/dev/null 2>&1 || ! command -v trayer >/dev/null 2>&1; then
    echo "xvfb-run or trayer is missing: the tray tests will skip" >&2
    exec env -u DISPLAY QT_QPA_PLATFORM=offscreen "$@"
fi
exec "$(dirname "$0")/../scripts/desktop-session.sh" -s 1024x768 "$@"
