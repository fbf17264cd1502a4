#!/usr/bin/env python3
"""A three-disk spanned set under Wine, made by arcula-mksfx --span.

Drive A: is a removable drive on the folder of the disk "in the drive"; the
folder's .windows-label file names the disk ("PKBACK# 002"). Wine reads the
label only when the drive is defined, so the disk is swapped by defining the
drive again through the mount manager (define_drive.exe, a test-only helper
compiled here from define_drive.cpp) while the self-extractor's disk prompt
is on screen; then OK is pressed, as a user would after changing disks.
"""
import atexit
import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

import winelib

BOX_TITLE = "Arcula Self-Extractor"
MAIN_TITLE = "Arcula Self-Extractor - SETUP.EXE"
DRIVE = "A"
DISKS = 3
HELPER_SOURCE = Path(__file__).resolve().with_name("define_drive.cpp")

_helper = {}


def define_drive_exe():
    """The helper: given by ARCULA_DEFINE_DRIVE, else compiled once per run."""
    if os.environ.get("ARCULA_DEFINE_DRIVE"):
        return Path(os.environ["ARCULA_DEFINE_DRIVE"])
    if "exe" not in _helper:
        folder = Path(tempfile.mkdtemp(prefix="define-drive-"))
        atexit.register(shutil.rmtree, folder, True)
        exe = folder / "define_drive.exe"
        subprocess.run([winelib.cross_compiler("g++"), "-O2", "-Wall", "-Wextra", "-Werror", "-municode", "-static", "-s",
                        str(HELPER_SOURCE), "-o", str(exe)], check=True)
        _helper["exe"] = exe
    return _helper["exe"]


def insert_disk(folder):
    """Puts the disk held in `folder` into drive A: (None: empties the drive)."""
    args = [DRIVE] + ([str(folder)] if folder is not None else [])
    result = winelib.run(define_drive_exe(), args)
    if result.code != 0:
        raise winelib.WineTestError("define_drive failed: " + result.stderr.strip())


def make_tree(root):
    files = {
        "readme.txt": b"spanned over three disks\n" * 40,
        "data/random.bin": os.urandom(60000),
        "data/more/tail.bin": os.urandom(25000),
    }
    for name, data in files.items():
        (root / name).parent.mkdir(parents=True, exist_ok=True)
        (root / name).write_bytes(data)
    return files


class ThreeDiskSet(unittest.TestCase):
    def setUp(self):
        self._scratch = tempfile.TemporaryDirectory()
        self.scratch = Path(self._scratch.name)
        self.target = self.scratch / "out"
        self.files = make_tree(self.scratch / "tree")
        self.program = None

    def tearDown(self):
        if self.program is not None:
            self.program.kill()
        insert_disk(None)
        self._scratch.cleanup()

    def mksfx(self, out, *options):
        result = subprocess.run([winelib.HOST_BIN / "arcula-mksfx", "--stub", winelib.STUB,
                                 "--folder", winelib.windows_path(self.target), *map(str, options),
                                 self.scratch / "tree", out], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout

    def make_set(self, names):
        """The set's disk folders, each labelled as the builder says."""
        # A probe as one disk gives the stub's and the archive's sizes; the
        # disk size is then chosen for three disks. (--force: a test may make
        # a set more than once, over the last probe.)
        probe = self.scratch / "probe"
        self.mksfx(probe / "SETUP.EXE", "--span", "1024m", "--force")
        whole = (probe / "disk1" / "SETUP.EXE").stat().st_size
        size = whole * 2 // 5
        made = self.scratch / names
        listing = self.mksfx(made / "SETUP.EXE", "--span", size, "--span-names", names)
        disks = [made / ("disk%d" % n) for n in range(1, DISKS + 1)]
        self.assertFalse((made / ("disk%d" % (DISKS + 1))).exists())
        for number, disk in enumerate(disks, 1):
            label = "PKBACK# %03d" % number
            self.assertIn('disk%d: label "%s"' % (number, label), listing)
            (disk / ".windows-label").write_text(label + "\n")
        return disks

    def answer_disk_prompts(self, disks):
        """At each prompt: check what it asks for, change disks, press OK."""
        for number in range(2, DISKS + 1):
            box = self.find_box("Please insert disk %d in drive A:." % number)
            insert_disk(disks[number - 1])
            winelib.dismiss(box, "Return")

    def find_box(self, text):
        """The box showing `text`. Every box answered before has been waited
        out (winelib.dismiss): the box found is the one up now, and shows
        `text` or fails the test."""
        box = winelib.find_window(BOX_TITLE, program=self.program)
        shown = [c.text for c in winelib.controls(winelib.by_x_id(box))]
        self.assertIn(text, shown)
        return box

    def assert_extracted(self):
        found = {str(p.relative_to(self.target)): p.read_bytes() for p in self.target.rglob("*") if p.is_file()}
        self.assertEqual(found, self.files)

    def start(self, disks, *args):
        insert_disk(disks[0])
        self.program = winelib.start("%s:\\SETUP.EXE" % DRIVE, args, cwd=self.scratch)

    def test_attended(self):
        disks = self.make_set("exe")
        self.start(disks)
        main = winelib.find_window(MAIN_TITLE, program=self.program)
        winelib.key(main, "alt+u")
        self.answer_disk_prompts(disks)
        box = self.find_box("%d file(s) unzipped successfully" % len(self.files))
        winelib.dismiss(box, "Return")
        self.assert_extracted()
        winelib.key(main, "Escape")
        self.assertEqual(self.program.wait().code, 0)

    def test_unattended(self):
        for names in ("exe", "zip"):
            with self.subTest(names):
                shutil.rmtree(self.target, ignore_errors=True)
                disks = self.make_set(names)
                self.start(disks, "/auto")
                self.answer_disk_prompts(disks)
                self.assertEqual(self.program.wait().code, 0)
                self.assert_extracted()

    def test_wrong_disk_then_cancel(self):
        # Disk 3 goes in where disk 2 is asked for: asked again; Cancel ends the pass.
        disks = self.make_set("exe")
        self.start(disks, "/auto")
        box = self.find_box("Please insert disk 2 in drive A:.")
        insert_disk(disks[2])
        winelib.dismiss(box, "Return")
        box = self.find_box("Please insert disk 2 in drive A:.")
        winelib.key(box, "Escape")
        self.assertEqual(self.program.wait().code, 3, "the user gave up")


if __name__ == "__main__":
    winelib.main()
