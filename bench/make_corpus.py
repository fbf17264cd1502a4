#!/usr/bin/env python3
"""Builds the DEFLATE benchmark corpus from files found on this machine.

    bench/make_corpus.py [--out DIR] [--force]

DIR defaults to build/bench-corpus/ beside the repository's top folder. The
corpus is large and machine-specific, so it is never committed.

Each corpus file mixes many real files of one kind, picked from sorted file
lists by a fixed rule and cut to a fixed size, so the same machine always
gives the same corpus (the MANIFEST records sizes and checksums to show it):

    headers.tar     C and C++ headers from /usr/include, as a tar archive
    docs.txt        English documentation: /usr/share/doc, man pages unpacked
    data.xml        real XML files (topped up with the package database as XML)
    data.json       real JSON files (topped up with the package database as JSON)
    binaries.bin    x86-64 ELF executables and shared libraries
    compressed.bin  already-compressed files (.gz .xz .bz2 .zst .png .jpg) as they are
    random.bin      bytes from a seeded hash stream: nothing to find
    log.txt         a long, repetitive service log, generated from a fixed seed

Every corpus file is then deflated raw (no zlib or gzip wrapper) at zlib
levels 6 and 9 into NAME.l6.deflate and NAME.l9.deflate. MANIFEST lists each
corpus file with its size, CRC-32 and SHA-256, and is written last: a corpus
folder without it is incomplete and gets rebuilt.
"""

import argparse
import gzip
import hashlib
import io
import os
import random
import sys
import tarfile
import zlib
from pathlib import Path

MIB = 1024 * 1024
LEVELS = (6, 9)
MANIFEST = "MANIFEST"


# --- picking files -----------------------------------------------------------

def list_files(roots, accept):
    """Regular files (no symlinks) under roots for which accept(path) holds, sorted."""
    found = []
    for root in roots:
        for folder, subfolders, names in os.walk(root):
            subfolders.sort()
            for name in names:
                path = os.path.join(folder, name)
                if os.path.islink(path) or not os.path.isfile(path):
                    continue
                if accept(path):
                    found.append(path)
    return sorted(set(found), key=os.fsencode)


def spread_pick(paths, sizes, target):
    """Picks files spread evenly over the sorted list until their sizes cover target.

    Each file adds its share of the target to a credit; a file is taken once
    the credit pays for it. The picks are then spread over the whole list,
    not bunched at its start. A second pass in list order fills any shortfall.
    """
    total = sum(sizes)
    if total <= target:
        return list(paths)
    share = min(1.0, target * 1.05 / total)
    credit = 0.0
    picked = []
    taken = set()
    for index, size in enumerate(sizes):
        credit += size * share
        if size > 0 and credit >= size:
            credit -= size
            picked.append(index)
            taken.add(index)
    picked_size = sum(sizes[i] for i in picked)
    for index, size in enumerate(sizes):
        if picked_size >= target:
            break
        if index not in taken and size > 0:
            picked.append(index)
            picked_size += size
    picked.sort()
    return [paths[i] for i in picked]


def unpacked_size(path):
    """Size of the content: a .gz file's own trailer tells its unpacked size."""
    if path.endswith(".gz"):
        try:
            with open(path, "rb") as f:
                f.seek(-4, os.SEEK_END)
                return int.from_bytes(f.read(4), "little")
        except OSError:
            return 0
    return os.path.getsize(path)


def read_content(path, limit):
    """The file's bytes (.gz files unpacked), at most limit of them; None if unreadable."""
    try:
        if path.endswith(".gz"):
            with gzip.open(path, "rb") as f:
                return f.read(limit)
        with open(path, "rb") as f:
            return f.read(limit)
    except (OSError, EOFError, zlib.error):
        return None


def looks_like_text(data):
    if not data or b"\0" in data:
        return False
    try:
        data.decode("utf-8")
    except UnicodeDecodeError:
        return False
    return True


def starts_with(magic):
    def accept(path):
        try:
            with open(path, "rb") as f:
                return f.read(len(magic)) == magic
        except OSError:
            return False
    return accept


def has_suffix(*suffixes):
    return lambda path: path.endswith(suffixes)


