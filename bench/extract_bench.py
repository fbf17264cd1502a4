#!/usr/bin/env python3
"""Extraction speed: a self-extractor unpacked by arcula-headless against
unzip, bsdtar and 7-Zip unpacking the same ZIP.

    bench/extract_bench.py [--bin DIR] [--corpus DIR] [--work DIR] [--runs N]
                           [--tmp DIR]

    --bin DIR     where arcula-headless, arcula-mksfx, arcula-sfx.exe and
                  bench-measure-run are (default: build/bin)
    --corpus DIR  the DEFLATE benchmark's corpus folder (default:
                  build/bench-corpus); built by bench/make_corpus.py first
                  when it is missing or incomplete
    --work DIR    where the ZIP and the self-extractor are kept between runs
                  (default: build/bench-extract); remade when the corpus or
                  the programs changed
    --runs N      timed runs of each program (default: 5); the median counts
    --tmp DIR     where every run unpacks into a fresh folder (default:
                  /dev/shm, a RAM disk, so the disk does not take part)

The corpus files (those its MANIFEST lists) are put in one folder, corpus/,
which Info-ZIP zip packs with `zip -6 -r` into corpus.zip; arcula-mksfx
turns that ZIP into corpus.exe. Each program then unpacks into a folder of
its own under --tmp:

    arcula-headless --folder DIR corpus.exe /AUTO
    unzip -o -q corpus.zip -d DIR
    bsdtar -xf corpus.zip -C DIR
    7zz x -y -oDIR corpus.zip

A first, untimed run of each checks that it exits with 0 and that the tree it
wrote holds exactly the corpus folder's files, byte for byte, with their
modification times to within the 2 seconds a ZIP's DOS time keeps. The timed
runs go round the four programs in turn, starting one further each round, so
drift in the machine's load is shared; every run's folder is removed before
the next run starts.

Every run goes through bench-measure-run, a small static program that forks
the command, waits for it with wait4 and reports its wall time (process
start included), CPU time (user + system) and peak resident set size; a
child spawned straight from Python would inherit Python's RSS as its floor.

Printed: for each program the median wall time, MB/s of output (1 MB = 10^6
bytes), the median CPU time and the largest peak RSS of its runs; then the
ratios of arcula-headless's median wall time, median CPU time and peak RSS
to each peer's (above 1 = ours is slower or larger). CPU time moves less
than wall time when other work shares the machine. Figures to read, never a
pass/fail test.
"""

import argparse
import filecmp
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

TOP = Path(__file__).resolve().parent.parent
OURS = "arcula-headless"
PEERS = ("unzip", "bsdtar", "7zz")
PROGRAMS = (OURS,) + PEERS
MEASURE = "bench-measure-run"
DOS_TIME_STEP = 2  # seconds


class Measures:
    def __init__(self):
        self.wall = []
        self.cpu = []
        self.rss_kib = []

    def median_wall(self):
        return statistics.median(self.wall)


def fail(message):
    print("extract_bench: " + message, file=sys.stderr)
    sys.exit(1)


# --- inputs -------------------------------------------------------------------

def ensure_corpus(corpus):
    if not (corpus / "MANIFEST").exists():
        print("extract_bench: building the corpus in %s" % corpus, flush=True)
        subprocess.run([sys.executable, str(TOP / "bench" / "make_corpus.py"), "--out", str(corpus)], check=True)


def corpus_names(corpus):
    return [line.split()[0] for line in (corpus / "MANIFEST").read_text().splitlines()
            if line.strip() and not line.startswith("#")]


def stage_corpus(corpus, work):
    """work/corpus/ holding the corpus files (hard links where possible)."""
    folder = work / "corpus"
    if folder.exists():
        shutil.rmtree(folder)
    folder.mkdir(parents=True)
    for name in corpus_names(corpus):
        source = corpus / name
        try:
            os.link(source, folder / name)
        except OSError:
            shutil.copy2(source, folder / name)
    return folder


def stamp_of(corpus, programs):
    """What the ZIP and the self-extractor were made from."""
    parts = [(corpus / "MANIFEST").read_text()]
    for program in programs:
        status = program.stat()
        parts.append("%s %d %d" % (program, status.st_size, status.st_mtime_ns))
    return "\n".join(parts)


