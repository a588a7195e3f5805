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

echo "run.sh: no display; starting kelvane on a virtual X desktop" >&2
exec "$here/scripts/run-on-desktop.sh" "$build/app/kelvane"