def gather(paths, target, per_file_cap, keep=lambda data: True, separator=None):
    """Concatenates picked files (each cut to per_file_cap) and cuts the result to target."""
    sizes = [min(unpacked_size(p), per_file_cap) for p in paths]
    out = bytearray()
    for path in spread_pick(paths, sizes, target):
        data = read_content(path, per_file_cap)
        if data is None or not keep(data):
            continue
        if separator:
            out += separator(path)
        out += data
        if len(out) >= target:
            break
    return bytes(out[:target])


# --- the corpus files --------------------------------------------------------

def make_headers(target):
    paths = list_files(["/usr/include"], lambda p: True)
    sizes = [min(os.path.getsize(p), 256 * 1024) for p in paths]
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w", format=tarfile.GNU_FORMAT) as tar:
        for path in spread_pick(paths, sizes, target):
            data = read_content(path, 256 * 1024)
            if data is None:
                continue
            info = tarfile.TarInfo(path.lstrip("/"))
            info.size = len(data)
            info.mode = 0o644
            info.mtime = 0
            tar.addfile(info, io.BytesIO(data))
            if buffer.tell() >= target:
                break
    return buffer.getvalue()[:target]


def make_docs(target):
    docs = list_files(["/usr/share/doc"], lambda p: not p.endswith((".png", ".gif", ".jpg", ".svg", ".pdf")))
    man = list_files(["/usr/share/man/man%d" % n for n in range(1, 10)], has_suffix(".gz"))
    half = target // 2
    header = lambda path: ("\n==> %s <==\n" % path).encode()
    text = gather(docs, half, 512 * 1024, looks_like_text, header)
    text += gather(man, target - len(text), 512 * 1024, looks_like_text, header)
    return text


def package_records():
    """The package database (dpkg status) as a list of field dictionaries."""
    records, record, last = [], {}, None
    try:
        lines = Path("/var/lib/dpkg/status").read_text(encoding="utf-8", errors="replace").splitlines()
    except OSError:
        return records
    for line in lines + [""]:
        if not line:
            if record:
                records.append(record)
            record, last = {}, None
        elif line[0] in " \t" and last:
            record[last] += "\n" + line.strip()
        elif ":" in line:
            last, value = line.split(":", 1)
            record[last] = value.strip()
    records.sort(key=lambda r: (r.get("Package", ""), r.get("Architecture", "")))
    return records


def packages_as_json():
    import json
    return json.dumps(package_records(), indent=2, sort_keys=True).encode()


def packages_as_xml():
    from xml.sax.saxutils import escape, quoteattr
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', "<packages>"]
    for record in package_records():
        lines.append("  <package name=%s>" % quoteattr(record.get("Package", "")))
        for key in sorted(record):
            tag = "".join(c if c.isalnum() else "-" for c in key).lower()
            lines.append("    <%s>%s</%s>" % (tag, escape(record[key]), tag))
        lines.append("  </package>")
    lines.append("</packages>\n")
    return "\n".join(lines).encode()


def make_structured(target, suffix, top_up):
    paths = list_files(["/usr/share", "/usr/lib", "/etc"], has_suffix(suffix))
    data = gather(paths, target, MIB, looks_like_text)
    extra = top_up()
    while len(data) < target and extra:
        data += extra[: target - len(data)]
    return data


def make_binaries(target):
    paths = list_files(["/usr/bin", "/usr/lib/x86_64-linux-gnu"], starts_with(b"\x7fELF"))
    return gather(paths, target, MIB)


def make_compressed(target):
    suffixes = (".gz", ".xz", ".bz2", ".zst", ".png", ".jpg")
    paths = list_files(["/usr/share"], has_suffix(*suffixes))
    sizes = [min(os.path.getsize(p), MIB) for p in paths]
    out = bytearray()
    for path in spread_pick(paths, sizes, target):
        with open(path, "rb") as f:  # as stored: not unpacked
            out += f.read(MIB)
        if len(out) >= target:
            break
    return bytes(out[:target])


def make_random(target):
    return hashlib.shake_256(b"arcula deflate benchmark").digest(target)


