#!/usr/bin/env python3
"""Extraction where users run it: each stub itself, under Wine, unpacking the
corpus self-extractor, against arcula-headless on the host unpacking the same
file, and against a floor, a plain Windows copy of the same bytes.

    bench/wine_extract_bench.py [--arch x86|x64|both] [--bin DIR] [--corpus DIR]
                                [--work DIR] [--runs N] [--tmp DIR]

    --arch           the stubs to run (default: both): x64, arcula-sfx64.exe
                     under 64-bit Wine, with the Windows programs of
                     build/win64/bin; x86, arcula-sfx.exe under 32-bit Wine,
                     with those of build/win32/bin. Where 32-bit programs run
                     only under an emulator, the x86 figures would measure the
                     emulator: they are left out, with a line saying so.
    --bin DIR        host programs: arcula-headless, arcula-mksfx,
                     bench-measure-run (default: build/bin)
    --corpus DIR     the benchmark corpus (default: build/bench-corpus); built
                     by bench/make_corpus.py first when it is missing
    --work DIR       where the ZIP and the self-extractors are kept between
                     runs (default: build/bench-wine, a folder per stub);
                     remade when the corpus, the builder or the stub changed
    --runs N         timed runs of each program (default: 5); the median counts
    --tmp DIR        where every run unpacks into a fresh folder (default:
                     /dev/shm, a RAM disk, so the disk does not take part)

The self-extractor is the one bench/extract_bench.py makes (`zip -6 -r` of
the corpus folder, then arcula-mksfx), with the stub of the cross build. The
three programs, each writing into a fresh folder under --tmp:

    wine corpus.exe /auto Z:\\...\\DIR               the stub, unattended
    arcula-headless --folder DIR corpus.exe /AUTO   the same pass on the host
    wine bench-win32-copy.exe Z:\\...\\DIR FILE...     the floor: the corpus
                     files copied in 64 KiB reads and writes, nothing else
    wine one-file.exe /auto Z:\\...\\DIR             the stub's start-up: the
                     same stub on a self-extractor of one small file

(`wine` is the loader of the stub's processor that scripts/wine-env.sh names.)
Wine does not show /dev in the listing of Z:\\, so the stub could not find
Z:\\dev on its way to a folder under /dev/shm: the Wine runs reach --tmp
through a link, tmp in the stub's work folder.

The stub runs under Xvfb (one is started when there is no display) with a
persistent wineserver, so a launch costs tens of milliseconds; both Wine
runs pay it. A first, untimed run of the stub and of arcula-headless checks
that each wrote exactly the corpus files, byte for byte, with their times.
The timed runs go round the three programs in turn. Every run goes through
bench-measure-run (wall time and CPU time of the process). Wine does part of
a program's work in the wineserver, outside the process: the server's CPU
time across each Wine run is taken too, and added to the program's in the
CPU ratios.

Printed for each stub: median wall time, MB/s of output, median CPU time of
each program and of the server for it; then the wall and CPU ratios of the
stub to the floor and to arcula-headless, and of the floor to
arcula-headless. The 64-bit stub against arcula-headless is the
like-for-like figure, the same word size and decoder, and the one with a
target (at most 1.5). Under Wine a program with a window pays a start-up of
its own that a console program does not (Wine's window system and fonts), on
every archive however small: the last ratio takes the one-file run's time off
the stub's, to show the extraction alone. Figures to read, never a pass/fail
test.
"""

import argparse
import os
import platform
import shutil
import statistics
import subprocess
import sys
import zipfile
from dataclasses import dataclass
from pathlib import Path

import extract_bench
import winebench

TOP = Path(__file__).resolve().parent.parent
STUB_NAMES = {"x64": "arcula-sfx64.exe", "x86": "arcula-sfx.exe"}
COPY = "bench-win32-copy.exe"
STUB = "stub under Wine"
HEADLESS = "arcula-headless"
FLOOR = "copy under Wine"
STARTUP = "stub, one file"
PROGRAMS = (STUB, HEADLESS, FLOOR, STARTUP)
UNDER_WINE = (STUB, FLOOR, STARTUP)
ONE_FILE_NAME = "one-file.txt"
# The like-for-like figure's target: the 64-bit stub under Wine against
# arcula-headless, the same decoder and word size on the same machine.
LIKE_FOR_LIKE_TARGET = 1.5


@dataclass
class Stub:
    """One stub's side of the benchmark: its processor, the cross build
    holding it and the copy floor, and what was made with it in its own
    work folder."""
    arch: str
    cross_bin: Path
    work: Path
    source: Path = None          # the corpus folder inside the self-extractor
    self_extractor: Path = None
    one_file_extractor: Path = None  # the stub on an archive of one small file
    files: list = None           # the corpus files the floor copies

    @property
    def program(self):
        return self.cross_bin / STUB_NAMES[self.arch]


