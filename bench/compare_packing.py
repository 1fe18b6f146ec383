#!/usr/bin/env python3
"""Packing on every core, side by side with Debian's zip and unzip in one run.

  bench/compare_packing.py [--build build] [--pack-mb 300] [--big-mb 1024] [--runs 2]

Measures on the same files:
  1. packing about 300 MB of mixed files at level 6 (tavrin-cli zip --recurse) against
     `zip -r -6 -q`: time, archive size, peak memory; `unzip -t` of our archive; our archive
     against a one-thread run of the engine (TAVRIN_ZIP_THREADS=1): every entry's name, time,
     attributes, CRC, method, sizes and stored bytes the same;
  2. the same for one 1 GB file of mixed content (text, random and structured stretches);
  3. extracting each archive Debian's zip made (tavrin-cli unzip --with-paths) against
     `unzip -q`.
Times are the best of --runs runs (wall clock, seconds), each after a sync; extraction takes
one more run, the two tools taking turns."""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from compare_engine import make_pack_tree  # noqa: E402

# Runs a command and reports its wall time and peak memory from a small child of its own, so
# that the memory this script holds is not counted as the command's.
MEASURE = """
import os, subprocess, sys, time
start = time.perf_counter()
child = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
err = child.stderr.read()
_, status, usage = os.wait4(child.pid, 0)
print(time.perf_counter() - start, usage.ru_maxrss, os.waitstatus_to_exitcode(status))
sys.stderr.write(err.decode(errors="replace"))
"""


def run_measured(cmd, cwd=None, env=None):
    """Runs cmd after a sync; returns (seconds, peak RSS in MiB of that process)."""
    subprocess.run(["sync"], check=True)
    r = subprocess.run([sys.executable, "-c", MEASURE] + cmd, cwd=cwd, env=env,
                       capture_output=True, text=True)
    elapsed, peak, code = r.stdout.split()
    if int(code) != 0:
        sys.exit(f"failed ({code}): {' '.join(cmd)}\n{r.stderr}")
    return float(elapsed), int(peak) / 1024.0


def make_big_file(path, megabytes):
    """A disk-image-like file: 1 MiB stretches of text, random bytes, zeros and tables."""
    rnd = random.Random(3)
    words = [b"install", b"kernel", b"package", b"library", b"the", b"and", b"\n", b"usr",
             b"share", b"config", b"version", b"data", b"0.9.1", b"amd64"]
    texts = [b" ".join(rnd.choice(words) for _ in range(200000))[:1 << 20] for _ in range(16)]
    tables = [bytes((i * k + (i >> 7)) & 0xff for i in range(1 << 20)) for k in (3, 5, 7, 11)]
    with open(path, "wb") as f:
        for _ in range(megabytes):
            kind = rnd.random()
            if kind < 0.55:
                f.write(rnd.choice(texts))
            elif kind < 0.80:
                f.write(os.urandom(1 << 20))
            elif kind < 0.90:
                f.write(bytes(1 << 20))
            else:
                f.write(rnd.choice(tables))
    return megabytes << 20


def entries(path):
    """Every entry's recorded facts and its stored bytes, in archive order."""
    out = []
    with zipfile.ZipFile(path) as z, open(path, "rb") as raw:
        for info in z.infolist():
            raw.seek(info.header_offset + 26)
            name_len = int.from_bytes(raw.read(2), "little")
            extra_len = int.from_bytes(raw.read(2), "little")
            raw.seek(info.header_offset + 30 + name_len + extra_len)
            data = raw.read(info.compress_size)
            out.append((info.filename, info.date_time, info.external_attr, info.CRC,
                        info.compress_type, info.file_size, info.compress_size, data))
    return out


def compare(label, work, source, runs, cli, rows, notes):
    """Packs `source` (a name inside work) with both tools, then extracts zip's archive."""
    ours, theirs, single = (os.path.join(work, n) for n in ("ours.zip", "theirs.zip", "one.zip"))

    def pack(cmd, out, env=None):
        if os.path.exists(out):
            os.remove(out)
        return run_measured(cmd, cwd=work, env=env)

    ours_cmd = [cli, "zip", "--recurse", "--no-junk-paths", "--level", "6", ours, source]
    t_ours, m_ours = min(pack(ours_cmd, ours) for _ in range(runs))
    t_theirs, m_theirs = min(pack(["zip", "-q", "-r", "-6", theirs, source], theirs)
                             for _ in range(runs))
    rows.append((f"packing {label} at level 6", t_ours, t_theirs, "zip -r -6 -q", 0.6))
    pack(ours_cmd[:-2] + [single, source], single, dict(os.environ, TAVRIN_ZIP_THREADS="1"))
    tested = subprocess.run(["unzip", "-tq", ours], capture_output=True, text=True)
    same = entries(ours) == entries(single)
    size_ours, size_theirs = os.path.getsize(ours), os.path.getsize(theirs)
    notes.append(f"{label}: archive {size_ours / 1e6:.1f} MB vs zip {size_theirs / 1e6:.1f} MB "
                 f"({(size_ours / size_theirs - 1) * 100:+.2f} %, target within 0.5 %); "
                 f"peak memory {m_ours:.0f} MB vs zip {m_theirs:.0f} MB (target under 200 MB); "
                 f"unzip -t: {'clean' if tested.returncode == 0 else 'FAILED ' + tested.stdout}; "
                 f"entries {'identical to' if same else 'DIFFERENT FROM'} a one-thread run")

    def extract(cmd, target):
        shutil.rmtree(target, ignore_errors=True)
        os.makedirs(target)
        return run_measured(cmd, cwd=work)[0]

    x1, x2 = os.path.join(work, "x1"), os.path.join(work, "x2")
    t_ours, t_theirs = [], []
    for _ in range(runs + 1):
        t_ours.append(extract([cli, "unzip", "--with-paths", theirs, x1], x1))
        t_theirs.append(extract(["unzip", "-q", theirs, "-d", x2], x2))
    rows.append((f"extracting {label}", min(t_ours), min(t_theirs), "unzip -q", 1.0))
    for path in (x1, x2):
        shutil.rmtree(path, ignore_errors=True)
    for path in (ours, theirs, single):
        os.remove(path)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--pack-mb", type=int, default=300)
    ap.add_argument("--big-mb", type=int, default=1024)
    ap.add_argument("--runs", type=int, default=2)
    args = ap.parse_args()
    cli = os.path.join(os.path.abspath(args.build), "bin", "tavrin-cli")
    for tool in ("unzip", "zip"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing (Debian package {tool})")
    work = tempfile.mkdtemp(prefix="tavrin-pack-bench-")
    rows, notes = [], []
    try:
        os.makedirs(os.path.join(work, "tree"))
        size = make_pack_tree(os.path.join(work, "tree"), args.pack_mb)
        compare(f"{size / 1048576:.0f} MB of mixed files", work, "tree", args.runs, cli, rows,
                notes)
        shutil.rmtree(os.path.join(work, "tree"))
        size = make_big_file(os.path.join(work, "disk.img"), args.big_mb)
        compare(f"one {size / 1048576:.0f} MB file", work, "disk.img", args.runs, cli, rows,
                notes)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"{'measurement':44} {'Tavrin':>10} {'Debian':>10}  yardstick")
    for name, a, b, tool, limit in rows:
        verdict = "ok" if a <= b * limit else "SLOWER"
        print(f"{name:44} {a:9.3f}s {b:9.3f}s  {tool}  ratio {a / b:.2f} "
              f"(target {limit}: {verdict})")
    for note in notes:
        print(note)


if __name__ == "__main__":
    main()
