#!/usr/bin/env bash
# Builds the fuzz targets with clang and sanitizers in build-fuzz/ and runs each on a copy of
# its seed corpus for SECONDS (default 60): all targets, or the ones named.
#   fuzz/run.sh [SECONDS] [TARGET...]     targets: fuzz_archive fuzz_id3v1 fuzz_id3v2 fuzz_mpeg
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
targets=("$@")
((${#targets[@]})) || targets=(fuzz_archive fuzz_id3v1 fuzz_id3v2 fuzz_mpeg)
cd "$root"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVRIN_FUZZ=ON -DTAVRIN_TESTS=OFF -DTAVRIN_BENCH=OFF \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build build-fuzz -j 2 --target "${targets[@]}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Seeds for the MP3 targets: a short tone encoded by LAME (constant and variable bit rate,
# MPEG 1 and 2), with and without tags, written by Debian's id3v2 (ID3v1 and ID3v2.3).
mp3_seeds() {
  local dir="$1"
  mkdir -p "$dir"
  python3 - "$dir/tone.wav" <<'PY'
import math, struct, sys, wave
w = wave.open(sys.argv[1], "wb")
w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
w.writeframes(b"".join(struct.pack("<hh", int(8000 * math.sin(i * .05)), int(6000 * math.sin(i * .03)))
                       for i in range(44100 // 4)))
w.close()
PY
  lame --quiet -b 128 "$dir/tone.wav" "$dir/cbr.mp3"
  lame --quiet -V 4 "$dir/tone.wav" "$dir/vbr.mp3"
  lame --quiet -b 32 -m m --resample 22.05 "$dir/tone.wav" "$dir/mono.mp3"
  cp "$dir/cbr.mp3" "$dir/tagged.mp3"
  id3v2 -t "Title" -a "Artist" -A "Album" -y 2002 -T 3/9 -g 17 -c "Comment" "$dir/tagged.mp3"
  rm "$dir/tone.wav"
}

for target in "${targets[@]}"; do
  corpus="$work/$target"
  case "$target" in
    fuzz_archive) mkdir -p "$corpus" && cp -r fuzz/corpus/. "$corpus/" ;;
    *) mp3_seeds "$corpus" ;;
  esac
  echo "== $target for $seconds s"
  build-fuzz/bin/"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 "$corpus"
done
