#!/usr/bin/env python3
"""The decoder on its own target: arcula-inflate.exe (the inflate tool made by
the cross build from the stub's objects and flags) against zlib built for
the same processor (bench-zlib-inflate.exe, MinGW's zlib), both under the
Wine of that processor.

    bench/wine_inflate_bench.py [--arch x86|x64|both] [--cross-bin DIR] [--corpus DIR]
                                [--runs N] [--tmp DIR] [--streams NAME,...]

    --arch           the processors (default: both): x64, under 64-bit Wine,
                     with the programs of build/win64/bin; x86, under 32-bit
                     Wine, with those of build/win32/bin. Where 32-bit
                     programs run only under an emulator, the x86 figures
                     would measure the emulator: they are left out, with a
                     line saying so.
    --cross-bin DIR  where arcula-inflate.exe and bench-zlib-inflate.exe are
                     (default: the cross build of --arch; only with one
                     processor)
    --corpus DIR     the benchmark corpus (default: build/bench-corpus); built
                     by bench/make_corpus.py first when it is missing
    --runs N         timed runs of each program on each stream (default: 7);
                     the median counts
    --tmp DIR        where the programs write their output (default: /dev/shm)
    --streams LIST   the streams to decode (default: the level-6 streams of
                     the six corpus files that compress: headers.tar,
                     docs.txt, data.xml, data.json, binaries.bin, log.txt)

Both programs take IN OUT, read the raw DEFLATE stream, decode it, take the
CRC-32 of the output, write it and print the CRC (zlib's side with 64 KiB
buffers). A first, untimed run checks that both print the corpus file's
CRC-32, exit with 0 and write its size. The timed runs go round the two
programs and their start-up runs (each with no arguments, so that it only
prints its usage) in turn, under one persistent wineserver. The start-up
runs measure what Wine costs a launch of each program, so that the decoding
alone can be compared.

Printed: for each stream MB/s of output of each program, from the median
wall time, and the time ratio of ours to zlib's; then the sums of the
median times, their ratio, and the ratio with each program's median
start-up time taken off its side (the decoding alone). Figures to read,
never a pass/fail test.
"""

import argparse
import os
import shutil
import statistics
import sys
from pathlib import Path

import inflate_bench
import winebench

TOP = Path(__file__).resolve().parent.parent
OURS = "arcula-inflate.exe"
ZLIB = "bench-zlib-inflate.exe"
OURS_START = "arcula-inflate.exe start-up"
ZLIB_START = "bench-zlib-inflate.exe start-up"
STARTS = {OURS_START: OURS, ZLIB_START: ZLIB}
PROGRAMS = (OURS, ZLIB, OURS_START, ZLIB_START)
DEFAULT_STREAMS = ",".join("%s.l6.deflate" % name for name in
                           ("headers.tar", "docs.txt", "data.xml", "data.json", "binaries.bin", "log.txt"))


def fail(message):
    winebench.fail("wine_inflate_bench", message)


def command(cross_bin, program, stream, out_path):
    if program in STARTS:
        return [winebench.wine(), str(cross_bin / STARTS[program])]
    return [winebench.wine(), str(cross_bin / program), winebench.windows_path(stream.path),
            winebench.windows_path(out_path)]


def run(cross_bin, program, stream, tmp):
    out_path = tmp / "out"
    elapsed, code, printed = inflate_bench.run_timed(command(cross_bin, program, stream, out_path), out_path,
                                                     tmp / "stdout", quiet=program in STARTS)
    size = out_path.stat().st_size if out_path.exists() else -1
    return elapsed, code, printed, size


def check(cross_bin, streams, tmp):
    for stream in streams:
        for program in (OURS, ZLIB):
            _, code, printed, size = run(cross_bin, program, stream, tmp)
            if code != 0 or printed != stream.crc or size != stream.size:
                fail("%s on %s: exit %d, CRC %s, %d bytes; expected exit 0, CRC %s, %d bytes"
                     % (program, stream.name, code, printed or "(none)", size, stream.crc, stream.size))


