#!/usr/bin/env bash
# Sets up (packages, configure, build) and runs the whole test suite through ctest.
#   ./test.sh            normal build in build/
#   ./test.sh --sanitize AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")"
extra=()
if [ "${1:-}" = "--sanitize" ]; then
  export TAVRIN_BUILD_DIR=build-asan TAVRIN_BUILD_TYPE=Debug
  extra=(-DTAVRIN_SANITIZE=ON)
fi
scripts/setup.sh "${extra[@]}"
cd "${TAVRIN_BUILD_DIR:-build}"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2 --timeout 600
