#!/usr/bin/env python3
"""/silent under Wine: no window and no box appear at all, the exit code says
what happened, and /log holds every message that would have been shown."""

import os
import subprocess
import time
import struct
import unittest
import zipfile

import winelib
from sfxlib import SfxTestCase


class Silent(SfxTestCase):
    def setUp(self):
        super().setUp()
        self.source = self.tree({"one.txt": b"one\n", "sub/two.bin": bytes(range(200)) * 300})
        self.target = self.scratch / "target"
        self.log = self.scratch / "run.log"

    def run_silent(self, exe, *switches):
        """Runs to the end, watching the display all the while; returns the exit
        code and every title of a window the stub showed."""
        return self.run_watched(exe, ["/silent", winelib.windows_path(self.target), *switches,
                                      "/log", winelib.windows_path(self.log)])

    def run_watched(self, exe, arguments):
        program = self.start(exe, arguments)
        shown = set()
        while program.running():
            shown |= {title for title in winelib.visible_titles() if title.startswith("Arcula")}
        return program.wait().code, shown

    def log_lines(self):
        """The log's lines without their date and time."""
        return [line[20:] for line in self.log.read_text(encoding="utf-8").splitlines()]

    def test_a_plain_silent_run(self):
        """The log's first line names the file, the switches (the password
        hidden) and the target; its last two say how the run ended."""
        exe = self.sfx(self.source)
        code, shown = self.run_silent(exe, "/password", "not needed")
        self.assertEqual((code, shown), (0, set()))
        self.assert_tree_extracted(self.source, self.target)
        target, log = winelib.windows_path(self.target), winelib.windows_path(self.log)
        self.assertEqual(self.log_lines(), [
            "Run of %s /silent %s /password ***** /log %s; target folder: %s"
            % (winelib.windows_path(exe), target, log, target),
            "2 file(s) unzipped successfully",
            "Exit code 0: success"])

    def test_a_default_folder_named_by_a_variable(self):
        """A --folder of %NAME% is expanded from the environment the program
        runs in; a variable that is not set stops the run, and no folder
        named after it is made (the program's own folder is the current one)."""
        env = {"ARCULA_TEST_BASE": winelib.windows_path(self.scratch)}
        rows = [  # folder, exit code, a line of the log
            ("%ARCULA_TEST_BASE%\\x", 0, "2 file(s) unzipped successfully"),
            ("%ARCULA_TEST_UNSET%\\x", 1, 'Could not create "%ARCULA_TEST_UNSET%\\x" - unzip operation cancelled.'),
        ]
        for folder, expected, logged in rows:
            with self.subTest(folder):
                exe = self.sfx(self.source, "--folder", folder)
                program = self.start(exe, ["/silent", "/log", winelib.windows_path(self.log)], env=env)
                shown = set()
                while program.running():
                    shown |= {title for title in winelib.visible_titles() if title.startswith("Arcula")}
                self.assertEqual((program.wait().code, shown), (expected, set()))
                self.assertIn(logged, self.log.read_text(encoding="utf-8"))
                self.log.unlink()
        self.assert_tree_extracted(self.source, self.scratch / "x")
        self.assertEqual([p.name for p in self.scratch.iterdir() if "%" in p.name], [])

    def test_an_existing_file_stops_it_unless_overwrite(self):
        exe = self.sfx(self.source)
        self.target.mkdir()
        (self.target / "one.txt").write_bytes(b"older\n")
        code, shown = self.run_silent(exe)
        self.assertEqual((code, shown), (5, set()))
        self.assertEqual((self.target / "one.txt").read_bytes(), b"older\n")
        lines = self.log_lines()
        self.assertIn("one.txt already exists.  Overwrite file?", lines[-3])
        # The outcome, not the question, and the exit code.
        self.assertEqual(lines[-2:], ["Unzip Aborted", "Exit code 5: an existing file stopped the run"])
        code, shown = self.run_silent(exe, "/overwrite")
        self.assertEqual((code, shown), (0, set()))
        self.assert_tree_extracted(self.source, self.target)

    def test_the_log_is_a_plain_file_of_its_own(self):
        """A file with a second name or a folder at the log's path stops the run
        before anything is unzipped, and the other name's file is left alone;
        an entry named like the log cannot be written into it. (Wine shows a
        Unix link to a file as a plain file, so links are the host tests'.)"""
        exe = self.sfx(self.source)
        elsewhere = self.scratch / "elsewhere.txt"
        rows = [  # label, how the log's path is planted
            ("a hard link", lambda: os.link(elsewhere, self.log)),
            ("a folder", lambda: self.log.mkdir()),
        ]
        for label, plant in rows:
            with self.subTest(label):
                elsewhere.write_bytes(b"kept\n")
                plant()
                code, shown = self.run_silent(exe)
                self.assertEqual((code, shown), (1, set()))  # refused: a failure, not a write error
                self.assertEqual(elsewhere.read_bytes(), b"kept\n")
                self.assertFalse(self.target.exists())
                if self.log.is_dir():
                    self.log.rmdir()
                else:
                    self.log.unlink()
        self.target.mkdir()
        self.log = self.target / "one.txt"
        code, shown = self.run_silent(exe, "/overwrite")
        self.assertEqual((code, shown), (6, set()))  # the entry could not be written
        log = self.log.read_text(encoding="utf-8")
        self.assertIn("Can't create output file", log)
        for line in log.splitlines():  # its own lines only: the entry's bytes never went in
            self.assertRegex(line, r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d ", log)

    def test_an_encrypted_file_takes_its_password(self):
        """Without /password, or with a wrong one, the run ends at once with
        exit code 4, before anything is made."""
        exe = self.sfx(self.source, "--password", "Sesame")
        for switches, message in [((), "No password specified"),
                                  (("/password", "sesame"), "Incorrect password specified")]:
            with self.subTest(message):
                code, shown = self.run_silent(exe, *switches)
                self.assertEqual((code, shown), (4, set()))
                self.assertFalse(self.target.exists())
                self.assertEqual(self.log_lines()[-3:],
                                 [message, "Unzip Aborted", "Exit code 4: no password, or a wrong one"])
        code, shown = self.run_silent(exe, "/password", "Sesame")
        self.assertEqual((code, shown), (0, set()))
        self.assert_tree_extracted(self.source, self.target)

    def test_a_changed_aes_file_is_removed_and_the_run_fails(self):
        """A changed byte of an AES file's authentication code: the file the
        code no longer vouches for is removed, the one before it stays, and
        the run ends with the damage message, never as a success."""
        exe = self.sfx(self.source, "--password", "Sesame")
        data = bytearray(exe.read_bytes())
        with zipfile.ZipFile(exe) as z:
            info = z.getinfo("sub/two.bin")
        local = info.header_offset
        name_length, extra_length = struct.unpack_from("<HH", data, local + 26)
        data[local + 30 + name_length + extra_length + info.compress_size - 1] ^= 1  # the code's last byte
        exe.write_bytes(bytes(data))
        code, shown = self.run_silent(exe, "/password", "Sesame")
        self.assertEqual((code, shown), (1, set()))
        self.assertEqual((self.target / "one.txt").read_bytes(), b"one\n")
        self.assertFalse((self.target / "sub" / "two.bin").exists())
        self.assertTrue(self.log_lines()[-3].startswith("Zip file is damaged"), self.log_lines())

    def test_a_file_built_silent_needs_no_switch(self):
        exe = self.sfx(self.source, "--silent", "--folder", winelib.windows_path(self.target))
        code, shown = self.run_watched(exe, [])
        self.assertEqual((code, shown), (0, set()))
        self.assert_tree_extracted(self.source, self.target)

    def test_a_full_disk_ends_it_with_its_message(self):
        full = self.scratch / "full"
        full.mkdir()
        # A 64 KiB file system: the 60 KB of sub/two.bin do not fit beside the rest.
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", str(full)],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
        if not mounted:
            raise unittest.SkipTest("a small tmpfs needs root to mount")
        try:
            self.tree({"filler.bin": bytes(40000)}, name="full")
            exe = self.sfx(self.source)
            self.target = full / "target"
            code, shown = self.run_silent(exe)
            self.assertEqual((code, shown), (6, set()))
            self.assertIn("Possible cause: disk full.", self.log.read_text(encoding="utf-8"))
        finally:
            subprocess.run(["umount", str(full)], check=False)


    def test_switches_in_any_order_and_quoted_words(self):
        """Every switch is a word of its own wherever it stands; inside a
        quoted folder it is part of the name."""
        exe = self.sfx(self.source)
        rows = [  # label, arguments, where the files land
            ("/auto before /silent", ["/auto", "{t1}", "/silent"], "t1"),
            ("/silent before /auto", ["/silent", "/auto", "{t2}"], "t2"),
            ("-overwrite inside a quoted folder", ["/silent", "{t3 -overwrite x}"], "t3 -overwrite x"),
        ]
        for label, arguments, folder in rows:
            with self.subTest(label):
                arguments = [winelib.windows_path(self.scratch / a[1:-1]) if a.startswith("{") else a
                             for a in arguments]
                code, shown = self.run_watched(exe, arguments)
                self.assertEqual((code, shown), (0, set()))
                self.assert_tree_extracted(self.source, self.scratch / folder)
        self.assertEqual(sorted(p.name for p in self.scratch.iterdir() if p.name.startswith("t")),
                         ["t1", "t2", "t3 -overwrite x"])

    def test_an_unknown_switch_ends_it_with_exit_code_two(self):
        """/S, as scripts for other installers pass it: no window, nothing
        unzipped, and the message on the standard error a script redirected."""
        program = self.start(self.sfx(self.source), ["/S", "/auto", winelib.windows_path(self.target)])
        shown = set()
        deadline = time.monotonic() + 30  # a dialog waiting for a person would never end
        while program.running() and time.monotonic() < deadline:
            shown |= {title for title in winelib.visible_titles() if title.startswith("Arcula")}
        result = program.wait(timeout=1)
        self.assertEqual((result.code, shown), (2, set()))
        self.assertIn("/S is not a switch of this self-extractor.", result.stderr)
        self.assertFalse(self.target.exists())


if __name__ == "__main__":
    winelib.main()