def measure(cross_bin, streams, tmp, runs):
    for stream in streams:
        stream.times = {program: [] for program in PROGRAMS}
        print("  %-26s" % stream.name, end="", flush=True)
        for index in range(runs):
            shift = index % len(PROGRAMS)
            for program in PROGRAMS[shift:] + PROGRAMS[:shift]:
                elapsed, code, _, _ = run(cross_bin, program, stream, tmp)
                if code != (3 if program in STARTS else 0):
                    fail("%s on %s: exit %d in a timed run" % (program, stream.name, code))
                stream.times[program].append(elapsed)
            print(".", end="", flush=True)
        print()


def print_table(streams):
    speed = inflate_bench.speed
    print("%-26s %8s %10s %10s %11s" % ("stream", "out MB", "arcula MB/s", "zlib MB/s", "arcula/zlib"))
    for stream in streams:
        ours, zlib = stream.median(OURS), stream.median(ZLIB)
        print("%-26s %8.1f %10.1f %10.1f %11.2f" % (stream.name, stream.size / 1e6, speed(stream.size, ours),
                                                    speed(stream.size, zlib), ours / zlib))
    total = sum(s.size for s in streams)
    ours, zlib = (sum(s.median(p) for s in streams) for p in (OURS, ZLIB))
    starts = {name: statistics.median([t for s in streams for t in s.times[name]]) for name in STARTS}
    print("%-26s %8.1f %10.1f %10.1f %11.2f" % ("all (sum of times)", total / 1e6, speed(total, ours),
                                                speed(total, zlib), ours / zlib))
    print()
    print("total time: arcula %.3f s, zlib %.3f s" % (ours, zlib))
    print("start-up under Wine, a run: arcula %.3f s, zlib %.3f s" % (starts[OURS_START], starts[ZLIB_START]))
    net_ours = ours - starts[OURS_START] * len(streams)
    net_zlib = zlib - starts[ZLIB_START] * len(streams)
    print("without start-up: arcula %.3f s, zlib %.3f s, arcula/zlib %.2f" % (net_ours, net_zlib, net_ours / net_zlib))


def select_streams(args):
    inflate_bench.ensure_corpus(args.corpus)
    every = {s.name: s for s in inflate_bench.read_streams(args.corpus, "")}
    for name in args.streams.split(","):
        if name not in every:
            fail("no stream named %s in the corpus" % name)
    return [every[name] for name in args.streams.split(",")]


def bench_arch(args, arch):
    """Checks and times one processor's programs, or says why this machine
    gives no figures for them."""
    reason = winebench.left_out(arch)
    if reason is not None:
        print("wine_inflate_bench: %s left out: %s" % (arch, reason))
        return
    cross_bin = args.cross_bin or winebench.cross_bin(arch)
    for program in (OURS, ZLIB):
        if not (cross_bin / program).exists():
            fail("%s is not in %s: build first (scripts/build.sh %s; zlib's needs libz-mingw-w64-dev)"
                 % (program, cross_bin, winebench.CROSS_BUILDS[arch]))
    streams = select_streams(args)
    tmp = args.tmp / ("wine-inflate-bench-%d" % os.getpid())
    tmp.mkdir(parents=True)
    try:
        with winebench.session(arch):
            print("DEFLATE decoding under Wine, %s, %s, %d runs each, median wall time"
                  % (arch, inflate_bench.cpu_name(), args.runs))
            check(cross_bin, streams, tmp)
            print("Outputs checked: both programs agree with the corpus on every stream.")
            measure(cross_bin, streams, tmp, args.runs)
        print()
        print_table(streams)
        print()
    finally:
        shutil.rmtree(tmp)


def main():
    parser = argparse.ArgumentParser(description="arcula-inflate.exe against zlib for Windows, under Wine")
    parser.add_argument("--arch", choices=("x86", "x64", "both"), default="both")
    parser.add_argument("--cross-bin", type=Path)
    parser.add_argument("--corpus", type=Path, default=TOP / "build" / "bench-corpus")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--tmp", type=Path, default=Path("/dev/shm"))
    parser.add_argument("--streams", default=DEFAULT_STREAMS)
    args = parser.parse_args()
    if args.cross_bin is not None and args.arch == "both":
        parser.error("--cross-bin holds the programs of one processor: give --arch x86 or x64 with it")
    for name in ("cross_bin", "corpus", "tmp"):
        if getattr(args, name) is not None:
            setattr(args, name, getattr(args, name).resolve())

    for arch in winebench.arches(args.arch):
        bench_arch(args, arch)
    return 0


if __name__ == "__main__":
    sys.exit(main())
