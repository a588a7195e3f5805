#!/usr/bin/env bash
# Builds the Debian package build-deb/kelvane_<version>-1_amd64.deb (or into $KELVANE_PACKAGE_DIR)
# from a build without the tests and benchmarks. Installs what it compiles and packs with first, and
# nothing of the test toolchain. Extra arguments go to cmake.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KELVANE_PACKAGE_DIR:-$here/build-deb}
"$here/scripts/deps.sh" --package
# Only what the package holds: cpack builds the whole tree before it runs the install rules. The
# GNOME Shell extension is the variant for GNOME 42-44, the shell of Debian 12.
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVANE_BUILD_TESTS=OFF \
      -DKELVANE_GNOME_SHELL_API=42 \
      -DKELVANE_BUILD_BENCH=OFF "$@"
cmake --build "$build" -j2
cd "$build"
cpack -G DEB
ls "$build"/kelvane_*.deb
