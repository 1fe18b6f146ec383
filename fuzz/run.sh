#!/usr/bin/env bash
# Builds the fuzz targets with clang and sanitizers in build-fuzz/ and runs each on a copy of
# its seed corpus for SECONDS (default 60).
#   fuzz/run.sh [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
cd "$root"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVRIN_FUZZ=ON -DTAVRIN_TESTS=OFF -DTAVRIN_BENCH=OFF \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build build-fuzz -j 2 --target fuzz_archive
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp -r fuzz/corpus/. "$work/"
build-fuzz/bin/fuzz_archive -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=65536 "$work"
