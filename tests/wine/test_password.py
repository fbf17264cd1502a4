#!/usr/bin/env python3
"""The password dialog under Wine: a self-extractor of encrypted files asks
for the password when Unzip is pressed; the right one extracts, a wrong one
is refused with "Incorrect password specified" and asked again, Cancel gives the Unzip
button back, OK on an empty field does nothing, and a password longer than
the field takes is cut to its first 254 characters, accented or not."""
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

import winelib

MAIN_TITLE = "Arcula Self-Extractor - setup.exe"
PASSWORD_TITLE = "Arcula Self-Extractor - Password"
BOX_TITLE = "Arcula Self-Extractor"
PROMPT = "This self-extracting Zip file is password protected.\n\nPlease type the &password:"

_IDS = winelib.control_ids()
UNZIP_BUTTON = _IDS["kUnzipButton"]
STATUS_LINE = _IDS["kStatusLine"]
PROMPT_STATIC = _IDS["kPasswordPrompt"]
PASSWORD_FIELD = _IDS["kPasswordField"]
OK_BUTTON = _IDS["kPasswordOkButton"]

FILES = {"readme.txt": b"encrypted but readable\n" * 40, "data/numbers.bin": bytes(range(256)) * 9}


class PasswordDialog(unittest.TestCase):
    def setUp(self):
        self._scratch = tempfile.TemporaryDirectory()
        self.scratch = Path(self._scratch.name)
        self.target = self.scratch / "out"
        self.program = None

    def tearDown(self):
        if self.program is not None:
            self.program.kill()
        self._scratch.cleanup()

    def make_sfx(self, password, encryption="aes256"):
        source = self.scratch / "source"
        for name, data in FILES.items():
            (source / name).parent.mkdir(parents=True, exist_ok=True)
            (source / name).write_bytes(data)
        exe = self.scratch / "setup.exe"
        subprocess.run([winelib.HOST_BIN / "arcula-mksfx", "--stub", winelib.STUB, "--encryption", encryption,
                        "--password", password, "--folder", winelib.windows_path(self.target),
                        source, exe], check=True, stdout=subprocess.DEVNULL)
        return exe

    def start_and_unzip(self, password, encryption="aes256"):
        """Starts the self-extractor, presses Unzip; returns the password dialog."""
        self.program = winelib.start(self.make_sfx(password, encryption), cwd=self.scratch)
        main = winelib.find_window(MAIN_TITLE, program=self.program)
        winelib.key(main, "alt+u")
        dialog = winelib.find_window(PASSWORD_TITLE, program=self.program)
        return main, dialog

    def answer_password(self, dialog, typed):
        winelib.type_text(dialog, typed)
        winelib.key(dialog, "Return")
        winelib.wait_window_gone(PASSWORD_TITLE)

    def assert_extracted(self):
        for name, data in FILES.items():
            self.assertEqual((self.target / name).read_bytes(), data, name)

    def close_result_box(self, expected_text):
        box = winelib.find_window(BOX_TITLE, program=self.program)
        texts = [c.text for c in winelib.controls(winelib.by_x_id(box))]
        self.assertIn(expected_text, texts)
        winelib.dismiss(box, "Return")

    def field_text(self):
        return winelib.control_text(PASSWORD_TITLE, PASSWORD_FIELD)

    def unzip_button(self):
        return next(c for c in winelib.controls(MAIN_TITLE) if c.id == UNZIP_BUTTON)

    def test_unattended_run_still_asks_for_the_password(self):
        self.program = winelib.start(self.make_sfx("Sesame"), ["/auto"], cwd=self.scratch)
        dialog = winelib.find_window(PASSWORD_TITLE, program=self.program)
        self.answer_password(dialog, "Sesame")
        self.assertEqual(self.program.wait().code, 0)
        self.assert_extracted()

    def test_dialog_shows_its_prompt_over_the_main_dialog(self):
        _, dialog = self.start_and_unzip("Sesame")
        controls = {c.id: c for c in winelib.controls(PASSWORD_TITLE)}
        self.assertEqual(controls[PROMPT_STATIC].text, PROMPT)
        self.assertEqual(controls[PASSWORD_FIELD].text, "")
        self.assertEqual(controls[1].text, "OK")
        self.assertEqual(controls[2].text, "Cancel")
        # The field has the focus: typing goes there.
        winelib.type_text(dialog, "abc")
        winelib.wait_until(lambda: self.field_text() == "abc", '"abc" in the field')

    def test_caption_title_captions_the_password_dialog_and_the_boxes(self):
        source = self.scratch / "source"
        (source / "readme.txt").parent.mkdir(parents=True, exist_ok=True)
        (source / "readme.txt").write_bytes(FILES["readme.txt"])
        exe = self.scratch / "setup.exe"
        subprocess.run([winelib.HOST_BIN / "arcula-mksfx", "--stub", winelib.STUB, "--password", "Sesame",
                        "--title", "My Tools", "--caption-title", "--folder", winelib.windows_path(self.target),
                        source, exe], check=True, stdout=subprocess.DEVNULL)
        self.program = winelib.start(exe, cwd=self.scratch)
        main = winelib.find_window("My Tools", program=self.program)
        winelib.key(main, "alt+u")
        # The dialog and then the box it leads to, each the one window of
        # that caption besides the main dialog.
        dialog = winelib.wait_until(lambda: self.captioned_besides("My Tools", main), "the password dialog")
        texts = [c.text for c in winelib.controls(winelib.by_x_id(dialog))]
        self.assertIn(PROMPT, texts)
        self.assertFalse(winelib.windows_titled(PASSWORD_TITLE))
        winelib.type_text(dialog, "wrong")
        winelib.key(dialog, "Return")
        box = winelib.wait_until(lambda: self.captioned_besides("My Tools", main, dialog), "the box")
        texts = [c.text for c in winelib.controls(winelib.by_x_id(box))]
        self.assertIn("Incorrect password specified", texts)
        self.assertFalse(winelib.windows_titled(BOX_TITLE))
        winelib.dismiss(box, "Return")
        # Asked again, under the same caption; the right one unzips.
        dialog = winelib.wait_until(lambda: self.captioned_besides("My Tools", main), "the password dialog again")
        self.assertFalse(winelib.windows_titled(PASSWORD_TITLE))
        winelib.type_text(dialog, "Sesame")
        winelib.key(dialog, "Return")
        box = winelib.wait_until(lambda: self.captioned_besides("My Tools", main, dialog), "the success box")
        self.assertIn("1 file(s) unzipped successfully", [c.text for c in winelib.controls(winelib.by_x_id(box))])
        winelib.dismiss(box, "Return")
        winelib.key(main, "Escape")
        self.program.wait()

    @staticmethod
    def captioned_besides(caption, *known):
        others = [w for w in winelib.windows_titled(caption) if w not in known]
        return others[0] if others else None

    def test_right_password_extracts(self):
        main, dialog = self.start_and_unzip("Sesame")
        self.answer_password(dialog, "Sesame")
        self.close_result_box("2 file(s) unzipped successfully")
        self.assert_extracted()
        winelib.key(main, "Escape")
        self.assertEqual(self.program.wait().code, 0)

    def test_a_password_beyond_ascii(self):
        # Set through the field's own text, as no keyboard layout of the test
        # display types these letters.
        main, _ = self.start_and_unzip("pässwörd Ω")
        winelib.set_control_text(PASSWORD_TITLE, PASSWORD_FIELD, "pässwörd Ω")
        winelib.press_command(PASSWORD_TITLE, OK_BUTTON)
        self.close_result_box("2 file(s) unzipped successfully")
        self.assert_extracted()
        winelib.key(main, "Escape")
        self.assertEqual(self.program.wait().code, 0)

    def test_a_wrong_password_is_asked_again(self):
        """The box says so, the dialog comes back, and nothing was made
        meanwhile; the right one then extracts. AES (its verifier) and the
        traditional encryption (its check byte) alike."""
        for encryption in ("aes256", "zipcrypto"):
            with self.subTest(encryption):
                main, dialog = self.start_and_unzip("Sesame", encryption)
                self.answer_password(dialog, "sesame")
                self.close_result_box("Incorrect password specified")
                dialog = winelib.find_window(PASSWORD_TITLE, program=self.program)
                self.assertFalse(self.target.exists())
                self.answer_password(dialog, "Sesame")
                self.close_result_box("2 file(s) unzipped successfully")
                self.assert_extracted()
                winelib.key(main, "Escape")
                self.assertEqual(self.program.wait().code, 0)
                self.program = None
                shutil.rmtree(self.target)

    def test_giving_up_after_a_wrong_password_is_a_cancel(self):
        main, dialog = self.start_and_unzip("Sesame")
        self.answer_password(dialog, "sesame")
        self.close_result_box("Incorrect password specified")
        dialog = winelib.find_window(PASSWORD_TITLE, program=self.program)
        winelib.key(dialog, "Escape")
        winelib.wait_window_gone(PASSWORD_TITLE)
        winelib.wait_until(lambda: self.unzip_button().enabled, "Unzip enabled again")
        winelib.key(main, "Escape")
        self.assertEqual(self.program.wait().code, 3, "closed without unzipping")
        self.assertFalse(self.target.exists())

    def test_cancel_gives_the_unzip_button_back(self):
        main, dialog = self.start_and_unzip("Sesame")
        winelib.type_text(dialog, "typed, then thought better of it")
        winelib.key(dialog, "Escape")
        winelib.wait_window_gone(PASSWORD_TITLE)
        winelib.wait_until(lambda: self.unzip_button().enabled, "Unzip enabled again")
        self.assertFalse(self.target.exists())
        # And it works again: the dialog comes back and this time extracts.
        winelib.key(main, "alt+u")
        dialog = winelib.find_window(PASSWORD_TITLE, program=self.program)
        self.answer_password(dialog, "Sesame")
        self.close_result_box("2 file(s) unzipped successfully")
        self.assert_extracted()

    def test_ok_on_an_empty_field_is_ignored(self):
        main, dialog = self.start_and_unzip("Sesame")
        winelib.key(dialog, "Return")
        # Keys are taken in order: once a key typed after Return has reached
        # the field, Return has been dealt with. (Had Return closed the
        # dialog or opened a box, the dialog would not take the key.)
        winelib.type_text(dialog, "x")
        winelib.wait_until(lambda: self.field_text() == "x", "the key after Return in the field")
        self.assertTrue(winelib.windows_titled(PASSWORD_TITLE), "the dialog stays open")
        self.assertFalse(winelib.windows_titled(BOX_TITLE), "and says nothing")
        winelib.key(dialog, "Escape")
        winelib.wait_window_gone(PASSWORD_TITLE)
        self.assertFalse(self.target.exists())
        winelib.key(main, "Escape")
        self.assertEqual(self.program.wait().code, 3, "closed without unzipping")

    def test_password_longer_than_the_field_is_cut_to_254_bytes(self):
        kept = "p" * 254
        _, dialog = self.start_and_unzip(kept)
        self.answer_password(dialog, kept + "q" * 46)
        self.close_result_box("2 file(s) unzipped successfully")
        self.assert_extracted()

    def test_the_field_takes_254_characters_of_any_kind(self):
        # 254 accented letters make 508 bytes of UTF-8: all of them are the
        # password, and the field cuts what goes beyond them.
        kept = "é" * 254
        main, _ = self.start_and_unzip(kept)
        winelib.set_control_text(PASSWORD_TITLE, PASSWORD_FIELD, kept + "é" * 46)
        winelib.press_command(PASSWORD_TITLE, OK_BUTTON)
        self.close_result_box("2 file(s) unzipped successfully")
        self.assert_extracted()
        winelib.key(main, "Escape")
        self.assertEqual(self.program.wait().code, 0)


if __name__ == "__main__":
    winelib.main()
