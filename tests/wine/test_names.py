#!/usr/bin/env python3
"""Entry names whose folder parts end in a dot or a blank, under Wine: they
land on the names Windows gives them, under a short target and under one
that makes every path longer than 260 characters alike."""
import winelib
from sfxlib import FOLDER_FIELD, UNZIP, SfxTestCase, answer, box, dialog, dialog_title

# The builder refuses such names, so the self-extractor is made with
# stand-ins of the same length, which are then written over in its headers.
STAND_INS = {b"aQ/": b"a./", b"eQ/": b"e /"}
FILES = {"aQ/b.txt": b"b\n", "eQ/f.txt": b"f\n"}


class TrailingDotsAndBlanks(SfxTestCase):
    def sfx_with_dotted_folders(self):
        exe = self.sfx(self.tree(FILES))
        data = exe.read_bytes()
        for stand_in, name in STAND_INS.items():
            self.assertGreaterEqual(data.count(stand_in), 2, "in the local and the central header")
            data = data.replace(stand_in, name)
        exe.write_bytes(data)
        return exe

    def test_folder_parts_lose_them_at_every_length(self):
        exe = self.sfx_with_dotted_folders()
        # 255 characters of target: every output path is over 260.
        long_name = "L" * (254 - len(winelib.windows_path(self.scratch)))
        for label, target in (("short", self.scratch / "short"), ("long", self.scratch / long_name)):
            with self.subTest(label):
                program = self.start(exe, ["/auto", winelib.windows_path(target)])
                self.wait_exit(program, 0)
                self.assertEqual(sorted(p.name for p in target.iterdir()), ["a", "e"])
                self.assertEqual((target / "a" / "b.txt").read_bytes(), b"b\n")
                self.assertEqual((target / "e" / "f.txt").read_bytes(), b"f\n")

    def test_the_overwrite_question_names_the_file_on_disk(self):
        exe = self.sfx_with_dotted_folders()
        target = self.scratch / "again"
        self.wait_exit(self.start(exe, ["/auto", winelib.windows_path(target)]), 0)
        program = self.start(exe)
        dialog(program, exe)
        winelib.set_control_text(dialog_title(exe), FOLDER_FIELD, winelib.windows_path(target))
        winelib.press_command(dialog_title(exe), UNZIP)
        box_wid, text, _ = box(program)
        self.assertEqual(text, f"File {winelib.windows_path(target)}\\a\\b.txt already exists.  Overwrite file?")
        answer(box_wid, "Escape")  # Cancel: the pass ends
        self.wait_exit(program, 3)


if __name__ == "__main__":
    winelib.main()
