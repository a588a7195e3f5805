#!/usr/bin/env bash
# Configures and builds Kelvane into build/ (or $KELVANE_BUILD_DIR). Extra arguments go to cmake;
# $KELVANE_BUILD_TARGETS, when set, names the only targets to build (default: all of them).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KELVANE_BUILD_DIR:-$here/build}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
targets=()
for t in ${KELVANE_BUILD_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$build" -j2 "${targets[@]}"
