#!/usr/bin/env bash
# Runs a command on a virtual X desktop: Xvfb with the openbox window manager and the trayer
# notification area. Prints nothing of its own; the command's exit status is the script's.
# Usage: desktop-session.sh [-s WxH] COMMAND [ARGS...]
set -euo pipefail
size=1280x800
if [ "${1:-}" = "-s" ]; then size=$2; shift 2; fi
exec xvfb-run -a -s "-screen 0 ${size}x24 -nolisten tcp" sh -c '
    wm=$("$0")
    trayer --edge bottom --align right --widthtype request --height 24 --SetDockType true \
        --transparent false --tint 0x303030 >/dev/null 2>&1 & tray=$!
    "$@"; rc=$?
    kill $tray $wm 2>/dev/null
    exit $rc' "$(cd "$(dirname "$0")" && pwd)/start-openbox.sh" "$@"
