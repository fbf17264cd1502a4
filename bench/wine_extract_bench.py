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

Wine does not show /dev in the listing of Z:\\, so the stub could not find
Z:\\dev on its way to a folder under /dev/shm: the Wine runs reach --tmp
through a link, tmp in the stub's work folder.

The stub runs under Xvfb (one is started when there is no display) with a
persistent wineserver, so a launch costs tens of milliseconds; both Wine
runs pay it. A first, untimed run of the stub and of arcula-headless checks
that each wrote exactly the corpus files, byte for byte, with their times.
The timed runs go round the three programs in turn. Every run goes through
bench-measure-run (wall time and CPU time of the process; under Wine the
wineserver's share of the work is not in the CPU figure).

Printed for each stub: median wall time, MB/s of output and median CPU time
of each program; then the ratios of the stub's wall time to the floor's and
to arcula-headless's, and the floor's to arcula-headless's. The 64-bit
stub against arcula-headless is the like-for-like figure: the same word
size and decoder. Figures to read, never a pass/fail test.
"""

import argparse
import os
import platform
import shutil
import statistics
import subprocess
import sys
from pathlib import Path

import extract_bench
import winebench

TOP = Path(__file__).resolve().parent.parent
# Per processor: the cross build's programs and the stub's name.
CROSS_BINS = {"x64": TOP / "build" / "win64" / "bin", "x86": TOP / "build" / "win32" / "bin"}
STUB_NAMES = {"x64": "arcula-sfx64.exe", "x86": "arcula-sfx.exe"}
STUB = "stub under Wine"
HEADLESS = "arcula-headless"
FLOOR = "copy under Wine"
PROGRAMS = (STUB, HEADLESS, FLOOR)


def fail(message):
    winebench.fail("wine_extract_bench", message)


def tmp_link(args, work):
    """work/tmp, a link to --tmp, made afresh."""
    link = work / "tmp"
    if link.is_symlink() or link.exists():
        link.unlink()
    link.symlink_to(args.tmp, target_is_directory=True)
    return link


def command(args, program, self_extractor, files, out_dir):
    """The command that unpacks into out_dir, a folder in --tmp."""
    seen_by_wine = args.work_arch / "tmp" / out_dir.name
    if program == STUB:
        return [winebench.wine(), str(self_extractor), "/auto", winebench.windows_path(seen_by_wine)]
    if program == HEADLESS:
        return [str(args.bin / HEADLESS), "--folder", str(out_dir), str(self_extractor), "/AUTO"]
    (out_dir / "corpus").mkdir()
    return [winebench.wine(), str(args.cross_bin / "bench-win32-copy.exe"),
            winebench.windows_path(seen_by_wine / "corpus")] + [winebench.windows_path(path) for path in files]


# A stub that stops at a message box would wait for ever: the first run of
# each program has this long before the prefix's programs are ended.
CHECK_TIMEOUT = 600


def run_checked(args, argv, log):
    try:
        return extract_bench.run_once(args.bin, argv, log, timeout=CHECK_TIMEOUT)
    except subprocess.TimeoutExpired:
        subprocess.run([winebench.wineserver(), "-k"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        fail("%s did not end within %d s (a message box?)" % (argv[1], CHECK_TIMEOUT))


def check(args, self_extractor, files, source):
    for program in (STUB, HEADLESS):
        extract_bench.check_run(program, lambda argv, log: run_checked(args, argv, log),
                                lambda out_dir: command(args, program, self_extractor, files, out_dir),
                                source, args.tmp)


def measure(args, self_extractor, files):
    measures = {program: extract_bench.Measures() for program in PROGRAMS}
    log = args.tmp / ("wine-extract-bench-%d.log" % os.getpid())
    for round_index in range(args.runs):
        shift = round_index % len(PROGRAMS)
        for program in PROGRAMS[shift:] + PROGRAMS[:shift]:
            out_dir = extract_bench.fresh_folder(args.tmp)
            try:
                wall, cpu, rss, code = run_checked(args, command(args, program, self_extractor, files, out_dir), log)
                if code != 0:
                    fail("%s exited with %d in a timed run:\n%s" % (program, code, log.read_text(errors="replace")))
            finally:
                shutil.rmtree(out_dir, ignore_errors=True)
            measures[program].wall.append(wall)
            measures[program].cpu.append(cpu)
            measures[program].rss_kib.append(rss)
        print("  round %d of %d done" % (round_index + 1, args.runs), flush=True)
    log.unlink(missing_ok=True)
    return measures


def print_table(arch, measures, output_bytes, self_extractor, runs):
    print()
    print("%s stub: self-extractor %.1f MB, output %.1f MB; median of %d runs"
          % (arch, self_extractor.stat().st_size / 1e6, output_bytes / 1e6, runs))
    print()
    print("%-18s %9s %9s %9s" % ("program", "wall s", "MB/s", "CPU s"))
    for program in PROGRAMS:
        m = measures[program]
        print("%-18s %9.3f %9.1f %9.3f" % (program, m.median_wall(), output_bytes / m.median_wall() / 1e6,
                                           statistics.median(m.cpu)))
    print()
    stub, headless, floor = (measures[p].median_wall() for p in PROGRAMS)
    print("wall time ratios")
    print("  stub under Wine / copy under Wine   %7.2f" % (stub / floor))
    print("  stub under Wine / arcula-headless   %7.2f%s"
          % (stub / headless, "   (like for like: the same word size and decoder)" if arch == "x64" else ""))
    print("  copy under Wine / arcula-headless   %7.2f" % (floor / headless))


def bench_arch(args, arch):
    """Checks and times one stub; returns without figures where its Wine
    would run emulated."""
    if arch == "x86" and winebench.i386_mode() != "native":
        print("\nwine_extract_bench: x86 left out: this machine runs 32-bit programs only under an "
              "emulator, so the figures would measure the emulator")
        return
    args.cross_bin = CROSS_BINS[arch]
    stub = args.cross_bin / STUB_NAMES[arch]
    for program in (stub, args.cross_bin / "bench-win32-copy.exe"):
        if not program.exists():
            fail("%s is missing: build first (scripts/build.sh host %s)"
                 % (program, "win64" if arch == "x64" else "win32"))
    work = args.work / arch
    source, _, self_extractor = extract_bench.ensure_inputs(args.corpus, args.bin, work, stub=stub)
    files = [source / name for name in extract_bench.corpus_names(args.corpus)]
    args.work_arch = work
    tmp_link(args, work)
    output_bytes = sum(path.stat().st_size for path in files)

    with winebench.session(arch):
        print("\nwine_extract_bench: %s stub, checking that it and arcula-headless unpack the corpus" % arch,
              flush=True)
        check(args, self_extractor, files, source)
        print("wine_extract_bench: %d timed runs of each program" % args.runs, flush=True)
        measures = measure(args, self_extractor, files)
    print_table(arch, measures, output_bytes, self_extractor, args.runs)


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
    for arch in (("x64", "x86") if args.arch == "both" else (args.arch,)):
        bench_arch(args, arch)


if __name__ == "__main__":
    sys.exit(main())
