#!/usr/bin/env bash
# The screenshot walk: starts the program under Xvfb with the openbox window manager, visits
# every window and dialog in English and in German, and saves a picture of each.
#   tests/screens/walk.sh [--build DIR] [--out DIR] [--dark] [--scale N] [--lang en|de]
# --dark gives the program a dark palette, --scale N a device pixel ratio of N
# (QT_SCALE_FACTOR). The pictures go to OUT/en and OUT/de (default: build/screens).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$root/build"
out=""
dark=0
scale=1
langs=(en de)
while (($#)); do
  case "$1" in
    --build) build="$(cd "$2" && pwd)"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    --dark) dark=1; shift ;;
    --scale) scale="$2"; shift 2 ;;
    --lang) langs=("$2"); shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
[ -n "$out" ] || out="$build/screens"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
walker="$build/bin/screen_walk"
[ -x "$walker" ] || { echo "build the screen_walk target first" >&2; exit 1; }

# The demo home: archives with descriptions in code page 437 art, an MP3 with both tags,
# a picture, a text, long names, a large sparse file, a file written at midnight.
demo="$(mktemp -d)"
trap 'rm -rf "$demo"' EXIT
mkdir -p "$demo/docs/deeper folder with a long name" "$demo/music"
python3 - "$demo" <<'PY'
import sys, zipfile, struct, wave, math
home = sys.argv[1]
art = "\r\n".join([
    "╔══════════════════════════════════╗",
    "║  TAVRIN DEMO RELEASE   ░▒▓█▓▒░   ║",
    "╠══════════════════════════════════╣",
    "║ ┌──────────┬───────────────────┐ ║",
    "║ │ disks: 1 │ size: 1.44 MB     │ ║",
    "║ └──────────┴───────────────────┘ ║",
    "╚══════════════════════════════════╝",
    "████████████████████████████████████",
    "▀▀▀▀▀▀▀▀▀▀▀▀▀▀▀▀▄▄▄▄▄▄▄▄▄▄▄▄▄▄▄▄▄▄▄▄",
    "░░░░░░▒▒▒▒▒▒▓▓▓▓▓▓██████▓▓▓▓▓▓▒▒▒▒▒▒",
    "Grüße ÄÖÜ ß é ½¼ ±≥≤ ",
]).encode("cp437") + bytes(range(1, 7)) + b" \x10\x11 \x18\x19\x1a\x1b"
with zipfile.ZipFile(f"{home}/art.zip", "w") as z:
    z.writestr("file_id.diz", art)
    z.writestr("readme.txt", b"Read me first.\r\n")
    z.writestr("program/tool.exe", b"MZ" + bytes(4000))
sauce = b"\x1a" + b"SAUCE00" + b"Demo release".ljust(35) + b"Ann Author".ljust(20) + \
    b"Tavrin Group".ljust(20) + b"20261209" + bytes(14) + bytes([0]) + bytes(23)
guided = "\r\n".join([
    "A description of 45 columns and 10 lines ...",
    "╔═══════════════════════════════════════════╗",
    "║ DEMO RELEASE            ░▒▓█▓▒░  disk 1/1 ║",
    "╚═══════════════════════════════════════════╝",
    "", "Lines longer than forty-five columns cross the faint guide here.",
    "", "", "", "the tenth line", "an eleventh line lies under the guide"]).encode("cp437")
with zipfile.ZipFile(f"{home}/sauce.zip", "w") as z:
    z.writestr("file_id.diz", guided + b"\r\n" + sauce)
with zipfile.ZipFile(f"{home}/other.zip", "w") as z:
    z.writestr("readme.txt", b"Another archive.\r\n")
with zipfile.ZipFile(f"{home}/docs/Quarterly report of the regional office 2026.zip", "w") as z:
    z.writestr("report.txt", b"numbers\r\n" * 400)
# One second of a tone as WAV, for lame.
with wave.open(f"{home}/tone.wav", "w") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
    w.writeframes(b"".join(struct.pack("<hh", int(8000*math.sin(i/20)), int(8000*math.sin(i/20)))
                           for i in range(44100)))
# A 64 x 48 bitmap with a colour gradient.
width, height = 64, 48
row = (width * 3 + 3) & ~3
pixels = b"".join(bytes(b for x in range(width) for b in (x * 4, y * 5, 200)) + bytes(row - width * 3)
                  for y in range(height))
header = b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(f"{home}/picture.bmp", "wb").write(header + info + pixels)
open(f"{home}/notes.txt", "w").write("Notes\n\n" + "A line of plain text in the viewer.\n" * 40)
PY
lame --quiet -b 128 "$demo/tone.wav" "$demo/song.mp3"
rm "$demo/tone.wav"
id3v2 -1 -a "Demo Artist" -t "A Song Title" -A "Demo Album" -y 2026 -g 17 -c "comment" "$demo/song.mp3" >/dev/null
id3v2 -2 -a "Demo Artist" -t "A Song Title" -A "Demo Album" -y 2026 -g 17 -c "comment v2" "$demo/song.mp3" >/dev/null
cp "$demo/song.mp3" "$demo/music/"
truncate -s 21474836480 "$demo/docs/disk image.iso"
echo "written at midnight" > "$demo/docs/midnight.txt"
touch -d "2026-09-12 00:00:00" "$demo/docs/midnight.txt"
touch -d "2026-09-12 23:59:00" "$demo/docs/late.txt"

screen="$(awk -v s="$scale" 'BEGIN { printf "%dx%d", 1280 * s, 1024 * s }')"
export HOME="$demo"
export LD_LIBRARY_PATH="$build/bin${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export QT_SCALE_FACTOR="$scale"
export TAVRIN_WALK_DARK="$dark"
for lang in "${langs[@]}"; do
  file=()
  [ "$lang" = de ] && file=("$build/bin/GERMAN.TVK")
  rm -rf "${out:?}/$lang"
  mkdir -p "$out/$lang"
  # The program folder is the working folder, as the launcher starts it.
  (cd "$build/bin" &&
   xvfb-run -a -s "-screen 0 ${screen}x24" \
     sh -c 'openbox >/dev/null 2>&1 & wm=$!; sleep 1; "$@"; status=$?; kill $wm; exit $status' \
     walk "$walker" "$out/$lang" "${file[@]}")
done
echo "pictures in $out"