def make_log(target):
    rng = random.Random(1951)
    services = ["api", "auth", "billing", "search", "storage", "mailer"]
    paths = ["/api/v1/items", "/api/v1/items/%d", "/api/v1/users/%d", "/api/v1/orders",
             "/health", "/api/v1/search?q=%s", "/static/app.%s.js", "/login"]
    words = ["alpha", "beta", "gamma", "delta", "omega", "kappa", "sigma", "theta"]
    statuses = [200] * 40 + [201] * 4 + [204] * 3 + [301, 304, 304, 400, 401, 403, 404, 404, 500, 503]
    levels = ["INFO"] * 30 + ["DEBUG"] * 8 + ["WARN"] * 3 + ["ERROR"]
    out = io.StringIO()
    size = 0
    millis = 1_700_000_000_000
    while size < target:
        millis += rng.randint(0, 40)
        seconds, ms = divmod(millis, 1000)
        stamp = "%s.%03dZ" % (_utc(seconds), ms)
        level = rng.choice(levels)
        service = rng.choice(services)
        worker = rng.randint(1, 16)
        path = rng.choice(paths)
        if "%d" in path:
            path = path % rng.randint(1, 50000)
        elif "%s" in path:
            path = path % rng.choice(words)
        if level == "ERROR":
            line = "%s %-5s [%s-%02d] upstream timeout after %d ms, retrying (attempt %d of 3) path=%s\n" % (
                stamp, level, service, worker, rng.randint(1000, 5000), rng.randint(1, 3), path)
        elif level == "DEBUG":
            line = "%s %-5s [%s-%02d] cache %s key=%s:%d ttl=%ds\n" % (
                stamp, level, service, worker, rng.choice(["hit", "hit", "miss"]), rng.choice(words),
                rng.randint(1, 9999), rng.choice([30, 60, 300, 3600]))
        else:
            line = "%s %-5s [%s-%02d] request id=%08x %s %s status=%d bytes=%d duration_ms=%d\n" % (
                stamp, level, service, worker, rng.getrandbits(32), rng.choice(["GET"] * 5 + ["POST", "PUT"]),
                path, rng.choice(statuses), rng.randint(0, 65535), rng.randint(1, 900))
        out.write(line)
        size += len(line)
    return out.getvalue().encode()[:target]


def _utc(seconds):
    import time
    return time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(seconds))


# Name, builder, size. About 150 MB in all.
CORPUS = [
    ("headers.tar", make_headers, 32 * MIB),
    ("docs.txt", make_docs, 28 * MIB),
    ("data.xml", lambda n: make_structured(n, ".xml", packages_as_xml), 8 * MIB),
    ("data.json", lambda n: make_structured(n, ".json", packages_as_json), 8 * MIB),
    ("binaries.bin", make_binaries, 40 * MIB),
    ("compressed.bin", make_compressed, 12 * MIB),
    ("random.bin", make_random, 6 * MIB),
    ("log.txt", make_log, 16 * MIB),
]


# --- streams and manifest ----------------------------------------------------

def deflate_raw(data, level):
    compressor = zlib.compressobj(level, zlib.DEFLATED, -15, 8, zlib.Z_DEFAULT_STRATEGY)
    return compressor.compress(data) + compressor.flush()


def write_file(path, data):
    temporary = path.with_name(path.name + ".part")
    temporary.write_bytes(data)
    temporary.replace(path)


def build(out_dir):
    out_dir.mkdir(parents=True, exist_ok=True)
    manifest_path = out_dir / MANIFEST
    if manifest_path.exists():
        manifest_path.unlink()
    lines = ["# name size crc32 sha256  (zlib %s, raw deflate levels %s)" %
             (zlib.ZLIB_RUNTIME_VERSION, " ".join(map(str, LEVELS)))]
    for name, maker, size in CORPUS:
        data = maker(size)
        if len(data) < size:
            print("make_corpus: %s: only %d of %d bytes found on this machine" % (name, len(data), size),
                  file=sys.stderr)
        write_file(out_dir / name, data)
        for level in LEVELS:
            write_file(out_dir / ("%s.l%d.deflate" % (name, level)), deflate_raw(data, level))
        crc = zlib.crc32(data)
        lines.append("%s %d %08x %s" % (name, len(data), crc, hashlib.sha256(data).hexdigest()))
        print("make_corpus: %-15s %10d bytes  crc %08x" % (name, len(data), crc))
    write_file(manifest_path, ("\n".join(lines) + "\n").encode())


def main():
    top = Path(__file__).resolve().parent.parent
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", type=Path, default=top / "build" / "bench-corpus",
                        help="corpus folder (default: build/bench-corpus)")
    parser.add_argument("--force", action="store_true", help="rebuild even if the corpus is complete")
    args = parser.parse_args()
    if (args.out / MANIFEST).exists() and not args.force:
        print("make_corpus: %s is complete (use --force to rebuild)" % args.out)
        return 0
    build(args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