def ensure_inputs(corpus, bin_dir, work, stub=None):
    """corpus.zip and corpus.exe in work, made again when their stamp changed.
    The stub is bin_dir's unless named."""
    stub = stub or bin_dir / "arcula-sfx.exe"
    work.mkdir(parents=True, exist_ok=True)
    archive, self_extractor, stamp_file = work / "corpus.zip", work / "corpus.exe", work / "STAMP"
    stamp = stamp_of(corpus, (bin_dir / "arcula-mksfx", stub))
    folder = work / "corpus"
    if stamp_file.exists() and stamp_file.read_text() == stamp and archive.exists() and self_extractor.exists() \
            and folder.exists():
        return folder, archive, self_extractor
    stamp_file.unlink(missing_ok=True)
    folder = stage_corpus(corpus, work)
    print("extract_bench: zip -6 -r %s" % archive, flush=True)
    archive.unlink(missing_ok=True)
    subprocess.run(["zip", "-q", "-6", "-r", str(archive), "corpus"], cwd=work, check=True)
    make_self_extractor(bin_dir, stub, archive, self_extractor)
    stamp_file.write_text(stamp)
    return folder, archive, self_extractor


def make_self_extractor(bin_dir, stub, archive, self_extractor):
    """arcula-mksfx with `stub` on `archive`, afresh."""
    self_extractor.unlink(missing_ok=True)
    subprocess.run([str(bin_dir / "arcula-mksfx"), "--stub", str(stub),
                    str(archive), str(self_extractor)], check=True, stdout=subprocess.DEVNULL)


# --- runs ---------------------------------------------------------------------

def command(bin_dir, program, archive, self_extractor, out_dir):
    if program == OURS:
        return [str(bin_dir / OURS), "--folder", str(out_dir), str(self_extractor), "/AUTO"]
    if program == "unzip":
        return [shutil.which("unzip"), "-o", "-q", str(archive), "-d", str(out_dir)]
    if program == "bsdtar":
        return [shutil.which("bsdtar"), "-xf", str(archive), "-C", str(out_dir)]
    return [shutil.which("7zz"), "x", "-y", "-o" + str(out_dir), str(archive)]


def run_once(bin_dir, argv, log_path, timeout=None):
    """Runs argv through bench-measure-run, its output to a file:
    (wall s, CPU s, peak RSS KiB, exit status)."""
    measured = subprocess.run([str(bin_dir / MEASURE), str(log_path)] + argv,
                              stdout=subprocess.PIPE, text=True, check=True, timeout=timeout).stdout.split()
    return float(measured[0]), float(measured[1]), int(measured[2]), int(measured[3])


def tree(folder):
    """Relative paths of the files and folders under folder, folders with a trailing '/'."""
    found = set()
    for parent, folders, files in os.walk(folder):
        relative = os.path.relpath(parent, folder)
        for name in folders:
            found.add(os.path.normpath(os.path.join(relative, name)) + "/")
        for name in files:
            found.add(os.path.normpath(os.path.join(relative, name)))
    return found


def check_tree(program, out_dir, source):
    """The unpacked corpus/ is the source folder: names, bytes, times."""
    unpacked = out_dir / "corpus"
    if not unpacked.is_dir():
        fail("%s wrote no corpus/ folder" % program)
    if tree(unpacked) != tree(source):
        fail("%s: the unpacked tree differs from the corpus folder: %s" %
             (program, sorted(tree(unpacked) ^ tree(source))))
    for name in sorted(tree(source)):
        if name.endswith("/"):
            continue
        if not filecmp.cmp(source / name, unpacked / name, shallow=False):
            fail("%s: %s differs from the corpus file" % (program, name))
        drift = abs((unpacked / name).stat().st_mtime - (source / name).stat().st_mtime)
        if drift > DOS_TIME_STEP:
            fail("%s: %s has its modification time %.0f s off" % (program, name, drift))


def fresh_folder(tmp):
    return Path(tempfile.mkdtemp(prefix="extract-bench-", dir=tmp))


def check_run(program, run, command_for, source, tmp):
    """Unpacks with `program` into a fresh folder under tmp and checks the
    tree against the corpus files. run(argv, log) runs a command as
    run_once does; command_for(folder) is the command that unpacks there."""
    out_dir = fresh_folder(tmp)
    try:
        log = out_dir.parent / (out_dir.name + ".log")
        _, _, _, code = run(command_for(out_dir), log)
        if code != 0:
            fail("%s exited with %d:\n%s" % (program, code, log.read_text(errors="replace")))
        log.unlink()
        check_tree(program, out_dir, source)
    finally:
        shutil.rmtree(out_dir, ignore_errors=True)


def check(bin_dir, archive, self_extractor, source, tmp):
    for program in PROGRAMS:
        check_run(program, lambda argv, log: run_once(bin_dir, argv, log),
                  lambda out_dir: command(bin_dir, program, archive, self_extractor, out_dir), source, tmp)


