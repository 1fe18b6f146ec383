#!/usr/bin/env python3
"""Side-by-side benchmarks of the MP3 information logic against Debian's tools.

  bench/compare_mp3.py [--build build] [--files 2000] [--batch 100] [--big-mb 200] [--runs 5]

Measures, in one run on the same files:
  1. header analysis and tags of N MP3 files (copies of LAME-encoded files of several kinds
     with different tags): `tavrin-cli mp3` against `mediainfo` and `mp3info -x`, each given
     the files in batches of --batch names per call, and once per file on a part of them;
  2. retitling the ID3v2 tag of a --big-mb MP3, which rebuilds the whole file
     (`tavrin-cli tag --v2 --title`) against `cp` of the same file (to a new name, over an
     existing copy, and to a new name flushed to disk as the rebuild does) and against Debian's
     `id3v2 -t` doing the same change on a copy; with the peak memory of each.
Times are wall clock seconds, best and median of --runs runs."""
import argparse
import math
import os
import random
import resource
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import wave


def run(cmd):
    r = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if r.returncode != 0:
        sys.exit(f"failed ({r.returncode}): {' '.join(cmd[:4])} ...\n"
                 f"{r.stderr.decode(errors='replace')[:2000]}")


def timed(cmd, ok=(0,)):
    start = time.perf_counter()
    r = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if r.returncode not in ok:
        sys.exit(f"failed ({r.returncode}): {' '.join(cmd[:4])} ...\n"
                 f"{r.stderr.decode(errors='replace')[:2000]}")
    return elapsed


def peak_rss(cmd, ok=(0,)):
    """Peak RSS (MiB) of one command, as GNU time reports it (a Python parent would count its
    own size through the fork before exec)."""
    out = subprocess.run(["/usr/bin/time", "-f", "%x %M"] + cmd, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True)
    rc, kib = out.stderr.strip().splitlines()[-1].split()
    if int(rc) not in ok:
        sys.exit(f"failed ({rc}): {' '.join(cmd[:4])}")
    return int(kib) / 1024.0


def make_wave(path, seconds):
    rnd = random.Random(3)
    rate = 44100
    frames = bytearray()
    for i in range(rate * seconds):
        left = 7000 * math.sin(i * 0.031) + rnd.randint(-1500, 1500)
        right = 6000 * math.sin(i * 0.047 + 1) + rnd.randint(-1500, 1500)
        frames += struct.pack("<hh", int(left), int(right))
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(frames))


ENCODINGS = {
    "cbr128": ["-b", "128"],
    "cbr320": ["-b", "320"],
    "vbr": ["-V", "2"],
    "abr": ["--abr", "96"],
    "mono22": ["-b", "32", "-m", "m", "--resample", "22.05"],
    "mpeg25": ["-b", "16", "--resample", "11.025"],
}
TAGGINGS = {
    "none": None,
    "v1": ["-1"],
    "v2": ["-2"],
    "both": [],
}


def make_mp3_files(folder, count):
    make_wave(os.path.join(folder, "tone.wav"), 8)
    bases = []
    for name, options in ENCODINGS.items():
        plain = os.path.join(folder, f"{name}.mp3")
        run(["lame", "--quiet"] + options + [os.path.join(folder, "tone.wav"), plain])
        for tagging, flags in TAGGINGS.items():
            base = os.path.join(folder, f"{name}-{tagging}.mp3")
            shutil.copyfile(plain, base)
            if flags is not None:
                run(["id3v2"] + flags + ["-t", f"Title {name} {tagging}", "-a", "Artist",
                                         "-A", "Album", "-y", "2002", "-T", "3/12", "-g", "17",
                                         "-c", f"Comment on {name}", base])
            bases.append(base)
    files_dir = os.path.join(folder, "files")
    os.mkdir(files_dir)
    files = []
    for i in range(count):
        path = os.path.join(files_dir, f"track{i:05d}.mp3")
        shutil.copyfile(bases[i % len(bases)], path)
        files.append(path)
    return files


def make_big_mp3(path, megabytes, folder):
    """An ID3v2.3 tag with a 64 KiB picture, LAME audio repeated to the size, an ID3v1 tag."""
    audio = open(os.path.join(folder, "cbr128.mp3"), "rb").read()

    def frame(ident, body):
        return ident + struct.pack(">I", len(body)) + b"\0\0" + body

    frames = (frame(b"TIT2", b"\0Old title") + frame(b"TPE1", b"\0Artist") +
              frame(b"APIC", b"\0image/jpeg\0\x03\0" + os.urandom(65536)))
    size = len(frames)
    header = b"ID3\x03\x00\x00" + bytes((size >> s) & 0x7F for s in (21, 14, 7, 0))
    target = megabytes * 1024 * 1024
    with open(path, "wb") as f:
        f.write(header + frames)
        written = len(header) + len(frames)
        while written < target:
            f.write(audio)
            written += len(audio)
        f.write(b"TAG" + b"Old title".ljust(30, b"\0") + bytes(94) + b"\x11")


