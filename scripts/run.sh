#!/usr/bin/env bash
# Installs what Kelvane needs, builds it, and runs it: for now the command-line companion
# kelvanectl (default: the foreground process, then the classes of this shell and its parent).
# Without a display it runs under a virtual X display with a window manager.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/deps.sh" --run
"$here/scripts/build.sh" >/dev/null
ctl="${KELVANE_BUILD_DIR:-$here/build}/tools/kelvanectl/kelvanectl"
if [ "$#" -eq 0 ]; then
    set -- sh -c '"$0" foreground && "$0" classes $$ $PPID' "$ctl"
else
    set -- "$ctl" "$@"
fi
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x800x24" sh -c 'openbox >/dev/null 2>&1 & "$@"' sh "$@"
fi
exec "$@"
