#!/usr/bin/env python3
"""Unattended runs under Wine: /auto from the command line or the builder's
flag, /noauto against the flag, and the exit code a script sees."""
import unittest

import winelib
from sfxlib import CAPTION, FOLDER_FIELD, SfxTestCase, answer, box, dialog, dialog_title


class Unattended(SfxTestCase):
    def setUp(self):
        super().setUp()
        self.source = self.tree({"one.txt": b"one\n", "sub/two.bin": bytes(range(200)) * 300})
        self.configured = self.scratch / "configured"

    def assert_no_window_left(self, exe):
        self.assertEqual(winelib.windows_titled(dialog_title(exe)), [])
        self.assertEqual(winelib.windows_titled(CAPTION), [])

    def test_auto_with_a_quoted_folder(self):
        exe = self.sfx(self.source, "--folder", winelib.windows_path(self.configured))
        target = self.scratch / "chosen with blanks"
        # Wine puts an argument with blanks in double quotes on the command line.
        program = self.start(exe, ["/auto", winelib.windows_path(target)])
        self.wait_exit(program, 0)
        self.assert_tree_extracted(self.source, target)
        self.assertFalse(self.configured.exists())
        self.assert_no_window_left(exe)

    def test_auto_flag_of_the_builder(self):
        exe = self.sfx(self.source, "--auto", "--folder", winelib.windows_path(self.configured))
        program = self.start(exe)
        self.wait_exit(program, 0)
        self.assert_tree_extracted(self.source, self.configured)
        self.assert_no_window_left(exe)

    def test_noauto_against_the_flag_waits_for_the_user(self):
        exe = self.sfx(self.source, "--auto", "--folder", winelib.windows_path(self.configured))
        program = self.start(exe, ["/noauto"])
        wid, shown = dialog(program, exe)
        self.assertEqual(shown[FOLDER_FIELD].text, winelib.windows_path(self.configured))
        self.assertFalse(self.configured.exists(), "nothing unzipped without the user")
        answer(wid, "Escape")
        self.wait_exit(program, 3)  # closed without unzipping
        self.assertFalse(self.configured.exists())

    def test_noauto_on_a_file_built_silent_shows_the_prompt(self):
        # With the dialog comes a person: the start-up prompt is asked again.
        exe = self.sfx(self.source, "--silent", "--prompt", "Install it?", "--folder",
                       winelib.windows_path(self.configured))
        program = self.start(exe, ["/noauto"])
        wid, text, _ = box(program)
        self.assertEqual(text, "Install it?")
        answer(wid, "Return")
        wid, shown = dialog(program, exe)
        answer(wid, "Escape")
        self.wait_exit(program, 3)  # closed without unzipping
        self.assertFalse(self.configured.exists())

    def test_failed_unattended_pass_exits_with_one(self):
        # A file where the target folder should be: the folder cannot be made.
        blocker = self.scratch / "blocker"
        blocker.write_bytes(b"in the way")
        exe = self.sfx(self.source)
        program = self.start(exe, ["/auto", winelib.windows_path(blocker / "inside")])
        wid, text, _ = box(program)
        self.assertTrue(text.startswith('Could not create "'), text)
        answer(wid, "Return")
        self.wait_exit(program, 6)  # the folder could not be made
        self.assert_no_window_left(exe)


if __name__ == "__main__":
    winelib.main()
