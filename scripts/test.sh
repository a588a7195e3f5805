#!/usr/bin/env bash
# Installs what the tests need, builds, and runs the whole test suite through CTest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/deps.sh" --test
"$here/scripts/build.sh" "$@"
cd "${KELVANE_BUILD_DIR:-$here/build}"
ctest --output-on-failure --timeout 300