class Measures(extract_bench.Measures):
    """extract_bench's figures, plus the wineserver's CPU time for a Wine run."""

    def __init__(self):
        super().__init__()
        self.server_cpu = []

    def median_cpu(self):
        return statistics.median(self.cpu)

    def median_server_cpu(self):
        return statistics.median(self.server_cpu) if self.server_cpu else None

    def median_total_cpu(self):
        return self.median_cpu() + (self.median_server_cpu() or 0.0)


def fail(message):
    winebench.fail("wine_extract_bench", message)


def tmp_link(tmp, work):
    """work/tmp, a link to tmp, made afresh."""
    link = work / "tmp"
    if link.is_symlink() or link.exists():
        link.unlink()
    link.symlink_to(tmp, target_is_directory=True)


def command(args, stub, program, out_dir):
    """The command that unpacks into out_dir, a folder in --tmp."""
    seen_by_wine = stub.work / "tmp" / out_dir.name
    if program == STUB:
        return [winebench.wine(), str(stub.self_extractor), "/auto", winebench.windows_path(seen_by_wine)]
    if program == STARTUP:
        return [winebench.wine(), str(stub.one_file_extractor), "/auto", winebench.windows_path(seen_by_wine)]
    if program == HEADLESS:
        return [str(args.bin / HEADLESS), "--folder", str(out_dir), str(stub.self_extractor), "/AUTO"]
    (out_dir / "corpus").mkdir()
    return [winebench.wine(), str(stub.cross_bin / COPY),
            winebench.windows_path(seen_by_wine / "corpus")] + [winebench.windows_path(path) for path in stub.files]


# A stub that stops at a message box would wait for ever: each run has this
# long before the prefix's programs are ended.
RUN_TIMEOUT = 600