def stats(values):
    return min(values), statistics.median(values)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", default="build")
    ap.add_argument("--files", type=int, default=2000)
    ap.add_argument("--batch", type=int, default=100)
    ap.add_argument("--single", type=int, default=200, help="files analysed one call each")
    ap.add_argument("--big-mb", type=int, default=200)
    ap.add_argument("--runs", type=int, default=5)
    args = ap.parse_args()
    cli = os.path.abspath(os.path.join(args.build, "bin", "tavrin-cli"))
    if not os.access(cli, os.X_OK):
        sys.exit(f"{cli} not found: cmake --build {args.build} --target tavrin-cli")
    for tool in ("lame", "mediainfo", "mp3info", "id3v2", "cp", "/usr/bin/time"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is needed")

    with tempfile.TemporaryDirectory(prefix="tavrin-bench-mp3-") as folder:
        print(f"making {args.files} MP3 files ...", flush=True)
        files = make_mp3_files(folder, args.files)
        batches = [files[i:i + args.batch] for i in range(0, len(files), args.batch)]
        single = files[:args.single]
        tools = {
            "tavrin-cli mp3": ([cli, "mp3"], (0, 1)),
            "mediainfo": (["mediainfo"], (0,)),
            # mp3info exits with the number of files without an ID3v1 tag.
            "mp3info -x": (["mp3info", "-x"], range(256)),
        }
        # Warm the page cache so that every tool reads from memory.
        for batch in batches:
            timed(tools["tavrin-cli mp3"][0] + batch, (0, 1))
        batch_times = {name: [] for name in tools}
        single_times = {name: [] for name in tools}
        for _ in range(args.runs):
            for name, (cmd, ok) in tools.items():
                batch_times[name].append(sum(timed(cmd + b, ok) for b in batches))
        for _ in range(max(1, args.runs // 2)):
            for name, (cmd, ok) in tools.items():
                single_times[name].append(sum(timed(cmd + [f], ok) for f in single))
        memory = {name: peak_rss(cmd + batches[0], ok) for name, (cmd, ok) in tools.items()}

        print(f"\n1. Header analysis and tags of {len(files)} files "
              f"({len(ENCODINGS)} encodings x {len(TAGGINGS)} taggings)")
        print(f"{'tool':<16} {'batches of ' + str(args.batch):>22} {'files/s':>9} "
              f"{'1 file per call':>18} {'ms/file':>8} {'peak MiB':>9}")
        for name in tools:
            best, median = stats(batch_times[name])
            sbest, _ = stats(single_times[name])
            print(f"{name:<16} {best:9.3f} s (med {median:6.3f}) {len(files) / best:9.0f} "
                  f"{sbest:10.3f} s/{len(single):<4} {1000 * sbest / len(single):8.2f} "
                  f"{memory[name]:9.1f}")

        print(f"\nmaking a {args.big_mb} MB MP3 ...", flush=True)
        big = os.path.join(folder, "big.mp3")
        make_big_mp3(big, args.big_mb, folder)
        ours = os.path.join(folder, "ours.mp3")
        theirs = os.path.join(folder, "theirs.mp3")
        copy_new = os.path.join(folder, "copy-new.mp3")
        copy_over = os.path.join(folder, "copy-over.mp3")
        shutil.copyfile(big, ours)
        shutil.copyfile(big, theirs)
        shutil.copyfile(big, copy_over)
        # Every run starts from the same files and from a clean page cache state (sync, not
        # timed), so no command pays for writing back what an earlier one left dirty.
        names = ["cp (new file)", "cp (over a copy)", "cp + sync (new file)",
                 "tavrin-cli tag --v2", "id3v2 -t"]
        times = {name: [] for name in names}

        def fresh():
            for path in (ours, theirs):
                shutil.copyfile(big, path)
            if os.path.exists(copy_new):
                os.remove(copy_new)
            run(["sync"])

        for i in range(args.runs):
            title = f"Title number {i}"
            fresh()
            times["cp (new file)"].append(timed(["cp", big, copy_new]))
            fresh()
            times["cp (over a copy)"].append(timed(["cp", big, copy_over]))
            fresh()
            times["cp + sync (new file)"].append(
                timed(["sh", "-c", 'cp "$0" "$1" && sync --data "$1"', big, copy_new]))
            fresh()
            times["tavrin-cli tag --v2"].append(timed([cli, "tag", "--v2", "--title", title, ours]))
            times["id3v2 -t"].append(timed(["id3v2", "-t", title, theirs]))
        check = subprocess.run([cli, "mp3", ours], capture_output=True, text=True).stdout
        if f"ID3v2 Title: {title}\n" not in check or "ID3v2 Artist: Artist\n" not in check:
            sys.exit("the retitled file does not read back:\n" + check)
        fresh()
        big_memory = {
            "cp (new file)": peak_rss(["cp", big, copy_new]),
            "cp (over a copy)": peak_rss(["cp", big, copy_over]),
            "cp + sync (new file)": peak_rss(["cp", big, copy_new]),
            "tavrin-cli tag --v2": peak_rss([cli, "tag", "--v2", "--title", "Memory", ours]),
            "id3v2 -t": peak_rss(["id3v2", "-t", "A title of another length", theirs]),
        }
        cp_best = min(times["cp (new file)"])
        cp_over_best = min(times["cp (over a copy)"])
        print(f"\n2. Retitling the ID3v2 tag of a {os.path.getsize(big) / 1e6:.0f} MB MP3 "
              "(whole file rebuilt)")
        print(f"{'tool':<22} {'best s':>8} {'median s':>9} {'x cp new':>9} {'x cp over':>10} "
              f"{'peak MiB':>9}")
        for name, values in times.items():
            best, median = stats(values)
            print(f"{name:<22} {best:8.3f} {median:9.3f} {best / cp_best:9.2f} "
                  f"{best / cp_over_best:10.2f} {big_memory[name]:9.1f}")


if __name__ == "__main__":
    main()
