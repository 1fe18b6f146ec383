#!/usr/bin/env python3
"""Side-by-side benchmark of the file-list pane against `ls -l`.

  bench/compare_filelist.py [--build build] [--files 100000] [--runs 3]

Makes a folder of N files (mixed extensions, some folders), then lists it with the pane
in the report view (filelist_probe: listing, sorting, model reset and the first screen
drawn) and with `ls -l`, best of --runs each, and the pane's peak memory."""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time


def best(cmd, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(cmd, stdout=subprocess.DEVNULL, check=True)
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--files", type=int, default=100000)
    ap.add_argument("--runs", type=int, default=3)
    args = ap.parse_args()
    probe = os.path.join(os.path.abspath(args.build), "bin", "filelist_probe")
    work = tempfile.mkdtemp(prefix="tavrin-list-")
    try:
        folder = os.path.join(work, "many")
        os.makedirs(folder)
        exts = [".txt", ".zip", ".mp3", ".jpg", ".c", ".html", ".pdf", ""]
        for i in range(args.files):
            if i % 1000 == 0:
                os.makedirs(os.path.join(folder, f"folder{i:06d}"))
            with open(os.path.join(folder, f"file{i:06d}{exts[i % len(exts)]}"), "wb") as f:
                f.write(b"x" * (i % 97))
        ls = best(["ls", "-l", folder], args.runs)
        out = subprocess.run([probe, folder, str(args.runs)], capture_output=True, text=True,
                             check=True).stdout.split()
        rows, seconds, mib = int(out[0]), float(out[2]), float(out[4])
        print(f"{'measurement':44} {'Tavrin':>10} {'ls -l':>10}")
        verdict = "ok" if seconds <= 3 * ls and seconds < 2 else "TOO SLOW"
        print(f"{'listing ' + str(rows) + ' rows in the report view':44} {seconds:9.3f}s {ls:9.3f}s"
              f"  ratio {seconds / ls:.2f} ({verdict})")
        print(f"{'peak memory of the pane':44} {mib:8.1f}MB  ({'ok' if mib < 150 else 'OVER 150 MB'})")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