def run_checked(args, argv, log):
    try:
        return extract_bench.run_once(args.bin, argv, log, timeout=RUN_TIMEOUT)
    except subprocess.TimeoutExpired:
        subprocess.run([winebench.wineserver(), "-k"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        fail("%s did not end within %d s (a message box?)" % (argv[1], RUN_TIMEOUT))


def check(args, stub):
    for program in (STUB, HEADLESS):
        extract_bench.check_run(program, lambda argv, log: run_checked(args, argv, log),
                                lambda out_dir: command(args, stub, program, out_dir), stub.source, args.tmp)


def run_measured(args, stub, program, log):
    """One timed run into a fresh folder: (wall s, CPU s, server CPU s or
    None, peak RSS KiB)."""
    out_dir = extract_bench.fresh_folder(args.tmp)
    argv = command(args, stub, program, out_dir)
    server_before = winebench.server_cpu_seconds() if program in UNDER_WINE else None
    try:
        wall, cpu, rss, code = run_checked(args, argv, log)
        if code != 0:
            fail("%s exited with %d in a timed run:\n%s" % (program, code, log.read_text(errors="replace")))
    finally:
        shutil.rmtree(out_dir, ignore_errors=True)
    server_after = winebench.server_cpu_seconds() if server_before is not None else None
    server_cpu = server_after - server_before if server_after is not None else None
    return wall, cpu, server_cpu, rss


def measure(args, stub):
    measures = {program: Measures() for program in PROGRAMS}
    log = args.tmp / ("wine-extract-bench-%d.log" % os.getpid())
    for round_index in range(args.runs):
        shift = round_index % len(PROGRAMS)
        for program in PROGRAMS[shift:] + PROGRAMS[:shift]:
            wall, cpu, server_cpu, rss = run_measured(args, stub, program, log)
            measures[program].wall.append(wall)
            measures[program].cpu.append(cpu)
            measures[program].rss_kib.append(rss)
            if server_cpu is not None:
                measures[program].server_cpu.append(server_cpu)
        print("  round %d of %d done" % (round_index + 1, args.runs), flush=True)
    log.unlink(missing_ok=True)
    return measures


def print_table(stub, measures, output_bytes, runs):
    print()
    print("%s stub (%s): self-extractor %.1f MB, output %.1f MB; median of %d runs"
          % (stub.arch, STUB_NAMES[stub.arch], stub.self_extractor.stat().st_size / 1e6, output_bytes / 1e6, runs))
    print()
    print("%-18s %9s %9s %9s %13s" % ("program", "wall s", "MB/s", "CPU s", "server CPU s"))
    for program in PROGRAMS:
        m = measures[program]
        server = m.median_server_cpu()
        rate = "-" if program == STARTUP else "%.1f" % (output_bytes / m.median_wall() / 1e6)
        print("%-18s %9.3f %9s %9.3f %13s" % (program, m.median_wall(), rate,
                                              m.median_cpu(), "-" if server is None else "%.3f" % server))
    print()
    print("%-36s %7s %7s" % ("ratios (CPU: with the server's)", "wall", "CPU"))
    like_for_like = ("   like for like (same word size and decoder); target <= %.1f" % LIKE_FOR_LIKE_TARGET
                     if stub.arch == "x64" else "")
    for upper, lower, note in ((STUB, FLOOR, ""), (STUB, HEADLESS, like_for_like), (FLOOR, HEADLESS, "")):
        print("  %-34s %7.2f %7.2f%s" % ("%s / %s" % (upper, lower),
                                         measures[upper].median_wall() / measures[lower].median_wall(),
                                         measures[upper].median_total_cpu() / measures[lower].median_total_cpu(),
                                         note))
    stub, startup, headless = measures[STUB], measures[STARTUP], measures[HEADLESS]
    print("  %-34s %7.2f %7.2f   extraction alone" % (
        "(%s - %s) / %s" % ("stub", "one file", HEADLESS),
        (stub.median_wall() - startup.median_wall()) / headless.median_wall(),
        (stub.median_total_cpu() - startup.median_total_cpu()) / headless.median_total_cpu()))
    if any(measures[program].median_server_cpu() is None for program in UNDER_WINE):
        print("  (the wineserver was not found: the Wine CPU figures leave out its share)")


def prepare(args, arch):
    """The stub of arch with its self-extractor made (or kept from an
    earlier run)."""
    stub = Stub(arch, winebench.cross_bin(arch), args.work / arch)
    for program in (stub.program, stub.cross_bin / COPY):
        if not program.exists():
            fail("%s is missing: build first (scripts/build.sh host %s)" % (program, winebench.CROSS_BUILDS[arch]))
    stub.source, _, stub.self_extractor = extract_bench.ensure_inputs(args.corpus, args.bin, stub.work,
                                                                      stub=stub.program)
    stub.files = [stub.source / name for name in extract_bench.corpus_names(args.corpus)]
    stub.one_file_extractor = make_one_file_extractor(args, stub)
    tmp_link(args.tmp, stub.work)
    return stub


def make_one_file_extractor(args, stub):
    """A self-extractor of one small file, made with the stub: its run is
    the stub's start-up and little else."""
    folder = stub.work / "one-file"
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    archive = folder / "one-file.zip"
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as out:
        out.writestr(ONE_FILE_NAME, "one small file\n")
    extractor = folder / "one-file.exe"
    extract_bench.make_self_extractor(args.bin, stub.program, archive, extractor)
    return extractor


def bench_arch(args, arch):
    """Checks and times one stub, or says why this machine gives no figures
    for it."""
    reason = winebench.left_out(arch)
    if reason is not None:
        print("\nwine_extract_bench: %s stub left out: %s" % (arch, reason))
        return
    stub = prepare(args, arch)
    output_bytes = sum(path.stat().st_size for path in stub.files)
    with winebench.session(arch):
        print("\nwine_extract_bench: %s stub, checking that it and arcula-headless unpack the corpus" % arch,
              flush=True)
        check(args, stub)
        print("wine_extract_bench: %d timed runs of each program" % args.runs, flush=True)
        measures = measure(args, stub)
    print_table(stub, measures, output_bytes, args.runs)


def main():
    parser = argparse.ArgumentParser(description="The stubs under Wine against arcula-headless and a plain copy")
    parser.add_argument("--arch", choices=("x86", "x64", "both"), default="both")
    parser.add_argument("--bin", type=Path, default=TOP / "build" / "bin")
    parser.add_argument("--corpus", type=Path, default=TOP / "build" / "bench-corpus")
    parser.add_argument("--work", type=Path, default=TOP / "build" / "bench-wine")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--tmp", type=Path, default=Path("/dev/shm"))
    args = parser.parse_args()
    for name in ("bin", "corpus", "work", "tmp"):
        setattr(args, name, getattr(args, name).resolve())

    if shutil.which("zip") is None:
        fail("zip is not installed (scripts/install-deps.sh installs it)")
    for program in (HEADLESS, "arcula-mksfx", extract_bench.MEASURE):
        if not (args.bin / program).exists():
            fail("%s is not in %s: build first (scripts/build.sh host)" % (program, args.bin))

    extract_bench.ensure_corpus(args.corpus)
    print("wine_extract_bench: %s, %d CPUs" % (platform.processor() or platform.machine(), os.cpu_count()))
    for arch in winebench.arches(args.arch):
        bench_arch(args, arch)


if __name__ == "__main__":
    sys.exit(main())
