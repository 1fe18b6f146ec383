#!/usr/bin/env bash
# Builds the fuzz targets with clang and sanitizers in build-fuzz/ and runs each on a copy of
# its seed corpus for SECONDS (default 60): all targets, or the ones named.
#   fuzz/run.sh [SECONDS] [TARGET...]     targets: fuzz_archive fuzz_id3v1 fuzz_id3v2 fuzz_mpeg
#                                           fuzz_rtf fuzz_metafile
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
targets=("$@")
((${#targets[@]})) || targets=(fuzz_archive fuzz_id3v1 fuzz_id3v2 fuzz_mpeg fuzz_rtf fuzz_metafile)
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

# Seeds for the viewer's readers: a few rich-text documents, and a Windows and an enhanced
# metafile with the usual records.
rtf_seeds() {
  local dir="$1"
  mkdir -p "$dir"
  printf '%s' '{\rtf1\ansi\deff0{\fonttbl{\f0\fswiss Arial;}{\f1\fcharset204 Arial Cyr;}}{\colortbl;\red255\green0\blue0;}\pard\qc\b Title\b0\par\pard\li720\fs28\cf1 red \i it\i0\ul u\ulnone\tab caf\'"'"'e9 \u8364? \f1\'"'"'cf\line end\par}' >"$dir/format.rtf"
  printf '%s' '{\rtf1{\info{\title t}}{\stylesheet{\s0 Normal;}}{\*\generator g;}{\field{\*\fldinst HYPERLINK x}{\fldrslt link}}{\pict\wmetafile8 0100}\uc2\u233\'"'"'e9\'"'"'e9{\*\unknown x}\bin3 abc\cell\row}' >"$dir/destinations.rtf"
  printf '%s' '{\rtf1\ansi\ansicpg1251{{{\b{\i{\ul deep}}}}}\'"'"'cf\plain\highlight1 x\super 2\nosupersub}' >"$dir/groups.rtf"
}

metafile_seeds() {
  python3 - "$1" <<'PY'
import os, struct, sys
d = sys.argv[1]
os.makedirs(d, exist_ok=True)
def wrec(f, *words, tail=b""):
    p = b"".join(struct.pack("<h", w) for w in words) + tail
    p += b"\0" * (len(p) % 2)
    return struct.pack("<IH", 3 + len(p) // 2, f) + p
dib = struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 24, 0, 16, 0, 0, 0, 0) + bytes([255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0])
font = struct.pack("<hhhhhBBBBBBBB", -20, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0) + b"Arial\0"
recs = [wrec(0x0103, 8), wrec(0x020B, 0, 0), wrec(0x020C, 100, 200), wrec(0x02FA, 0, 2, 0, 0xFF, 0),
        wrec(0x02FC, 0, 0, 0xFF, 0), wrec(0x02FB, tail=font), wrec(0x012D, 0), wrec(0x012D, 1), wrec(0x012D, 2),
        wrec(0x041B, 60, 80, 10, 20), wrec(0x0418, 90, 190, 50, 100), wrec(0x0214, 5, 5), wrec(0x0213, 95, 195),
        wrec(0x0324, 3, 10, 10, 50, 90, 90, 10), wrec(0x0538, 2, 3, 3, 0, 0, 9, 0, 9, 9, 20, 20, 29, 20, 29, 29),
        wrec(0x0817, 10, 190, 10, 100, 90, 190, 10, 100), wrec(0x061C, 20, 20, 90, 150, 60, 110),
        wrec(0x0209, 0xFF, 0), wrec(0x0102, 1), wrec(0x0521, 5, tail=b"Hello\0" + struct.pack("<hh", 20, 30)),
        wrec(0x001E), wrec(0x0416, 50, 50, 0, 0), wrec(0x0F43, 0x20, 0xCC, 0, 2, 2, 0, 0, 40, 40, 10, 10, tail=dib),
        wrec(0x0127, -1), wrec(0x01F0, 0)]
body = b"".join(recs) + struct.pack("<IH", 3, 0)
place = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, 200, 100, 96, 0)
chk = 0
for i in range(0, len(place), 2):
    chk ^= struct.unpack_from("<H", place, i)[0]
head = struct.pack("<HHHIHIH", 1, 9, 0x300, 9 + len(body) // 2, 3, 64, 0)
open(os.path.join(d, "shapes.wmf"), "wb").write(place + struct.pack("<H", chk) + head + body)
def erec(t, payload):
    payload += b"\0" * (-len(payload) % 4)
    return struct.pack("<II", t, 8 + len(payload)) + payload
ints = lambda *v: struct.pack("<%di" % len(v), *v)
text = "Hi".encode("utf-16-le")
recs = [erec(38, ints(1, 0, 3, 0, 0xFF)), erec(39, ints(2, 2, 0xFF00, 3)), erec(37, ints(1)), erec(37, ints(2)),
        erec(43, ints(10, 10, 80, 60)), erec(42, ints(90, 10, 180, 80)), erec(17, ints(8)), erec(9, ints(100, 100)),
        erec(11, ints(192, 96)), erec(86, ints(0, 0, 50, 50, 3) + struct.pack("<6h", 0, 0, 50, 0, 25, 50)),
        erec(33, b""), erec(30, ints(0, 0, 40, 40)), erec(59, b""), erec(27, ints(0, 0)), erec(54, ints(30, 30)),
        erec(60, b""), erec(63, ints(0, 0, 0, 0)), erec(34, ints(-1)), erec(35, struct.pack("<6f", 1, 0.2, 0, 1, 3, 4)),
        erec(47, ints(0, 0, 60, 60, 60, 30, 30, 0)),
        erec(81, ints(0, 0, 10, 10, 100, 10, 0, 0, 2, 2, 80, 40, 120, 16, 0, 0x00CC0020, 40, 40) + dib[:40] + dib[40:]),
        erec(84, ints(0, 0, 0, 0, 1, 0, 0, 5, 5, 2, 76, 0, 0, 0, -1, -1, 0) + text)]
body = b"".join(recs) + erec(14, ints(0, 16, 20))
head = struct.pack("<II", 1, 88) + ints(0, 0, 191, 95, 0, 0, 5080, 2540) + struct.pack("<IIIIHHIII", 0x464D4520, 0x10000, 88 + len(body), len(recs) + 2, 4, 0, 0, 0, 0) + ints(960, 960, 254, 254)
open(os.path.join(d, "shapes.emf"), "wb").write(head + body)
PY
}

for target in "${targets[@]}"; do
  corpus="$work/$target"
  case "$target" in
    fuzz_archive) mkdir -p "$corpus" && cp -r fuzz/corpus/. "$corpus/" ;;
    fuzz_rtf) rtf_seeds "$corpus" ;;
    fuzz_metafile) metafile_seeds "$corpus" ;;
    *) mp3_seeds "$corpus" ;;
  esac
  echo "== $target for $seconds s"
  build-fuzz/bin/"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 "$corpus"
done
