#!/usr/bin/env python3
"""Side-by-side benchmarks of the archive engine against Debian's zip and unzip.

  bench/compare_engine.py [--build build] [--entries 100000] [--pack-mb 300] [--runs 5]

Measures, in one run on the same files:
  1. finding one description entry among N entries and delivering it to memory
     (engine_probe print) against `unzip -p`;
  2. selecting an archive whose description is found at the third candidate (its own name
     with "txt": tavrin-cli diz runs the whole lookup) against one `unzip -p` of that entry;
  3. the full listing (tavrin-cli list) against `unzip -l`, and the peak memory of both;
  4. packing about 300 MB of mixed files at level 6 (tavrin-cli zip --recurse) against
     `zip -r -6`, and extracting that archive (tavrin-cli unzip --with-paths) against
     `unzip -q`;
  5. listing into the unzip dialog (unzip_dialog_probe) against `unzip -l`;
  6. extracting all N entries through the unzip dialog's "Unzip all" (unzip_dialog_probe
     extract, "extract with path" and "always overwrite" ticked) and with
     `tavrin-cli unzip --with-paths --overwrite`, against `unzip -o -q`, each into a fresh
     folder after a sync.
Times are the best of --runs runs (wall clock, seconds; at least 20 for the lookups);
extraction runs --extract-runs times, the three tools taking turns."""
import argparse
import os
import random
import resource
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile


def run_timed(cmd, cwd=None):
    """Runs cmd, returns (seconds, peak RSS in MiB of this child)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    start = time.perf_counter()
    r = subprocess.run(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if r.returncode != 0:
        sys.exit(f"failed ({r.returncode}): {' '.join(cmd)}\n{r.stderr.decode(errors='replace')}")
    peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    return elapsed, max(peak, before) / 1024.0


def peak_rss(cmd):
    """Peak RSS (MiB) of one command, measured in a fresh Python child so it is its own."""
    code = ("import resource,subprocess,sys;"
            "subprocess.run(sys.argv[1:],stdout=subprocess.DEVNULL,check=True);"
            "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    out = subprocess.run([sys.executable, "-c", code] + cmd, capture_output=True, check=True)
    return int(out.stdout) / 1024.0


def best(cmd, runs, cwd=None):
    return min(run_timed(cmd, cwd)[0] for _ in range(runs))


def make_big_archive(path, entries, description_name="FILE_ID.DIZ"):
    rnd = random.Random(1)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for i in range(entries):
            folder = f"dir{i % 100:03d}/sub{(i // 100) % 10}"
            z.writestr(f"{folder}/file{i:06d}.txt", f"entry {i} " * rnd.randint(1, 20))
        z.writestr(description_name, "The description\r\n" * 20)


def make_pack_tree(root, megabytes):
    rnd = random.Random(2)
    words = [b"archive", b"description", b"tavrin", b"engine", b"packer", b"music", b"zip",
             b"folder", b"listing", b"the", b"and", b"of", b"file", b"data", b"\r\n"]
    total = 0
    target = megabytes * 1024 * 1024
    n = 0
    while total < target:
        folder = os.path.join(root, f"d{n % 20}", f"e{n % 7}")
        os.makedirs(folder, exist_ok=True)
        kind = n % 4
        if kind == 0:    # large text
            size = 4 * 1024 * 1024
            data = b" ".join(rnd.choice(words) for _ in range(size // 6))[:size]
        elif kind == 1:  # incompressible
            size = 2 * 1024 * 1024
            data = os.urandom(size)
        else:            # many small files
            for k in range(200):
                small = b" ".join(rnd.choice(words) for _ in range(rnd.randint(10, 2000)))
                with open(os.path.join(folder, f"s{n}_{k}.txt"), "wb") as f:
                    f.write(small)
                total += len(small)
            n += 1
            continue
        with open(os.path.join(folder, f"f{n}.bin"), "wb") as f:
            f.write(data)
        total += len(data)
        n += 1
    return total


def compare_extraction(args, bin_dir, cli, big, work, leftovers):
    """Extracting every entry of `big` through the unzip dialog's "Unzip all", with
    tavrin-cli and with `unzip -o -q`, the three taking turns; rows for the table. The
    extracted folders are listed in `leftovers`, to go when everything is measured."""
    rows = []
    # Extracting everything: the dialog's path, the companion tool, Debian's unzip; on
    # the disk of the work folder and, where there is one, in memory (tmpfs), where
    # the file system's own noise is smallest.
    places = [("disk", work)]
    if os.path.isdir("/dev/shm") and shutil.disk_usage("/dev/shm").free > 2 << 30:
        places.append(("tmpfs", "/dev/shm"))
    for place, base in places:
        # Each run writes into a new folder: creating files right after 100,000 others
        # were deleted costs the file system several times more, whoever extracts.
        scratch = tempfile.mkdtemp(prefix="tavrin-extract-", dir=base)
        leftovers.append(scratch)
        made = []
        def fresh():
            made.append(os.path.join(scratch, f"run{len(made)}"))
            subprocess.run(["sync"], check=True)
            return made[-1]
        def dialog_extract():
            target = fresh()
            out = subprocess.run([os.path.join(bin_dir, "unzip_dialog_probe"), "extract",
                                  big, target], capture_output=True, text=True, check=True,
                                 cwd=bin_dir).stdout.split()
            if int(out[0]) != args.entries + 1:
                sys.exit(f"the dialog extracted {out[0]} entries")
            return float(out[2])
        def cli_extract():
            target = fresh()
            return run_timed([cli, "unzip", "--with-paths", "--overwrite", big, target],
                             cwd=bin_dir)[0]
        def unzip_extract():
            target = fresh()
            return run_timed(["unzip", "-o", "-q", big, "-d", target])[0]
        times = {"dialog": [], "cli": [], "unzip": []}
        for _ in range(args.extract_runs):
            times["unzip"].append(unzip_extract())
            times["dialog"].append(dialog_extract())
            times["cli"].append(cli_extract())
        rows.append((f"extracting {args.entries} entries, \"Unzip all\" ({place})",
                     min(times["dialog"]), min(times["unzip"]), "unzip -o -q", 1.1))
        rows.append((f"extracting {args.entries} entries, tavrin-cli ({place})",
                     min(times["cli"]), min(times["unzip"]), "unzip -o -q", 1.1))
        print(f"extraction runs ({place}): " + ", ".join(
            f"{tool} " + " ".join(f"{t:.2f}" for t in runs) for tool, runs in times.items()),
            file=sys.stderr)
    return rows


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--entries", type=int, default=100000)
    ap.add_argument("--pack-mb", type=int, default=300)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--extract-runs", type=int, default=5)
    ap.add_argument("--only-extraction", action="store_true",
                    help="measure only the extraction of the N-entry archive")
    args = ap.parse_args()
    bin_dir = os.path.abspath(os.path.join(args.build, "bin"))
    probe = os.path.join(bin_dir, "engine_probe")
    cli = os.path.join(bin_dir, "tavrin-cli")
    for tool in ("unzip", "zip"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing (Debian package {tool})")

    work = tempfile.mkdtemp(prefix="tavrin-bench-")
    leftovers = []
    try:
        big = os.path.join(work, "big.zip")
        make_big_archive(big, args.entries)
        subprocess.run(["sync"], check=True)
        if args.only_extraction:
            for name, a, b, tool, limit in compare_extraction(args, bin_dir, cli, big, work,
                                                              leftovers):
                print(f"{name:52} {a:9.3f}s {b:9.3f}s  {tool}  ratio {a / b:.2f} (target {limit})")
            return
        rows = []
        # Lookups take milliseconds: more runs, so a busy moment does not decide.
        quick = max(args.runs, 20)
        ours = best([probe, "print", big, "file_id.diz"], quick, cwd=bin_dir)
        theirs = best(["unzip", "-p", "-C", big, "file_id.diz"], quick)
        rows.append(("one description entry to memory", ours, theirs, "unzip -p"))
        own = os.path.join(work, "big2.zip")
        make_big_archive(own, args.entries, description_name="big2.txt")
        ours = best([cli, "diz", own], quick, cwd=bin_dir)
        theirs = best(["unzip", "-p", own, "big2.txt"], quick)
        rows.append(("lookup found at the third candidate", ours, theirs, "unzip -p", 1.5))
        ours = best([cli, "list", big], args.runs, cwd=bin_dir)
        theirs = best(["unzip", "-l", big], args.runs)
        rows.append((f"listing {args.entries} entries", ours, theirs, "unzip -l"))
        out = subprocess.run([os.path.join(bin_dir, "unzip_dialog_probe"), big, str(args.runs)],
                             capture_output=True, text=True, check=True, cwd=bin_dir).stdout.split()
        rows.append((f"listing {args.entries} entries into the unzip dialog", float(out[2]),
                     theirs, "unzip -l", 2.0))
        mem_ours = peak_rss([cli, "list", big])
        mem_theirs = peak_rss(["unzip", "-l", big])

        tree = os.path.join(work, "tree")
        os.makedirs(tree)
        size = make_pack_tree(tree, args.pack_mb)
        pack_runs = max(1, min(args.runs, 2))
        def pack_ours():
            out = os.path.join(work, "ours.zip")
            if os.path.exists(out):
                os.remove(out)
            return run_timed([cli, "zip", "--recurse", "--no-junk-paths", "--level", "6", out, "tree"],
                             cwd=work)[0]
        def pack_theirs():
            out = os.path.join(work, "theirs.zip")
            if os.path.exists(out):
                os.remove(out)
            return run_timed(["zip", "-q", "-r", "-6", out, "tree"], cwd=work)[0]
        ours = min(pack_ours() for _ in range(pack_runs))
        theirs = min(pack_theirs() for _ in range(pack_runs))
        rows.append((f"packing {size / 1048576:.0f} MB at level 6", ours, theirs, "zip -r -6", 1.1))
        # Extracting the same archive (the one Debian's zip made) with each tool.
        def extract(cmd, target):
            shutil.rmtree(target, ignore_errors=True)
            os.makedirs(target)
            return run_timed(cmd, cwd=work)[0]
        source = os.path.join(work, "theirs.zip")
        ours = min(extract([cli, "unzip", "--with-paths", source, os.path.join(work, "x1")],
                           os.path.join(work, "x1")) for _ in range(pack_runs))
        theirs = min(extract(["unzip", "-q", source, "-d", os.path.join(work, "x2")],
                             os.path.join(work, "x2")) for _ in range(pack_runs))
        rows.append((f"extracting {size / 1048576:.0f} MB", ours, theirs, "unzip -q", 1.1))
        sizes = (os.path.getsize(os.path.join(work, "ours.zip")),
                 os.path.getsize(os.path.join(work, "theirs.zip")))
        # Last, as it leaves 100,000s of files behind.
        rows += compare_extraction(args, bin_dir, cli, big, work, leftovers)

        print(f"{'measurement':52} {'Tavrin':>10} {'Debian':>10}  yardstick")
        for name, a, b, tool, *factor in rows:
            limit = factor[0] if factor else 1.0
            verdict = "ok" if a <= b * limit else "SLOWER"
            print(f"{name:52} {a:9.3f}s {b:9.3f}s  {tool}  ratio {a / b:.2f} (target {limit}: {verdict})")
        print(f"{'peak memory while listing':52} {mem_ours:8.1f}MB {mem_theirs:8.1f}MB  unzip -l"
              f"  ({'ok' if mem_ours < 100 else 'OVER 100 MB'})")
        print(f"{'archive sizes at level 6':52} {sizes[0] / 1048576:8.1f}MB {sizes[1] / 1048576:8.1f}MB")
    finally:
        for folder in leftovers:
            shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