def measure(bin_dir, archive, self_extractor, tmp, runs):
    measures = {program: Measures() for program in PROGRAMS}
    log = tmp / ("extract-bench-%d.log" % os.getpid())
    for round_index in range(runs):
        order = PROGRAMS[round_index % len(PROGRAMS):] + PROGRAMS[:round_index % len(PROGRAMS)]
        for program in order:
            out_dir = fresh_folder(tmp)
            try:
                wall, cpu, rss, code = run_once(bin_dir, command(bin_dir, program, archive, self_extractor, out_dir), log)
                if code != 0:
                    fail("%s exited with %d in a timed run" % (program, code))
            finally:
                shutil.rmtree(out_dir, ignore_errors=True)
            measures[program].wall.append(wall)
            measures[program].cpu.append(cpu)
            measures[program].rss_kib.append(rss)
        print("  round %d of %d done" % (round_index + 1, runs), flush=True)
    log.unlink(missing_ok=True)
    return measures


# --- report -------------------------------------------------------------------

def print_table(measures, output_bytes, archive, self_extractor, runs):
    print()
    print("ZIP %.1f MB, self-extractor %.1f MB, output %.1f MB; median of %d runs"
          % (archive.stat().st_size / 1e6, self_extractor.stat().st_size / 1e6, output_bytes / 1e6, runs))
    print()
    print("%-16s %9s %9s %9s %12s" % ("program", "wall s", "MB/s", "CPU s", "peak RSS MB"))
    for program in PROGRAMS:
        m = measures[program]
        wall = m.median_wall()
        print("%-16s %9.3f %9.1f %9.3f %12.1f" % (program, wall, output_bytes / wall / 1e6,
                                                  statistics.median(m.cpu), max(m.rss_kib) / 1024))
    print()
    ours = measures[OURS]
    print("%-16s %12s %12s %12s" % ("ours / peer", "wall ratio", "CPU ratio", "RSS ratio"))
    for peer in PEERS:
        theirs = measures[peer]
        print("%-16s %12.3f %12.3f %12.3f" % (peer, ours.median_wall() / theirs.median_wall(),
                                              statistics.median(ours.cpu) / statistics.median(theirs.cpu),
                                              max(ours.rss_kib) / max(theirs.rss_kib)))


def versions():
    found = []
    unzip = subprocess.run(["unzip", "-v"], capture_output=True, text=True).stdout.splitlines()
    if unzip:
        found.append(unzip[0].split(" of ")[0].strip())
    bsdtar = subprocess.run(["bsdtar", "--version"], capture_output=True, text=True).stdout.strip()
    if bsdtar:
        found.append(bsdtar.splitlines()[0])
    sevenzip = [line for line in subprocess.run(["7zz"], capture_output=True, text=True).stdout.splitlines()
                if line.startswith("7-Zip")]
    if sevenzip:
        found.append(sevenzip[0].split(":")[0].strip())
    return "; ".join(found)


def main():
    parser = argparse.ArgumentParser(description="Extraction speed: arcula-headless against unzip, bsdtar and 7zz")
    parser.add_argument("--bin", type=Path, default=TOP / "build" / "bin")
    parser.add_argument("--corpus", type=Path, default=TOP / "build" / "bench-corpus")
    parser.add_argument("--work", type=Path, default=TOP / "build" / "bench-extract")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--tmp", type=Path, default=Path("/dev/shm"))
    args = parser.parse_args()

    for program in ("zip",) + PEERS:
        if shutil.which(program) is None:
            fail("%s is not installed (scripts/install-deps.sh installs it)" % program)
    for program in (OURS, "arcula-mksfx", "arcula-sfx.exe", MEASURE):
        if not (args.bin / program).exists():
            fail("%s is not in %s: build first (scripts/build.sh)" % (program, args.bin))
    bin_dir, corpus, work, tmp = args.bin.resolve(), args.corpus.resolve(), args.work.resolve(), args.tmp.resolve()

    ensure_corpus(corpus)
    source, archive, self_extractor = ensure_inputs(corpus, bin_dir, work)
    output_bytes = sum((source / name).stat().st_size for name in corpus_names(corpus))

    print("extract_bench: %s, %d CPUs; %s" % (platform.processor() or platform.machine(), os.cpu_count(), versions()))
    print("extract_bench: checking that every program unpacks the same tree", flush=True)
    check(bin_dir, archive, self_extractor, source, tmp)
    print("extract_bench: %d timed runs of each program" % args.runs, flush=True)
    measures = measure(bin_dir, archive, self_extractor, tmp, args.runs)
    print_table(measures, output_bytes, archive, self_extractor, args.runs)


if __name__ == "__main__":
    main()
