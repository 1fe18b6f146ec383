#!/usr/bin/env python3
"""Benchmark of the viewer window on a large text and a large bitmap.

  bench/compare_viewer.py [--build build] [--runs 3]

Writes a 20 MB text of short lines, a 1 MB text of one line without a break, and a 100 MB
bitmap (24 bits, 5800 x 5800). For each, the viewer window shows it offscreen (viewer_probe:
the time until the first screen is drawn, until the whole file has come in, and the longest
time the event loop did not answer meanwhile, from the moment the window is asked to show the
file). Side by side, the whole-file work of Debian tools on the same files: `iconv` turning the
text from Windows-1252 into UTF-8, ImageMagick's `convert` reading the bitmap. Best of --runs
each. The first screen must be drawn within 1 s and the event loop must never wait longer than
100 ms."""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time


def best_of(command, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return min(times) * 1000


def probe(binary, path, runs):
    out = subprocess.run([binary, path, str(runs)], capture_output=True, text=True,
                         check=True).stdout.split()
    return float(out[1]), float(out[3]), float(out[5])


def write_text(path, size):
    line = 0
    with open(path, "w") as f:
        written = 0
        while written < size:
            text = f"line {line} of a long text file, with a few words on each of its lines\n"
            f.write(text)
            written += len(text)
            line += 1


def write_bitmap(path, width, height):
    stride = (width * 3 + 3) // 4 * 4
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 54 + stride * height, 0, 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, stride * height,
                            0, 0, 0, 0))
        row = bytearray(stride)
        for x in range(width):
            row[3 * x:3 * x + 3] = bytes(((x * 7) & 255, (x * 3) & 255, 128))
        for y in range(height):
            row[0] = y & 255
            f.write(row)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--runs", type=int, default=3)
    args = ap.parse_args()
    binary = os.path.join(os.path.abspath(args.build), "bin", "viewer_probe")
    for tool in ("iconv", "convert"):
        if not shutil.which(tool):
            print(f"{tool} is missing (Debian: libc-bin, imagemagick)")
            return 1
    work = tempfile.mkdtemp(prefix="tavrin-viewer-")
    try:
        text = os.path.join(work, "big.txt")
        line = os.path.join(work, "line.txt")
        bitmap = os.path.join(work, "big.bmp")
        write_text(text, 20 << 20)
        with open(line, "w") as f:
            f.write("x" * (1 << 20))
        write_bitmap(bitmap, 5800, 5800)
        cases = (
            ("20 MB text", text, ["iconv", "-f", "WINDOWS-1252", "-t", "UTF-8", text], "iconv"),
            ("1 MB text, one line", line, ["iconv", "-f", "WINDOWS-1252", "-t", "UTF-8", line],
             "iconv"),
            ("100 MB bitmap, 5800 x 5800", bitmap, ["convert", bitmap, "ppm:/dev/null"],
             "convert"),
        )
        print(f"{'file':30} {'first screen':>13} {'whole':>10} {'longest wait':>13}"
              f" {'yardstick':>16}")
        failed = False
        for name, path, yardstick, tool in cases:
            first, total, gap = probe(binary, path, args.runs)
            other = best_of(yardstick, args.runs)
            ok = first <= 1000 and gap <= 100
            failed |= not ok
            print(f"{name:30} {first:11.1f}ms {total:8.1f}ms {gap:11.1f}ms"
                  f" {other:8.1f}ms {tool:7}  {'ok' if ok else 'TOO SLOW'}")
        return 1 if failed else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
