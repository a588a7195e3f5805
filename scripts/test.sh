#!/usr/bin/env bash
# Installs what the tests need, builds everything (tests and benchmarks too, also in a build folder
# that scripts/run.sh made without them), and runs the whole test suite through CTest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/deps.sh" --test
"$here/scripts/build.sh" -DKELVANE_BUILD_TESTS=ON -DKELVANE_BUILD_BENCH=ON "$@"
cd "${KELVANE_BUILD_DIR:-$here/build}"
ctest --output-on-failure --timeout 300
