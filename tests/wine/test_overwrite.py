#!/usr/bin/env python3
"""Files that already exist, under Wine: the overwrite prompt answered Yes,
No and Cancel, and the overwrite checkbox that skips the prompt."""
import shutil
import unittest

import winelib
from sfxlib import (OVERWRITE_BOX, UNZIP, SfxTestCase, answer, answer_box, box, controls, dialog,
                    dialog_title)
from winelib import wait_until

NEW = {"a.txt": b"new a\n", "b.txt": b"new b\n", "c.txt": b"new c\n"}
OLD = b"old\n"


class Overwrite(SfxTestCase):
    def setUp(self):
        super().setUp()
        self.source = self.tree(NEW)
        self.target = self.scratch / "target"
        self.exe = self.sfx(self.source, "--folder", winelib.windows_path(self.target))

    def prepare_target(self):
        shutil.rmtree(self.target, ignore_errors=True)
        self.target.mkdir()
        for name in ("b.txt", "c.txt"):
            (self.target / name).write_bytes(OLD)

    def contents(self):
        return {name: (self.target / name).read_bytes() if (self.target / name).exists() else None
                for name in NEW}

    def answer_prompt(self, program, name, key):
        wid, text, buttons = box(program)
        self.assertTrue(text.startswith("File ") and
                        text.endswith(f"{name} already exists.  Overwrite file?"), text)
        self.assertEqual(buttons, ["&No", "&Yes", "Cancel"])
        answer_box(wid, key)

    def test_answers_to_the_prompt(self):
        cases = [
            # answers for b.txt and c.txt, files unzipped, what is on disk afterwards
            (("y", "n"), 2, {"a.txt": NEW["a.txt"], "b.txt": NEW["b.txt"], "c.txt": OLD}),
            (("n", "y"), 2, {"a.txt": NEW["a.txt"], "b.txt": OLD, "c.txt": NEW["c.txt"]}),
        ]
        for keys, count, expected in cases:
            with self.subTest(keys=keys):
                self.prepare_target()
                program = self.start(self.exe)
                wid, _ = dialog(program, self.exe)
                winelib.press_command(dialog_title(self.exe), UNZIP)
                self.answer_prompt(program, "b.txt", keys[0])
                self.answer_prompt(program, "c.txt", keys[1])
                done, text, _ = box(program)
                self.assertEqual(text, f"{count} file(s) unzipped successfully")
                answer(done, "Return")
                self.assertEqual(self.contents(), expected)
                answer(wid, "Escape")
                self.wait_exit(program, 0)

    def test_cancel_aborts_the_unzip(self):
        self.prepare_target()
        program = self.start(self.exe)
        dialog(program, self.exe)
        winelib.press_command(dialog_title(self.exe), UNZIP)
        self.answer_prompt(program, "b.txt", "Escape")
        # "Unzip Aborted": the dialog ends by itself, and a script is told it was cancelled.
        self.wait_exit(program, 3)
        self.assertEqual(self.contents(), {"a.txt": NEW["a.txt"], "b.txt": OLD, "c.txt": OLD})

    def test_checkbox_overwrites_without_asking(self):
        self.prepare_target()
        program = self.start(self.exe)
        wid, shown = dialog(program, self.exe)
        answer(wid, "alt+o")  # the checkbox's mnemonic toggles it
        # The key comes through the X server, the command straight from the
        # Wine server: Unzip must wait until the key has been taken.
        wait_until(lambda: controls(self.exe)[OVERWRITE_BOX].check == 1, "checkbox ticked")
        winelib.press_command(dialog_title(self.exe), UNZIP)
        done, text, _ = box(program)
        self.assertEqual(text, "3 file(s) unzipped successfully")
        answer(done, "Return")
        self.assertEqual(self.contents(), NEW)
        answer(wid, "Escape")
        self.wait_exit(program, 0)


if __name__ == "__main__":
    winelib.main()
