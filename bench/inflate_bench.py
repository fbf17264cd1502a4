#!/usr/bin/env python3
"""DEFLATE decoding speed: arcula-inflate against zlib and libdeflate.

    bench/inflate_bench.py [--bin DIR] [--corpus DIR] [--runs N] [--tmp DIR]
                           [--only TEXT] [--callgrind STREAM,... | --callgrind none]

    --bin DIR        where arcula-inflate, bench-zlib-inflate and
                     bench-libdeflate-inflate are (default: build/bin)
    --corpus DIR     the corpus folder (default: build/bench-corpus); built by
                     bench/make_corpus.py first when it is missing or incomplete
    --runs N         timed runs of each program on each stream (default: 7);
                     the median counts
    --tmp DIR        where the programs write their output (default: /dev/shm,
                     a RAM disk, so the disk does not take part)
    --only TEXT      only the streams whose name contains TEXT
    --callgrind S    the streams (names, comma-separated) whose instructions
                     per output byte are counted under valgrind's callgrind
                     (default: data.xml.l6.deflate); "none" skips the count

Every program decodes every stream (each corpus file deflated raw at zlib
levels 6 and 9) into a file under --tmp. A first, untimed run checks that all
three print the same CRC-32, equal to the corpus file's, exit with 0 and write
the right number of bytes; a mismatch ends the benchmark. The timed runs then
go round the three programs in turn, so drift in the machine's load is shared.

Printed: for each stream the output size and MB/s of output (1 MB = 10^6
bytes) of each program, from the median wall time of a run (process start
included), and the ratio of arcula-inflate's time to zlib's and to
libdeflate's (above 1 = slower); the total row uses the sums of the median
times. Then the instruction counts under callgrind, which do not depend on
the machine's load. These are figures to read, never a pass/fail test.

The peers: bench-zlib-inflate decodes the way arcula-inflate does (2048-byte
reads, a 2048-byte output buffer, CRC-32 and a write per buffer);
bench-libdeflate-inflate reads the whole stream and decodes it in one call
into a buffer of the known size, the fastest way there is.
"""

import argparse
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

TOP = Path(__file__).resolve().parent.parent
OURS = "arcula-inflate"
ZLIB = "bench-zlib-inflate"
LIBDEFLATE = "bench-libdeflate-inflate"
PROGRAMS = (OURS, ZLIB, LIBDEFLATE)
SHORT = {OURS: "arcula", ZLIB: "zlib", LIBDEFLATE: "libdeflate"}


class Stream:
    def __init__(self, path, size, crc):
        self.path = path
        self.name = path.name
        self.size = size  # of the decoded output
        self.crc = crc
        self.times = {program: [] for program in PROGRAMS}

    def median(self, program):
        return statistics.median(self.times[program])


def fail(message):
    print("inflate_bench: " + message, file=sys.stderr)
    sys.exit(1)


def ensure_corpus(corpus):
    if not (corpus / "MANIFEST").exists():
        print("inflate_bench: building the corpus in %s" % corpus, flush=True)
        subprocess.run([sys.executable, str(TOP / "bench" / "make_corpus.py"), "--out", str(corpus)], check=True)


def read_streams(corpus, only):
    streams = []
    levels = []
    for line in (corpus / "MANIFEST").read_text().splitlines():
        if line.startswith("#"):
            levels = re.findall(r"levels ([\d ]+)", line)[0].split()
            continue
        name, size, crc, _ = line.split()
        for level in levels:
            path = corpus / ("%s.l%s.deflate" % (name, level))
            if only in path.name:
                streams.append(Stream(path, int(size), crc))
    return streams


def command(bin_dir, program, stream, out_path):
    argv = [str(bin_dir / program), str(stream.path), str(out_path)]
    if program == LIBDEFLATE:
        argv.append(str(stream.size))
    return argv


def run_timed(argv, out_path, stdout_path, quiet=False):
    """Runs argv with stdout to a file (and stderr to nowhere when quiet);
    returns (wall seconds, exit status, printed text)."""
    for path in (out_path, stdout_path):
        if path.exists():
            path.unlink()
    actions = [(os.POSIX_SPAWN_OPEN, 1, str(stdout_path), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)]
    if quiet:
        actions.append((os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0))
    start = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=actions)
    _, status, _ = os.wait4(pid, 0)
    elapsed = time.perf_counter() - start
    return elapsed, os.waitstatus_to_exitcode(status), stdout_path.read_text().strip()


def check(bin_dir, streams, tmp):
    for stream in streams:
        for program in PROGRAMS:
            out_path = tmp / ("%s.out" % program)
            _, code, printed = run_timed(command(bin_dir, program, stream, out_path), out_path, tmp / "stdout")
            size = out_path.stat().st_size if out_path.exists() else -1
            if code != 0 or printed != stream.crc or size != stream.size:
                fail("%s on %s: exit %d, CRC %s, %d bytes; expected exit 0, CRC %s, %d bytes"
                     % (program, stream.name, code, printed or "(none)", size, stream.crc, stream.size))
            out_path.unlink()


