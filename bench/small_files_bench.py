#!/usr/bin/env python3
"""Many small files: arcula-headless against bsdtar, unzip and 7-Zip on
payloads of thousands of small files, and the stub under Wine against a
plain Win32 copy of the same tree.

    bench/small_files_bench.py [--bin DIR] [--work DIR] [--runs N] [--tmp DIR]
                               [--real N] [--wine] [--arch x64|x86|both]

    --bin DIR     where arcula-headless, arcula-mksfx, arcula-sfx.exe and
                  bench-measure-run are (default: build/bin)
    --work DIR    where the payloads, their ZIPs and self-extractors are kept
                  (default: build/bench-small); made once, never committed
    --runs N      timed runs of each program (default: 3); the median counts
    --tmp DIR     where every run unpacks into a fresh folder (default:
                  /dev/shm)
    --real N      also time the N largest jars and wheels found on this
                  machine (default: 8; 0 leaves them out)
    --wine        also time the stubs under Wine against the copy floor
                  (bench-win32-copy.exe /tree), for the two payloads
    --arch        which stubs --wine times (default: x64; x86 only where the
                  machine runs 32-bit programs natively, see winebench.py)
    --stub FILE   with --wine and one --arch: this stub instead of the cross
                  build's (an older one, to compare)

The two payloads, made by this script into --work:

    flat   10,000 files of a few bytes in 20 folders of 500
    deep   20,000 files of 100 to 400 bytes in 2,000 folders 6 levels deep

Each is zipped with Info-ZIP `zip -6 -r` and made into a self-extractor with
arcula-mksfx. A real-world ZIP is taken as it is; one arcula-mksfx refuses
is left out with its reason. A first, untimed run of arcula-headless (and,
with --wine, of the stub) must unpack the payload's exact tree, byte for
byte; a real ZIP's tree must match unzip's. The timed runs go round the
programs in turn, each into a fresh folder, through bench-measure-run.

Printed for each ZIP: median wall and CPU time of each program and the
ratios of ours to each peer; then the real ZIPs as a list sorted by the wall
ratio to bsdtar. With --wine, for each stub: the stub under Wine, the copy
floor under Wine (the wineserver's CPU added to both) and their ratios.
"""

import argparse
import filecmp
import os
import platform
import shutil
import statistics
import subprocess
import sys
import zipfile
from pathlib import Path

import extract_bench

TOP = Path(__file__).resolve().parent.parent
OURS = extract_bench.OURS
PEERS = extract_bench.PEERS
PROGRAMS = extract_bench.PROGRAMS
STUB_NAMES = {"x64": "arcula-sfx64.exe", "x86": "arcula-sfx.exe"}
REAL_PLACES = ("/usr/share/java", "/usr/share/python-wheels", "/usr/lib/python3/dist-packages",
               "/root/.pyenv", "/usr/local/lib", "/opt")
REAL_MIN_ENTRIES = 50


def fail(message):
    print("small_files_bench: " + message, file=sys.stderr)
    sys.exit(1)


# --- payloads -------------------------------------------------------------------

