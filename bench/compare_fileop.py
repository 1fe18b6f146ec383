#!/usr/bin/env python3
"""Side-by-side benchmarks of the file manager's file operation against the Debian tools.

  bench/compare_fileop.py [--build build] [--runs 5] [--delete-runs 3]
                          [--only copy,empty,delete,sparse]
                          [--mb 1024] [--files 2000] [--empty 30000] [--delete 100000]

copy    a folder of --files files holding --mb megabytes (in 20 subfolders), copied with the
        file operation and with `cp -r` (target: within 1.15x).
empty   a folder of --empty empty files, copied with the file operation and with `cp -r`;
        also when the progress window appeared (target: after half a second).
delete  --delete files selected together in a folder, deleted with the file operation and
        with `rm -r` and `find -delete` of the same files (target: within 2x of rm -r).
sparse  a 2 GiB sparse file holding 3 MiB of data, copied with the file operation and with
        `cp`: time and the disk space the copy takes.

The file operation runs in fileop_probe with the program's real progress window (offscreen),
as the Copy and Delete buttons run it; its time is the probe's own timing of the operation
(in the program it runs in the process that is already there), the tools' is their whole
process. The tools run alternately with the probe, --runs times each, after a sync; best and
median are printed."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def timed(cmd, probe_time):
    subprocess.run(["sync"], check=True)
    start = time.perf_counter()
    done = subprocess.run(cmd, check=True, capture_output=True, text=True,
                          env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    elapsed = time.perf_counter() - start
    if probe_time:
        words = done.stdout.split()
        elapsed = float(words[0])
        shown = words[-2] if words[-1] == "s" else None
        return elapsed, (float(shown) if shown else None)
    return elapsed, None


def summary(name, times):
    return f"{name} {min(times):.3f} s (median {statistics.median(times):.3f})"


def ratio(a, b):
    return f"{min(a) / min(b):.2f} (median {statistics.median(a) / statistics.median(b):.2f})"


def fill(folder, count, size=0, block=b""):
    os.makedirs(folder, exist_ok=True)
    for i in range(count):
        sub = os.path.join(folder, f"d{i % 20:02d}") if size else folder
        if size:
            os.makedirs(sub, exist_ok=True)
        with open(os.path.join(sub, f"f{i:06d}.bin"), "wb") as f:
            if size:
                f.write(block[i % 7:] + block[:i % 7])


def bench_copy(probe, work, args, empty):
    count = args.empty if empty else args.files
    source = os.path.join(work, "source")
    size = 0 if empty else args.mb * 1024 * 1024 // count
    fill(source, count, size, os.urandom(size) if size else b"")
    ours, theirs, shown = [], [], []
    for _ in range(args.runs):
        for name in ("ours", "cp"):
            target = os.path.join(work, name)
            shutil.rmtree(target, ignore_errors=True)
            os.makedirs(target)
            if name == "ours":
                t, s = timed([probe, "copy", source, target], True)
                ours.append(t)
                shown.append(s)
            else:
                theirs.append(timed(["cp", "-r", source, target], False)[0])
    shutil.rmtree(source, ignore_errors=True)
    what = f"{count} empty files" if empty else f"{args.mb} MB in {count} files"
    target = 1.15
    line = (f"copying {what}: file operation {summary('', ours).strip()}, "
            f"cp -r {summary('', theirs).strip()}, ratio {ratio(ours, theirs)}")
    if not empty:
        line += f"; target {target}: {'ok' if min(ours) <= target * min(theirs) else 'SLOWER'}"
    else:
        seen = [s for s in shown if s is not None]
        line += ("; window after " + ", ".join(f"{s:.3f}" for s in seen) + " s"
                 if seen else "; window never shown")
    print(line)


def bench_delete(probe, work, args):
    folder = os.path.join(work, "many")
    ours, rm, find = [], [], []
    # Making 100,000 files again for every run is most of this part's time.
    for _ in range(args.delete_runs):
        for name in ("ours", "rm", "find"):
            shutil.rmtree(folder, ignore_errors=True)
            fill(folder, args.delete)
            if name == "ours":
                ours.append(timed([probe, "delete", folder], True)[0])
                if os.listdir(folder):
                    raise SystemExit("the file operation left files behind")
            elif name == "rm":
                rm.append(timed(["rm", "-r", folder], False)[0])
            else:
                find.append(timed(["find", folder, "-delete"], False)[0])
    shutil.rmtree(folder, ignore_errors=True)
    print(f"deleting {args.delete} selected files: file operation {summary('', ours).strip()}, "
          f"rm -r {summary('', rm).strip()}, find -delete {summary('', find).strip()}; "
          f"ratio to rm -r {ratio(ours, rm)}; target 2: "
          f"{'ok' if min(ours) <= 2 * min(rm) else 'SLOWER'}")


def bench_sparse(probe, work, args):
    source = os.path.join(work, "sparse.img")
    with open(source, "wb") as f:
        f.truncate(2 << 30)
        for at in (0, 1 << 30, (2 << 30) - (1 << 20)):
            f.seek(at)
            f.write(os.urandom(1 << 20))
    ours, theirs, used = [], [], {}
    for _ in range(args.runs):
        for name in ("ours", "cp"):
            target = os.path.join(work, name)
            shutil.rmtree(target, ignore_errors=True)
            os.makedirs(target)
            if name == "ours":
                ours.append(timed([probe, "copy", source, target], True)[0])
            else:
                theirs.append(timed(["cp", source, target], False)[0])
            copy = os.path.join(target, "sparse.img")
            with open(copy, "rb") as a, open(source, "rb") as b:
                for at in (0, 1 << 30, (2 << 30) - (1 << 20)):
                    a.seek(at)
                    b.seek(at)
                    if a.read(1 << 20) != b.read(1 << 20):
                        raise SystemExit(f"{name}: the copy differs")
            used[name] = os.stat(copy).st_blocks * 512
    mib = lambda n: f"{n / (1 << 20):.1f} MiB"
    print(f"copying a 2 GiB sparse file with 3 MiB of data: file operation "
          f"{summary('', ours).strip()}, {mib(used['ours'])} used; cp {summary('', theirs).strip()}, "
          f"{mib(used['cp'])} used")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--delete-runs", type=int, default=3)
    ap.add_argument("--only", default="copy,empty,delete,sparse")
    ap.add_argument("--mb", type=int, default=1024)
    ap.add_argument("--files", type=int, default=2000)
    ap.add_argument("--empty", type=int, default=30000)
    ap.add_argument("--delete", type=int, default=100000)
    args = ap.parse_args()
    probe = os.path.join(os.path.abspath(args.build), "bin", "fileop_probe")
    work = tempfile.mkdtemp(prefix="tavrin-fileop-",
                            dir=os.environ.get("TAVRIN_BENCH_DIR", "/var/tmp"))
    try:
        for part in args.only.split(","):
            if part == "copy":
                bench_copy(probe, work, args, False)
            elif part == "empty":
                bench_copy(probe, work, args, True)
            elif part == "delete":
                bench_delete(probe, work, args)
            elif part == "sparse":
                bench_sparse(probe, work, args)
            else:
                raise SystemExit(f"unknown part {part}")
            sys.stdout.flush()
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