def measure(bin_dir, streams, tmp, runs):
    for stream in streams:
        print("  %-26s" % stream.name, end="", flush=True)
        for run in range(runs):
            order = PROGRAMS[run % 3:] + PROGRAMS[:run % 3]
            for program in order:
                out_path = tmp / ("%s.out" % program)
                elapsed, code, _ = run_timed(command(bin_dir, program, stream, out_path), out_path, tmp / "stdout")
                if code != 0:
                    fail("%s on %s: exit %d in a timed run" % (program, stream.name, code))
                stream.times[program].append(elapsed)
            print(".", end="", flush=True)
        print()
    for program in PROGRAMS:
        path = tmp / ("%s.out" % program)
        if path.exists():
            path.unlink()


def speed(size, seconds):
    return size / seconds / 1e6


def print_table(streams):
    header = "%-26s %8s %9s %9s %11s %10s %12s" % (
        "stream", "out MB", "arcula", "zlib", "libdeflate", "arcula/zlib", "arcula/libdefl")
    print(header)
    print("%-26s %8s %9s %9s %11s %10s %12s" % ("", "", "MB/s", "MB/s", "MB/s", "time", "time"))
    print("-" * len(header))
    for stream in streams:
        ours, zlib, libdeflate = (stream.median(p) for p in PROGRAMS)
        print("%-26s %8.1f %9.1f %9.1f %11.1f %10.2f %12.2f" % (
            stream.name, stream.size / 1e6, speed(stream.size, ours), speed(stream.size, zlib),
            speed(stream.size, libdeflate), ours / zlib, ours / libdeflate))
    print("-" * len(header))
    total_size = sum(s.size for s in streams)
    ours, zlib, libdeflate = (sum(s.median(p) for s in streams) for p in PROGRAMS)
    print("%-26s %8.1f %9.1f %9.1f %11.1f %10.2f %12.2f" % (
        "all (sum of times)", total_size / 1e6, speed(total_size, ours), speed(total_size, zlib),
        speed(total_size, libdeflate), ours / zlib, ours / libdeflate))
    print("%-26s %8s %8.2fs %8.2fs %10.2fs" % ("  total time", "", ours, zlib, libdeflate))


def count_instructions(bin_dir, stream, tmp):
    """Instructions each program executes on stream under callgrind (whole process)."""
    counts = {}
    for program in PROGRAMS:
        out_path = tmp / ("%s.out" % program)
        result = subprocess.run(
            ["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"]
            + command(bin_dir, program, stream, out_path),
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        if out_path.exists():
            out_path.unlink()
        found = re.search(r"Collected\s*:\s*(\d+)", result.stderr)
        if result.returncode != 0 or not found or result.stdout.strip() != stream.crc:
            fail("callgrind run of %s on %s failed:\n%s" % (program, stream.name, result.stderr[-2000:]))
        counts[program] = int(found.group(1))
    return counts


def print_instructions(stream, counts):
    print("Instructions under callgrind on %s (%.1f MB out; whole process):" % (stream.name, stream.size / 1e6))
    for program in PROGRAMS:
        print("  %-11s %14d  %6.2f per output byte" % (SHORT[program], counts[program], counts[program] / stream.size))
    print("  arcula/zlib %.2f   arcula/libdeflate %.2f" % (
        counts[OURS] / counts[ZLIB], counts[OURS] / counts[LIBDEFLATE]))


def cpu_name():
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown CPU"


def main():
    parser = argparse.ArgumentParser(description="DEFLATE decoding speed: arcula-inflate against zlib and libdeflate")
    parser.add_argument("--bin", type=Path, default=TOP / "build" / "bin")
    parser.add_argument("--corpus", type=Path, default=TOP / "build" / "bench-corpus")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--tmp", type=Path, default=Path("/dev/shm"))
    parser.add_argument("--only", default="")
    parser.add_argument("--callgrind", default="data.xml.l6.deflate")
    args = parser.parse_args()

    bin_dir = args.bin.resolve()
    for program in PROGRAMS:
        if not os.access(bin_dir / program, os.X_OK):
            fail("%s not found in %s (build the host side first, or pass --bin)" % (program, bin_dir))
    ensure_corpus(args.corpus)
    streams = read_streams(args.corpus.resolve(), args.only)
    if not streams:
        fail("no stream matches --only %r" % args.only)
    tmp = args.tmp / ("arcula-bench-%d" % os.getpid())
    tmp.mkdir(parents=True)
    try:
        print("DEFLATE decoding, %s, %d runs each, median wall time, output to %s" % (cpu_name(), args.runs, args.tmp))
        check(bin_dir, streams, tmp)
        print("Outputs checked: the three programs agree with the corpus on every stream.")
        measure(bin_dir, streams, tmp, args.runs)
        print()
        print_table(streams)
        if args.callgrind != "none":
            every = {s.name: s for s in read_streams(args.corpus.resolve(), "")}
            for name in args.callgrind.split(","):
                if name not in every:
                    fail("no stream named %s for callgrind" % name)
                print()
                print_instructions(every[name], count_instructions(bin_dir, every[name], tmp))
    finally:
        shutil.rmtree(tmp)
    return 0


if __name__ == "__main__":
    sys.exit(main())
