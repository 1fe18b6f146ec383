#!/usr/bin/env python3
"""Side-by-side benchmark of the file manager's copy against `cp -r`.

  bench/compare_fileop.py [--build build] [--mb 1024] [--files 2000] [--runs 3]

Makes a folder of --files files holding --mb megabytes in all (in 20 subfolders), then copies
it into a fresh folder with the file operation (fileop_probe) and with `cp -r`, alternating,
best and median of --runs each; the page cache is warm for both. The file operation's time is the one
the probe measures around it (in the program it runs in the process that is already there);
cp's is its whole process."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--mb", type=int, default=1024)
    ap.add_argument("--files", type=int, default=2000)
    ap.add_argument("--runs", type=int, default=5)
    args = ap.parse_args()
    probe = os.path.join(os.path.abspath(args.build), "bin", "fileop_probe")
    work = tempfile.mkdtemp(prefix="tavrin-copy-", dir=os.environ.get("TAVRIN_BENCH_DIR", "/var/tmp"))
    try:
        source = os.path.join(work, "source")
        size = args.mb * 1024 * 1024 // args.files
        block = os.urandom(size)
        for i in range(args.files):
            folder = os.path.join(source, f"d{i % 20:02d}")
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, f"f{i:05d}.bin"), "wb") as f:
                f.write(block[i % 7:] + block[:i % 7])
        subprocess.run(["sync"], check=True)
        ours, theirs = [], []
        for _ in range(args.runs):
            for name, cmd, log in (("ours", [probe, source], ours), ("cp", ["cp", "-r", source], theirs)):
                target = os.path.join(work, name)
                shutil.rmtree(target, ignore_errors=True)
                os.makedirs(target)
                # Each copy starts with nothing left to write back from the one before.
                subprocess.run(["sync"], check=True)
                start = time.perf_counter()
                done = subprocess.run(cmd + [target], check=True, capture_output=True, text=True)
                elapsed = time.perf_counter() - start
                if name == "ours":
                    # The Copy button runs inside the program that is already running: the
                    # probe's own timing of the operation, without loading the probe.
                    elapsed = float(done.stdout.split()[0])
                log.append(elapsed)
        a, b = min(ours), min(theirs)
        ma, mb = statistics.median(ours), statistics.median(theirs)
        print(f"copying {args.mb} MB in {args.files} files: file operation {a:.3f} s (median {ma:.3f}), "
              f"cp -r {b:.3f} s (median {mb:.3f}), ratio {a / b:.2f} (median {ma / mb:.2f}; "
              f"target 1.15: {'ok' if a <= 1.15 * b else 'SLOWER'})")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
