#!/usr/bin/env python3
"""Spanned sets made by arcula-mksfx --span, extracted by arcula-headless
with the disks swapped at its prompts.

Run as: python3 test_spanned.py --bin DIR [--stub FILE]
DIR holds arcula-mksfx and arcula-headless; the stub is found as
test_mksfx.py finds it.

The disk size of each set is chosen so that a volume ends at a given place
of the archive (inside a signature, a local header, a name, entry data at a
refill boundary and 100 bytes into a refill): the archive's records lie at
the same places whatever the size, so one probe build tells where they are.
"""
import os
import random
import shutil
import struct
import subprocess
import tempfile
import unittest

import toollib

BIN = None
STUB = None
PASSWORD = "pw"
REFILL = 65536  # the self-extractor reads entry data in blocks of this size


def run(program, *args):
    return subprocess.run([os.path.join(BIN, program), *map(str, args)], capture_output=True, text=True,
                          errors="replace", timeout=120)


def make_tree(root):
    """A large incompressible file first, then small ones with longer names."""
    rng = random.Random(5)
    files = {"big.bin": rng.randbytes(3 * REFILL + 20000)}
    for i in range(6):
        files["folder %d/file with a longer name %d.txt" % (i % 2, i)] = ("text %d\n" % i).encode() * (50 + 40 * i)
    for name, data in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    return files


def local_records(stream):
    """(header, name, data) positions of every local record of a spanned
    archive, read front to back from the spanning signature on."""
    records, pos = [], 4
    while stream[pos:pos + 4] == b"PK\x03\x04":
        flags, csize, nlen, elen = (struct.unpack_from("<H", stream, pos + 6)[0],) + \
            struct.unpack_from("<I", stream, pos + 18) + struct.unpack_from("<HH", stream, pos + 26)
        records.append((pos, pos + 30, pos + 30 + nlen + elen))
        pos += 30 + nlen + elen + csize + (16 if flags & 8 else 0)
    return records


# Disks that hold the stub (within its budget of 40,960 bytes) and a little of
# the archive, so that a set of a few files needs three disks or more.
SMALL_DISK = 44000


