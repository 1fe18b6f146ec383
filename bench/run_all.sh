#!/usr/bin/env bash
# Every benchmark, each measured side by side with its Debian yardstick in one run:
#   bench/run_all.sh [BUILD_DIR]      (default build; configured with -DTAVRIN_BENCH=ON)
# Prints each script's table; the README's performance section holds the last figures.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build}"
cd "$root"
cmake -S . -B "$build" -DTAVRIN_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target tavrin-cli engine_probe unzip_dialog_probe filelist_probe \
  fileop_probe mp3_probe jpeg_probe viewer_probe mpegdll
for script in compare_engine compare_packing compare_filelist compare_mp3 compare_fileop compare_jpeg compare_viewer; do
  echo "== $script"
  python3 "bench/$script.py" --build "$build"
done

# The tag panel and the player: a 60 s 320 kbit/s file, and a 210 MB file of its frames.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 - "$work/tone.wav" <<'PY'
import math, struct, sys, wave
w = wave.open(sys.argv[1], "wb")
w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
w.writeframes(b"".join(struct.pack("<hh", int(8000 * math.sin(i * .05)), int(6000 * math.sin(i * .03)))
                       for i in range(44100 * 60)))
w.close()
PY
lame --quiet -b 320 "$work/tone.wav" "$work/song320.mp3"
for _ in $(seq 90); do cat "$work/song320.mp3"; done >"$work/big.mp3"
echo "== mp3_probe"
(cd "$build/bin" && ./mp3_probe view "$work/big.mp3" && ./mp3_probe play "$work/song320.mp3" "$work/out.pcm")

# The description tools: many small archives, and an archive of a million entries.
echo "== compare_descriptions"
python3 bench/compare_descriptions.py --build "$build"
