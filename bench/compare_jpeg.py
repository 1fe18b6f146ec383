#!/usr/bin/env python3
"""Side-by-side benchmark of the viewer window's JPEG decoding against Debian's djpeg.

  bench/compare_jpeg.py [--build build] [--runs 5] [--size 6000x4000]

Makes a photo-like picture with ImageMagick (plasma enlarged, with grain), once as a
baseline and once as a progressive JPEG. For each, the viewer window shows it offscreen
(jpeg_probe: the time until its first rows are drawn and until the whole picture has
decoded, from the moment the window is asked to show the file) and `djpeg -outfile /dev/null`
decodes it; best of --runs each. The viewer must draw its first rows within 100 ms and
finish within 1.3 times djpeg's time."""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time


def best_djpeg(path, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(["djpeg", "-outfile", os.devnull, path], check=True)
        times.append(time.perf_counter() - start)
    return min(times) * 1000


def probe(binary, path, runs):
    out = subprocess.run([binary, path, str(runs)], capture_output=True, text=True,
                         check=True).stdout.split()
    return float(out[1]), float(out[3])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--size", default="6000x4000")
    args = ap.parse_args()
    binary = os.path.join(os.path.abspath(args.build), "bin", "jpeg_probe")
    for tool in ("convert", "djpeg"):
        if not shutil.which(tool):
            print(f"{tool} is missing (Debian: imagemagick, libjpeg-turbo-progs)")
            return 1
    width, height = (int(v) for v in args.size.split("x"))
    work = tempfile.mkdtemp(prefix="tavrin-jpeg-")
    try:
        baseline = os.path.join(work, "baseline.jpg")
        progressive = os.path.join(work, "progressive.jpg")
        subprocess.run(["convert", "-seed", "11", "-size", f"{width // 4}x{height // 4}",
                        "plasma:fractal", "-resize", f"{width}x{height}!", "-attenuate", "0.4",
                        "+noise", "Gaussian", "-quality", "90", baseline], check=True)
        subprocess.run(["convert", baseline, "-interlace", "JPEG", progressive], check=True)
        print(f"{'picture ' + args.size:34} {'first rows':>11} {'whole':>10} {'djpeg':>10}"
              f" {'ratio':>7}")
        failed = False
        for name, path in (("baseline", baseline), ("progressive", progressive)):
            first, total = probe(binary, path, args.runs)
            djpeg = best_djpeg(path, args.runs)
            ratio = total / djpeg
            ok = first <= 100 and ratio <= 1.3
            failed |= not ok
            mib = os.path.getsize(path) / (1 << 20)
            print(f"{name + f' ({mib:.1f} MB)':34} {first:9.1f}ms {total:8.1f}ms {djpeg:8.1f}ms"
                  f" {ratio:7.2f}  {'ok' if ok else 'TOO SLOW'}")
        return 1 if failed else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
