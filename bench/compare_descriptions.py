#!/usr/bin/env python3
"""Side-by-side benchmarks of the description tools for many archives and for huge ones.

  bench/compare_descriptions.py [--build build] [--archives 1000] [--entries 1000000] [--runs 3]

Measures, in one run on the same files:
  1. reading the description of --archives small archives: `tavrin-cli diz --json` over all
     of them, and a shell loop of `tavrin-cli diz`, against a shell loop of `unzip -p`;
  2. stamping one text into all of them: `tavrin-cli diz-set` over all of them, and a shell
     loop of `tavrin-cli diz-set`, against a shell loop of `zip -q` adding the text file
     (each run on fresh copies);
  3. an archive of --entries entries: the description lookup (`tavrin-cli diz`) against
     `unzip -p`, the listing (`tavrin-cli list`, and into the unzip dialog with
     unzip_dialog_probe) against `unzip -l`, with the peak memory of each.
Times are the best of --runs runs of whole processes (wall clock, seconds)."""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from compare_engine import best, make_big_archive, run_timed  # noqa: E402


def peak_rss(cmd, cwd=None):
    """Peak RSS (MB) of one command as /usr/bin/time reports it (the command's own)."""
    r = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, cwd=cwd, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, text=True, check=True)
    return int(r.stderr.strip().splitlines()[-1]) / 1024.0

DIZ = ("\xc9" + "\xcd" * 43 + "\xbb\r\n" + ("\xba  A release of the month" + " " * 19 + "\xba\r\n") * 8
       + "\xc8" + "\xcd" * 43 + "\xbc\r\n").encode("latin-1")


def make_small_archives(folder, count):
    names = []
    for i in range(count):
        name = os.path.join(folder, f"rel{i:04d}.zip")
        with zipfile.ZipFile(name, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("FILE_ID.DIZ", DIZ)
            z.writestr("prog.exe", b"MZ" + bytes(2000))
            z.writestr("readme.txt", b"read me\r\n" * 50)
        names.append(name)
    return names


def fresh_copies(source, target):
    shutil.rmtree(target, ignore_errors=True)
    shutil.copytree(source, target)
    return sorted(os.path.join(target, n) for n in os.listdir(target) if n.endswith(".zip"))


def best_on_copies(cmd_for, source, target, runs, cwd=None):
    times = []
    for _ in range(runs):
        archives = fresh_copies(source, target)
        # The copies reach the disk first: a stamp that flushes its archive would otherwise
        # also wait for the copying.
        subprocess.run(["sync"], check=True)
        times.append(run_timed(cmd_for(archives), cwd)[0])
    return min(times)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--build", default="build")
    p.add_argument("--archives", type=int, default=1000)
    p.add_argument("--entries", type=int, default=1000000)
    p.add_argument("--runs", type=int, default=3)
    args = p.parse_args()
    bin_dir = os.path.abspath(os.path.join(args.build, "bin"))
    cli = os.path.join(bin_dir, "tavrin-cli")
    rows = []
    with tempfile.TemporaryDirectory() as work:
        small = os.path.join(work, "small")
        os.makedirs(small)
        archives = make_small_archives(small, args.archives)
        n = args.archives
        loop = lambda body: ["sh", "-c", f'for f; do {body}; done', "sh"]  # noqa: E731
        theirs = best(loop('unzip -p "$f" FILE_ID.DIZ') + archives, args.runs)
        ours = best([cli, "diz", "--json"] + archives, args.runs, cwd=bin_dir)
        rows.append((f"descriptions of {n} archives (diz --json)", ours, theirs,
                     "loop of unzip -p", None))
        one_diz = best(loop(f'"{cli}" diz "$f"') + archives, args.runs, cwd=bin_dir)
        rows.append((f"descriptions of {n} archives (loop of diz)", one_diz, theirs,
                     "loop of unzip -p", None))
        per_archive = [("diz --json", ours / n)]

        text = os.path.join(work, "file_id.diz")
        with open(text, "wb") as f:
            f.write(DIZ)
        copies = os.path.join(work, "copies")
        stamp = lambda archives: ["sh", "-c", f'exec "{cli}" diz-set "$@" < "{text}"',  # noqa
                                  "sh"] + archives
        ours = best_on_copies(stamp, small, copies, args.runs, cwd=bin_dir)
        theirs = best_on_copies(lambda a: loop(f'zip -q -j "$f" "{text}"') + a, small, copies,
                                args.runs)
        rows.append((f"stamping {n} archives (diz-set)", ours, theirs, "loop of zip -q", None))
        per_archive.append(("diz-set", ours / n))
        ours = best_on_copies(lambda a: loop(f'"{cli}" diz-set "$f" < "{text}"') + a, small,
                              copies, args.runs, cwd=bin_dir)
        rows.append((f"stamping {n} archives (loop of diz-set)", ours, theirs, "loop of zip -q",
                     None))
        shutil.rmtree(copies)
        shutil.rmtree(small)

        big = os.path.join(work, "big.zip")
        make_big_archive(big, args.entries)
        e = f"{args.entries:,}"
        ours = best([cli, "diz", big], args.runs, cwd=bin_dir)
        theirs = best(["unzip", "-p", big, "FILE_ID.DIZ"], args.runs)
        rows.append((f"description lookup among {e} entries", ours, theirs, "unzip -p", 1.5))
        mems = [("lookup", peak_rss([cli, "diz", big], bin_dir),
                 peak_rss(["unzip", "-p", big, "FILE_ID.DIZ"]))]
        ours = best([cli, "list", big], args.runs, cwd=bin_dir)
        theirs = best(["unzip", "-l", big], args.runs)
        rows.append((f"listing {e} entries (tavrin-cli list)", ours, theirs, "unzip -l", 1.5))
        out = subprocess.run([os.path.join(bin_dir, "unzip_dialog_probe"), big, str(args.runs)],
                             capture_output=True, text=True, check=True, cwd=bin_dir).stdout.split()
        rows.append((f"listing {e} entries into the unzip dialog", float(out[2]), theirs,
                     "unzip -l", 1.5))
        mems.append(("listing (tavrin-cli list)", peak_rss([cli, "list", big], bin_dir),
                     peak_rss(["unzip", "-l", big])))
        mems.append(("listing into the unzip dialog", float(out[4]), mems[-1][2]))

    print(f"{'measurement':58} {'Tavrin':>9} {'Debian':>9}  ratio  yardstick")
    for name, ours, theirs, tool, target in rows:
        ratio = ours / theirs if theirs else float("inf")
        mark = "" if target is None else ("  ok" if ratio <= target else f"  MISSES {target}x")
        print(f"{name:58} {ours:8.3f}s {theirs:8.3f}s  {ratio:5.2f}  {tool}{mark}")
    for name, cost in per_archive:
        mark = "  ok" if cost <= one_diz / n else "  MISSES"
        print(f"per archive, {name:12} {cost * 1000:6.2f} ms; one tavrin-cli diz call "
              f"{one_diz / n * 1000:6.2f} ms{mark}")
    for name, ours, theirs in mems:
        mark = "  ok" if ours < 400 else "  MISSES 400 MB"
        print(f"peak memory, {name:45} {ours:7.1f} MB {theirs:7.1f} MB{mark}")


if __name__ == "__main__":
    main()
