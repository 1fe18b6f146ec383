#!/usr/bin/env bash
# Sets up (packages, configure, build) and runs the whole test suite through ctest.
#   ./test.sh              normal build in build/
#   ./test.sh --sanitize   the suite again under AddressSanitizer and UndefinedBehaviorSanitizer
#                          (build in build-asan/)
#   ./test.sh --threads    the tests of the archive engine under ThreadSanitizer (build-tsan/)
#   ./test.sh --fuzz [S]   each fuzz target for S seconds (default 10) on its seed corpus
set -euo pipefail
cd "$(dirname "$0")"
extra=()
case "${1:-}" in
  --sanitize)
    export TAVRIN_BUILD_DIR=build-asan
    extra=(-DTAVRIN_SANITIZE=ON)
    ;;
  --threads)
    scripts/setup.sh --packages-only
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTAVRIN_TSAN=ON -DTAVRIN_BENCH=OFF \
      -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
    cmake --build build-tsan -j "${TAVRIN_JOBS:-2}" --target test_infozip zip32 unzip32
    cd build-tsan
    export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
    exec ctest --output-on-failure -j 2 --timeout 600 -R '^(ParallelDeflate|ZipLibrary|ZipExact)\.'
    ;;
  --fuzz)
    scripts/setup.sh --packages-only
    exec fuzz/run.sh "${2:-10}"
    ;;
esac
scripts/setup.sh "${extra[@]}"
cd "${TAVRIN_BUILD_DIR:-build}"
if ((${#extra[@]})); then
  # Leaks of system libraries are suppressed; libraries stay mapped so leak reports can name
  # them; any undefined behaviour fails its test.
  export ASAN_OPTIONS=verify_asan_link_order=0:detect_stack_use_after_return=1
  export LSAN_OPTIONS=suppressions=$PWD/../tests/sanitizer/lsan.supp
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LD_PRELOAD=$PWD/tests/libkeep_modules.so
fi
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2 --timeout 600