class Sets(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="spanned-")
        cls.tree = os.path.join(cls.dir, "tree")
        cls.files = make_tree(cls.tree)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def build(self, names, size, *options):
        """The set's disk folders, the first one first."""
        out = tempfile.mkdtemp(dir=self.dir)
        result = run("arcula-mksfx", "--stub", STUB, "--span", size, "--span-names", names, *options,
                     self.tree, os.path.join(out, "SETUP.EXE"))
        self.assertEqual(result.returncode, 0, result.stderr)
        disks = []
        while os.path.isdir(os.path.join(out, "disk%d" % (len(disks) + 1))):
            disks.append(os.path.join(out, "disk%d" % (len(disks) + 1)))
        return disks

    def volumes(self, names, disks):
        """The archive's parts, disk by disk."""
        def read(path):
            with open(path, "rb") as f:
                return f.read()
        exe = read(os.path.join(disks[0], "SETUP.EXE"))
        archive = struct.unpack_from("<I", exe, exe.find(b"QJV\x01sfx\x02") + 12)[0]
        first = exe[archive:] if names == "exe" else read(os.path.join(disks[0], "SETUP.ZIP"))
        later = [read(os.path.join(d, "SETUP." + names.upper())) for d in disks[1:]]
        return [first] + later, len(exe), archive

    def extract(self, disks, *options):
        target = tempfile.mkdtemp(dir=self.dir)
        disk_options = [a for i, d in enumerate(disks) for a in ("--disk", "%d=%s" % (i + 1, d))]
        result = run("arcula-headless", "--folder", target, *options, *disk_options, "A:\\SETUP.EXE", "/auto")
        return result, target

    def extracted(self, target):
        found = {}
        for folder, _, names in os.walk(target):
            for name in names:
                with open(os.path.join(folder, name), "rb") as f:
                    found[os.path.relpath(os.path.join(folder, name), target)] = f.read()
        return found

    @staticmethod
    def size_cutting_at(names, target, exe_size, archive_offset):
        """A disk size at which a volume of the set ends `target` bytes into
        the archive (the largest, so that the set has few disks), or None."""
        for size in range(target + max(exe_size, archive_offset), 0, -1):
            if names == "zip":
                first = size - exe_size
            else:  # disk 1's file is cut at a multiple of 512
                first = size // 512 * 512 - archive_offset
            if first <= 0:
                return None
            if first <= target and (target - first) % size == 0:
                return size
        return None

    def test_volumes_ending_anywhere_extract_identically(self):
        for names in ("exe", "zip"):
            probe_disks = self.build(names, 1 << 30)
            parts, exe_size, archive_offset = self.volumes(names, probe_disks)
            self.assertEqual(len(parts), 1)
            records = local_records(parts[0])
            big, smalls = records[0], records[1:]  # big.bin: far longer than a refill
            boundaries = range(big[2] + REFILL, big[2] + len(self.files["big.bin"]) - REFILL, REFILL)
            # Candidates for each kind of place; with .EXE names disk 1 holds
            # the stub, so not every place can end a volume.
            places = {
                "inside a signature": [h + 2 for h, _, _ in smalls],
                "inside a local header": [h + 13 for h, _, _ in smalls],
                "inside a name": [n + 5 for _, n, _ in smalls],
                "at a refill boundary in entry data": list(boundaries),
                "100 bytes into a refill": [b + 100 for b in boundaries],
            }
            for where, candidates in places.items():
                with self.subTest(names=names, where=where):
                    place, size = next(((c, s) for c in candidates
                                        for s in [self.size_cutting_at(names, c, exe_size, archive_offset)] if s),
                                       (None, None))
                    self.assertIsNotNone(size, "no disk size ends a volume " + where)
                    disks = self.build(names, size)
                    parts, _, _ = self.volumes(names, disks)
                    ends = [sum(len(p) for p in parts[:i + 1]) for i in range(len(parts) - 1)]
                    self.assertIn(place, ends)
                    result, target = self.extract(disks)
                    self.assertEqual(result.returncode, 0, result.stderr)
                    self.assertEqual(self.extracted(target), self.files)
                    # The scan ends at the first central directory header: the
                    # disks behind the one that holds its signature are never asked for.
                    directory = b"".join(parts).find(b"PK\x01\x02") + 3
                    last_needed = 1 + sum(1 for end in ends if end <= directory)
                    shown = [line for line in result.stderr.splitlines() if line.startswith("[")]
                    self.assertEqual(shown, ["[Arcula Self-Extractor] Please insert disk %d in drive A:. [OK Cancel]"
                                             % n for n in range(2, last_needed + 1)])

    def test_encrypted_set(self):
        disks = self.build("exe", SMALL_DISK, "--password", PASSWORD)
        self.assertGreaterEqual(len(disks), 3)
        result, target = self.extract(disks, "--password", PASSWORD)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.extracted(target), self.files)

    def test_incomplete_sets_end_in_messages(self):
        disks = self.build("zip", SMALL_DISK)
        self.assertGreaterEqual(len(disks), 3)
        missing_disk = "The disk in the drive appears to be\\nmissing or has an incorrect label.\\nInsert disk number %d."
        header_corrupt = "Arcula Self-Extractor header corrupt.  Possible cause:  bad disk or file transfer error"
        # The last disk the scan needs is the one holding the central
        # directory's first signature; which one that is depends on the
        # stub's size, since disk 1 holds the stub too.
        parts, _, _ = self.volumes("zip", disks)
        directory_end = b"".join(parts).find(b"PK\x01\x02") + 4
        needed = next(i + 1 for i in range(len(parts)) if sum(len(p) for p in parts[:i + 1]) >= directory_end)
        # The runner plays the user holding the set: without the disk asked
        # for, the user gives up (exit code 3, cancelled).
        rows = [  # label, the disks given, volume file to remove, last message, exit code
            ("the last needed disk missing", disks[:needed - 1], None, missing_disk % needed, 3),
            ("a volume file missing", disks, os.path.join(disks[1], "SETUP.ZIP"), header_corrupt, 1),
        ]
        for label, given, remove, message, status in rows:
            with self.subTest(label):
                if remove:
                    os.remove(remove)
                result, _ = self.extract(given)
                self.assertEqual(result.returncode, status, result.stderr)
                boxes = [line for line in result.stderr.splitlines() if line.startswith("[")]
                self.assertIn(message, boxes[-1])
                self.assertIn("status: Unzip Aborted", result.stderr)


def main():
    global BIN, STUB
    BIN, STUB, argv = toollib.tool_arguments("test_spanned")
    unittest.main(argv=argv)


if __name__ == "__main__":
    main()