def flat_files():
    """10,000 files of a few bytes in 20 folders."""
    for index in range(10000):
        yield "d%02d/f%04d.txt" % (index // 500, index), b"%d\n" % index


def deep_files():
    """20,000 files in 2,000 leaf folders 6 levels deep (fan-outs 2, 2, 5, 5, 5, 4)."""
    fanouts = (2, 2, 5, 5, 5, 4)
    for leaf in range(2000):
        parts, rest = [], leaf
        for level, fanout in reversed(list(enumerate(fanouts))):
            parts.append("%s%d" % ("abcdef"[level], rest % fanout))
            rest //= fanout
        folder = "/".join(reversed(parts))
        for index in range(10):
            number = leaf * 10 + index
            text = ("line %d of a small file\n" % number) * (4 + number % 13)
            yield "%s/file%d.txt" % (folder, index), text.encode()


PAYLOADS = {"flat": flat_files, "deep": deep_files}
PAYLOAD_TEXT = {"flat": "10,000 files of a few bytes in 20 folders",
                "deep": "20,000 small files in 2,000 folders, 6 levels deep"}


class Archive:
    """One ZIP under test: its self-extractor, and the tree it must unpack."""

    def __init__(self, name, text, archive, source=None):
        self.name, self.text, self.archive, self.source = name, text, archive, source
        self.self_extractor = archive.with_suffix(".exe")
        self.stubs = {}  # arch -> self-extractor made with that stub


def make_payload(work, name):
    """work/name/payload/ and its ZIP, made once."""
    folder = work / name
    source, archive, done = folder / "payload", folder / "payload.zip", folder / "DONE"
    if not done.exists():
        shutil.rmtree(folder, ignore_errors=True)
        for relative, data in PAYLOADS[name]():
            path = source / relative
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
        subprocess.run(["zip", "-q", "-6", "-r", str(archive), "payload"], cwd=folder, check=True)
        done.write_text("made\n")
    return Archive(name, PAYLOAD_TEXT[name], archive, source)


def real_archives(work, count):
    """The `count` largest jars and wheels of this machine with at least
    REAL_MIN_ENTRIES entries, copied into work/real."""
    found = {}
    for place in REAL_PLACES:
        for parent, _, files in os.walk(place):
            for name in files:
                if name.endswith((".jar", ".whl")) and not os.path.islink(os.path.join(parent, name)):
                    path = os.path.join(parent, name)
                    found.setdefault(name, path)  # one copy of each name
    sized = sorted(found.values(), key=lambda path: (-os.path.getsize(path), path))
    chosen = []
    for path in sized:
        try:
            with zipfile.ZipFile(path) as opened:
                if len(opened.infolist()) < REAL_MIN_ENTRIES:
                    continue
        except zipfile.BadZipFile:
            continue
        chosen.append(path)
        if len(chosen) == count:
            break
    folder = work / "real"
    folder.mkdir(parents=True, exist_ok=True)
    archives = []
    for path in chosen:
        copy = folder / (Path(path).name + ".zip")
        if not copy.exists():
            shutil.copyfile(path, copy)
        archives.append(Archive(Path(path).name, path, copy))
    return archives


def make_self_extractor(bin_dir, stub, archive, self_extractor):
    """arcula-mksfx with `stub`: None when it refuses the ZIP (its reason printed)."""
    if self_extractor.exists() and self_extractor.stat().st_mtime >= stub.stat().st_mtime:
        return self_extractor
    self_extractor.unlink(missing_ok=True)
    made = subprocess.run([str(bin_dir / "arcula-mksfx"), "--stub", str(stub), str(archive), str(self_extractor)],
                          capture_output=True, text=True)
    if made.returncode != 0:
        reason = (made.stderr.strip().splitlines() or ["exit %d" % made.returncode])[0]
        print("small_files_bench: %s left out: %s" % (archive.name, reason))
        return None
    return self_extractor


# --- host runs --------------------------------------------------------------------

def command(bin_dir, program, item, out_dir):
    return extract_bench.command(bin_dir, program, item.archive, item.self_extractor, out_dir)


def same_tree(first, second):
    """None when both folders hold the same names and bytes, else what differs."""
    names = extract_bench.tree(first)
    if names != extract_bench.tree(second):
        return "names differ: %s" % sorted(names ^ extract_bench.tree(second))[:5]
    for name in sorted(names):
        if not name.endswith("/") and not filecmp.cmp(first / name, second / name, shallow=False):
            return "%s differs" % name
    return None


def unpacked_by(bin_dir, program, item, tmp):
    """A fresh folder with what `program` unpacked, or fails."""
    out_dir = extract_bench.fresh_folder(tmp)
    log = tmp / (out_dir.name + ".log")
    _, _, _, code = extract_bench.run_once(bin_dir, command(bin_dir, program, item, out_dir), log)
    if code != 0:
        shutil.rmtree(out_dir, ignore_errors=True)
        fail("%s exited with %d on %s:\n%s" % (program, code, item.name, log.read_text(errors="replace")))
    log.unlink()
    return out_dir


def check_host(bin_dir, item, tmp):
    """Ours unpacks the payload's tree (a real ZIP: unzip's tree). False,
    with the reason printed, when it does not."""
    ours = unpacked_by(bin_dir, OURS, item, tmp)
    reference = None if item.source is not None else unpacked_by(bin_dir, "unzip", item, tmp)
    try:
        if item.source is not None:
            differs = same_tree(ours / "payload", item.source)
        else:
            differs = same_tree(ours, reference)
    finally:
        shutil.rmtree(ours, ignore_errors=True)
        if reference is not None:
            shutil.rmtree(reference, ignore_errors=True)
    if differs is not None:
        print("small_files_bench: %s left out: ours and %s differ: %s"
              % (item.name, "the payload" if item.source is not None else "unzip", differs))
    return differs is None


def measure_host(bin_dir, item, tmp, runs):
    measures = {program: extract_bench.Measures() for program in PROGRAMS}
    log = tmp / ("small-files-bench-%d.log" % os.getpid())
    for round_index in range(runs):
        shift = round_index % len(PROGRAMS)
        for program in PROGRAMS[shift:] + PROGRAMS[:shift]:
            out_dir = extract_bench.fresh_folder(tmp)
            try:
                wall, cpu, rss, code = extract_bench.run_once(bin_dir, command(bin_dir, program, item, out_dir), log)
                if code != 0:
                    fail("%s exited with %d in a timed run on %s" % (program, code, item.name))
            finally:
                shutil.rmtree(out_dir, ignore_errors=True)
            measures[program].wall.append(wall)
            measures[program].cpu.append(cpu)
            measures[program].rss_kib.append(rss)
    log.unlink(missing_ok=True)
    return measures


def print_host(item, measures, runs):
    print()
    print("%s: %s; median of %d runs" % (item.name, item.text, runs))
    print("  %-16s %9s %9s" % ("program", "wall s", "CPU s"))
    for program in PROGRAMS:
        m = measures[program]
        print("  %-16s %9.3f %9.3f" % (program, m.median_wall(), statistics.median(m.cpu)))
    print("  %-16s %9s %9s" % ("ours / peer", "wall", "CPU"))
    for peer in PEERS:
        print("  %-16s %9.2f %9.2f" % (peer, wall_ratio(measures, peer), cpu_ratio(measures, peer)))


def wall_ratio(measures, peer):
    return measures[OURS].median_wall() / measures[peer].median_wall()


def cpu_ratio(measures, peer):
    return statistics.median(measures[OURS].cpu) / max(statistics.median(measures[peer].cpu), 1e-6)


def print_real_list(results):
    print()
    print("real-world ZIPs, sorted by ours / bsdtar (wall)")
    print("  %-48s %7s %9s %9s %9s %9s" % ("archive", "entries", "ours s", "bsdtar s", "wall", "CPU"))
    for item, measures in sorted(results, key=lambda pair: wall_ratio(pair[1], "bsdtar")):
        with zipfile.ZipFile(item.archive) as opened:
            entries = len(opened.infolist())
        print("  %-48s %7d %9.3f %9.3f %9.2f %9.2f" % (item.name[:48], entries, measures[OURS].median_wall(),
                                                        measures["bsdtar"].median_wall(),
                                                        wall_ratio(measures, "bsdtar"), cpu_ratio(measures, "bsdtar")))


# --- Wine runs --------------------------------------------------------------------

def bench_wine(args, items, arch):
    import winebench  # only with --wine: it needs the Wine scripts

    reason = winebench.left_out(arch)
    if reason is not None:
        print("\nsmall_files_bench: %s stub left out: %s" % (arch, reason))
        return
    cross_bin = winebench.cross_bin(arch)
    stub, copy = args.stub or cross_bin / STUB_NAMES[arch], cross_bin / "bench-win32-copy.exe"
    for program in (stub, copy):
        if not program.exists():
            fail("%s is missing: build first (scripts/build.sh host %s)" % (program, winebench.CROSS_BUILDS[arch]))
    # Wine sees --tmp through a link in the work folder, as wine_extract_bench does.
    seen = args.work / ("tmp-" + arch)
    if seen.is_symlink() or seen.exists():
        seen.unlink()
    seen.symlink_to(args.tmp, target_is_directory=True)

    def commands(item, out_dir):
        inside = winebench.windows_path(seen / out_dir.name)
        return {
            "stub under Wine": [winebench.wine(), str(item.stubs[arch]), "/auto", inside],
            "copy under Wine": [winebench.wine(), str(copy), "/tree", inside + "\\payload",
                                winebench.windows_path(item.source)],
        }

    with winebench.session(arch):
        for item in items:
            made = item.archive.with_name("payload-%s.exe" % arch)
            made.unlink(missing_ok=True)  # the stub may be another than last time
            item.stubs[arch] = make_self_extractor(args.bin, stub, item.archive, made)
            names = list(commands(item, args.tmp))
            log = args.tmp / ("small-files-wine-%d.log" % os.getpid())
            for name in names:  # untimed: each must write the payload's tree
                out_dir = extract_bench.fresh_folder(args.tmp)
                try:
                    _, _, _, code = extract_bench.run_once(args.bin, commands(item, out_dir)[name], log, timeout=1800)
                    differs = "exit %d" % code if code != 0 else same_tree(out_dir / "payload", item.source)
                    if differs is not None:
                        fail("%s on %s: %s" % (name, item.name, differs))
                finally:
                    shutil.rmtree(out_dir, ignore_errors=True)
            figures = {name: ([], [], []) for name in names}
            for round_index in range(args.runs):
                for name in names[round_index % 2:] + names[:round_index % 2]:
                    out_dir = extract_bench.fresh_folder(args.tmp)
                    before = winebench.server_cpu_seconds()
                    try:
                        wall, cpu, _, code = extract_bench.run_once(args.bin, commands(item, out_dir)[name], log,
                                                                    timeout=1800)
                    finally:
                        shutil.rmtree(out_dir, ignore_errors=True)
                    after = winebench.server_cpu_seconds()
                    if code != 0:
                        fail("%s exited with %d in a timed run" % (name, code))
                    figures[name][0].append(wall)
                    figures[name][1].append(cpu)
                    figures[name][2].append(after - before if None not in (before, after) else 0.0)
            log.unlink(missing_ok=True)
            print()
            print("%s stub under Wine, %s: %s; median of %d runs" % (arch, item.name, item.text, args.runs))
            print("  %-18s %9s %9s %13s" % ("program", "wall s", "CPU s", "server CPU s"))
            medians = {}
            for name in names:
                walls, cpus, servers = figures[name]
                medians[name] = (statistics.median(walls), statistics.median(cpus) + statistics.median(servers))
                print("  %-18s %9.3f %9.3f %13.3f" % (name, statistics.median(walls), statistics.median(cpus),
                                                      statistics.median(servers)))
            print("  stub / copy floor: wall %.2f, CPU with the server's %.2f"
                  % (medians[names[0]][0] / medians[names[1]][0], medians[names[0]][1] / medians[names[1]][1]))


# --- main -------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description="Many small files: arcula-headless against its peers")
    parser.add_argument("--bin", type=Path, default=TOP / "build" / "bin")
    parser.add_argument("--work", type=Path, default=TOP / "build" / "bench-small")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--tmp", type=Path, default=Path("/dev/shm"))
    parser.add_argument("--real", type=int, default=8)
    parser.add_argument("--only", choices=tuple(PAYLOADS), help="one payload, no real ZIPs")
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--arch", choices=("x86", "x64", "both"), default="x64")
    parser.add_argument("--stub", type=Path)
    args = parser.parse_args()
    if args.stub is not None and args.arch == "both":
        fail("--stub goes with one --arch")
    if args.stub is not None:
        args.stub = args.stub.resolve()
    for name in ("bin", "work", "tmp"):
        setattr(args, name, getattr(args, name).resolve())

    for program in ("zip",) + PEERS:
        if shutil.which(program) is None:
            fail("%s is not installed (scripts/install-deps.sh installs it)" % program)
    for program in (OURS, "arcula-mksfx", "arcula-sfx.exe", extract_bench.MEASURE):
        if not (args.bin / program).exists():
            fail("%s is not in %s: build first (scripts/build.sh)" % (program, args.bin))

    print("small_files_bench: %s, %d CPUs; %s" % (platform.processor() or platform.machine(), os.cpu_count(),
                                                 extract_bench.versions()), flush=True)
    payloads = [make_payload(args.work, name) for name in ((args.only,) if args.only else PAYLOADS)]
    real = [] if args.only else real_archives(args.work, args.real)
    host_stub = args.bin / "arcula-sfx.exe"
    real_results = []
    for item in payloads + real:
        if make_self_extractor(args.bin, host_stub, item.archive, item.self_extractor) is None:
            continue
        if not check_host(args.bin, item, args.tmp):
            continue
        measures = measure_host(args.bin, item, args.tmp, args.runs)
        print_host(item, measures, args.runs)
        if item.source is None:
            real_results.append((item, measures))
        sys.stdout.flush()
    if real_results:
        print_real_list(real_results)
    if args.wine:
        import winebench
        for arch in winebench.arches(args.arch):
            bench_wine(args, payloads, arch)


if __name__ == "__main__":
    main()
