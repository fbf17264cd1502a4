#!/usr/bin/env python3
"""The main dialog under Wine, attended: what it shows, an Unzip with its
success box and the files on disk, Help and About."""
import unittest

import winelib
from sfxlib import (ABOUT, BROWSE, CAPTION, FOLDER_FIELD, HELP, INTRODUCTION, METER,
                    OVERWRITE_BOX, RUN_ARCHIVER, STATUS_LINE, UNUSED_BOX, UNZIP, SfxTestCase, answer, box,
                    answer_box, controls, dialog, dialog_title)
from winelib import wait_until

HELP_TEXT = ('To unzip all files in {} press the "Unzip" button. Files will be unzipped to the'
             ' folder specified in the "Unzip To Folder" field. This folder will be created if'
             " it does not exist.\n\nYou can also unzip this file with a standard zip utility"
             " like Arcula or PKUNZIP.")
ABOUT_TEXT = ("This self-extracting Zip file was created by\nArcula Self-Extractor\n\n"
              "Copyright (c) the Arcula developers")


def introduction(name):
    return f"To unzip all files in {name} to the specified folder press the Unzip button."


class Attended(SfxTestCase):
    def test_unzip_with_the_folder_from_the_config_block(self):
        source = self.tree({"readme.txt": b"read me\r\n", "docs/guide.txt": b"guide " * 500,
                            "docs/deep/data.bin": bytes(range(256)) * 40})
        target = self.scratch / "target folder"
        exe = self.sfx(source, "--folder", winelib.windows_path(target))
        program = self.start(exe)
        wid, shown = dialog(program, exe)

        self.assertEqual(winelib.window_title(wid), f"{CAPTION} - setup.exe")
        self.assertEqual(shown[INTRODUCTION].text, introduction("setup.exe"))
        self.assertEqual(shown[FOLDER_FIELD].text, winelib.windows_path(target))
        self.assertEqual(shown[OVERWRITE_BOX].check, 0)
        self.assertFalse(shown[UNUSED_BOX].visible)
        self.assertFalse(shown[METER].visible)
        self.assertTrue(shown[STATUS_LINE].visible)
        self.assertEqual(shown[STATUS_LINE].text, "")
        self.assertIn(BROWSE, shown, "the shell's folder browser is there")

        winelib.press_command(dialog_title(exe), UNZIP)
        box_wid, text, buttons = box(program)
        self.assertEqual(text, "3 file(s) unzipped successfully")
        self.assertEqual(buttons, ["OK"])
        after = controls(exe)
        self.assertEqual(after[STATUS_LINE].text, "3 file(s) unzipped successfully")
        self.assertFalse(after[METER].visible)
        answer_box(box_wid, "Return")
        self.assert_tree_extracted(source, target)

        # The dialog stays for another pass, with Unzip enabled again (once
        # the box has closed); the second pass counts from zero into the
        # folder now in the field.
        wait_until(lambda: controls(exe)[UNZIP].enabled, "Unzip enabled again")
        second = self.scratch / "second"
        winelib.set_control_text(dialog_title(exe), FOLDER_FIELD, winelib.windows_path(second))
        winelib.press_command(dialog_title(exe), UNZIP)
        box_wid, text, _ = box(program)
        self.assertEqual(text, "3 file(s) unzipped successfully")
        answer_box(box_wid, "Return")
        self.assert_tree_extracted(source, second)

        # Close is the default button since the first Unzip: Enter ends it.
        answer(wid, "Return")
        self.wait_exit(program, 0)
        self.assertEqual(winelib.windows_titled(dialog_title(exe)), [])

    def test_unzip_and_close_with_the_keyboard(self):
        # What a user of the demo does: Enter on the dialog (Unzip is the
        # default button), Enter on the box that says it is done, Enter
        # again (Close is the default now). Few questions to the program
        # here, so that it runs in minutes where the program runs emulated.
        source = self.tree({"readme.txt": b"read me\r\n", "docs/guide.txt": b"guide " * 500})
        target = self.scratch / "target folder"
        exe = self.sfx(source, "--folder", winelib.windows_path(target))
        program = self.start(exe)
        wid = winelib.find_window(dialog_title(exe), program=program)
        answer(wid, "Return")
        answer_box(winelib.find_window(CAPTION, program=program), "Return")
        self.assert_tree_extracted(source, target)
        answer(wid, "Return")
        self.wait_exit(program, 0)

    def test_texts_of_the_dialog(self):
        cases = [
            # name, mksfx options, caption, name in the introduction
            ("abcdefghijklmnopqrst.exe", [], f"{CAPTION} - abcdefghijklmnopqrst.exe",
             "abcdefghijklmnopqrst.exe"),
            ("abcdefghijklmnopqrstu.exe", [], f"{CAPTION} - abcdefghijklmnopqrstu.exe",
             "this self-extractor file"),
            ("titled.exe", ["--title", "My Files", "--caption-title"], "My Files", "titled.exe"),
            ("untitled.exe", ["--caption-title"], "Setup", "untitled.exe"),
        ]
        source = self.tree({"a.txt": b"a"})
        for name, options, caption, introduced in cases:
            with self.subTest(name=name):
                exe = self.sfx(source, *options, name=name)
                program = self.start(exe)
                wid = winelib.find_window(caption, program=program)
                shown = {c.id: c for c in winelib.controls(caption)}
                self.assertEqual(shown[INTRODUCTION].text, introduction(introduced))
                answer(wid, "Escape")
                self.wait_exit(program, 3)  # closed without unzipping

    def test_archiver_button_only_without_no_archiver_button(self):
        # The button goes and nothing else changes: the same controls, in the
        # same order, with the same texts and states.
        source = self.tree({"a.txt": b"a"})
        shown = {}
        for name, options in (("plain.exe", []), ("setup.exe", ["--no-archiver-button"])):
            exe = self.sfx(source, *options, name=name)
            program = self.start(exe)
            wid = winelib.find_window(dialog_title(exe), program=program)
            shown[name] = [c for c in winelib.controls(dialog_title(exe))]
            answer(wid, "Escape")
            program.wait()
        archiver = [c for c in shown["plain.exe"] if c.id == RUN_ARCHIVER]
        self.assertEqual([(c.visible, c.enabled) for c in archiver], [(True, True)])
        self.assertEqual([c for c in shown["setup.exe"] if c.id == RUN_ARCHIVER], [])

        def others(controls):
            return [c for c in controls if c.id not in (RUN_ARCHIVER, INTRODUCTION)]
        self.assertEqual(others(shown["setup.exe"]), others(shown["plain.exe"]))

    def test_dot_folder_and_overwrite_setting(self):
        # "." is the folder the self-extractor lies in, made current at start-up.
        exe = self.sfx(self.tree({"a.txt": b"a"}), "--folder", ".", "--overwrite")
        program = self.start(exe, cwd="/")
        wid, shown = dialog(program, exe)
        self.assertEqual(shown[FOLDER_FIELD].text, winelib.windows_path(self.scratch))
        self.assertEqual(shown[OVERWRITE_BOX].check, 1)
        answer(wid, "Escape")
        self.wait_exit(program, 3)  # closed without unzipping

    def test_browse_puts_the_chosen_folder_into_the_field(self):
        exe = self.sfx(self.tree({"a.txt": b"a"}), "--folder", "C:\\before")
        program = self.start(exe)
        wid, _ = dialog(program, exe)
        winelib.press_command(dialog_title(exe), BROWSE)
        browser = winelib.find_window("Browse for Folder", program=program)
        texts = [c.text for c in winelib.controls("Browse for Folder")]
        self.assertIn("Unzip to Folder:", texts)
        answer(browser, "Return")  # OK on the first folder, the desktop
        wait_until(lambda: controls(exe)[FOLDER_FIELD].text != "C:\\before", "folder chosen")
        self.assertTrue(controls(exe)[FOLDER_FIELD].text.endswith("\\Desktop"))
        answer(wid, "Escape")
        self.wait_exit(program, 3)  # closed without unzipping

    def test_help_and_about(self):
        # A name of 240 characters: the help text quotes it whole.
        name = "a-rather-long-self-extractor-name-" + "n" * 202 + ".exe"
        exe = self.sfx(self.tree({"a.txt": b"a"}), name=name)
        program = self.start(exe)
        wid, _ = dialog(program, exe)
        for how in ("button", "accelerator"):
            for command, key, text in ((HELP, "alt+h", HELP_TEXT.format(name)), (ABOUT, "alt+a", ABOUT_TEXT)):
                with self.subTest(how=how, command=command):
                    if how == "button":
                        winelib.press_command(dialog_title(exe), command)
                    else:
                        winelib.key(wid, key)  # every accelerator of the dialog is its own
                    box_wid, shown, buttons = box(program)
                    self.assertEqual(shown, text)
                    self.assertEqual(buttons, ["OK"])
                    answer_box(box_wid, "Return")
        answer(wid, "Escape")
        self.wait_exit(program, 3)  # closed without unzipping


if __name__ == "__main__":
    winelib.main()
