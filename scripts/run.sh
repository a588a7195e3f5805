#!/usr/bin/env bash
# Installs what Kelvane needs, builds it, and starts it: the window program kelvane, or, with
# arguments, the command-line companion kelvanectl with those arguments.
# Without a display (no $DISPLAY), kelvane runs on a virtual X desktop (Xvfb with the openbox
# window manager and the trayer notification area) and says so; it then runs until it is ended
# (Ctrl+C, which restores every class it changed, as "Exit" does).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/deps.sh" --run
"$here/scripts/build.sh" >/dev/null
build=${KELVANE_BUILD_DIR:-$here/build}
if [ "$#" -gt 0 ]; then
    exec "$build/tools/kelvanectl/kelvanectl" "$@"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display; starting kelvane on a virtual X desktop (Xvfb + openbox + trayer)" >&2
    exec "$here/scripts/desktop-session.sh" "$build/app/kelvane"
fi
exec "$build/app/kelvane"
