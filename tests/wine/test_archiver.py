#!/usr/bin/env python3
"""Run Arcula under Wine: with an archiver registered under
HKEY_CLASSES_ROOT\\arcula\\shell\\open\\command the button starts it on this
self-extractor and the dialog ends; with none registered, or with Shift held,
it says "Arcula not found on your system." and the dialog stays.

The archiver is a tiny Windows program compiled here that writes its own
command line into a file beside itself."""
import subprocess
import tempfile
import unittest
from pathlib import Path

import winelib

MAIN_TITLE = "Arcula Self-Extractor - setup.exe"
BOX_TITLE = "Arcula Self-Extractor"
NOT_FOUND = "Arcula not found on your system."
KEY = r"HKCR\arcula"
COMMAND_KEY = r"HKCR\arcula\shell\open\command"

RECORDER_SOURCE = r"""
#include <windows.h>

/* Writes the command line it was started with to <its own name>.txt. */
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR tail, int show) {
  char path[MAX_PATH + 8];
  DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
  const char* line = GetCommandLineA();
  DWORD written;
  HANDLE file;
  (void)instance; (void)previous; (void)tail; (void)show;
  if (length < 4) return 1;
  lstrcpyA(path + length - 4, ".txt");
  file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return 1;
  WriteFile(file, line, (DWORD)lstrlenA(line), &written, NULL);
  CloseHandle(file);
  return 0;
}
"""

RECORD_TIMEOUT = 15.0


def reg(*args):
    result = subprocess.run([winelib.WINE, "reg", *args], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True)
    return result.returncode


class RunArcula(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls._build = tempfile.TemporaryDirectory()
        build = Path(cls._build.name)
        (build / "recorder.c").write_text(RECORDER_SOURCE)
        cls.recorder = build / "recorder.exe"
        subprocess.run([winelib.cross_compiler("gcc"), "-O2", "-mwindows", "-o", cls.recorder,
                        build / "recorder.c"], check=True)
        source = build / "source"
        source.mkdir()
        (source / "hello.txt").write_text("hello\n")
        cls.sfx = build / "built.exe"
        subprocess.run([winelib.HOST_BIN / "arcula-mksfx", "--stub", winelib.STUB, source, cls.sfx],
                       check=True, stdout=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        cls._build.cleanup()

    def setUp(self):
        self._scratch = tempfile.TemporaryDirectory()
        self.scratch = Path(self._scratch.name)
        self.exe = self.scratch / "setup.exe"
        self.exe.write_bytes(self.sfx.read_bytes())
        self.program = None
        reg("delete", KEY, "/f")

    def tearDown(self):
        subprocess.run(["xdotool", "keyup", "shift"], check=False)
        if self.program is not None:
            self.program.kill()
        reg("delete", KEY, "/f")
        self._scratch.cleanup()

    def install_recorder(self, folder_name, registered):
        """Puts the recorder in `folder_name` and registers `registered`, in
        which {exe} stands for the recorder's Windows path."""
        folder = self.scratch / folder_name
        folder.mkdir()
        recorder = folder / "arcula.exe"
        recorder.write_bytes(self.recorder.read_bytes())
        value = registered.format(exe=winelib.windows_path(recorder))
        self.assertEqual(reg("add", COMMAND_KEY, "/ve", "/d", value, "/f"), 0)
        return recorder.with_suffix(".txt")

    def start(self):
        self.program = winelib.start(self.exe, cwd=self.scratch)
        return winelib.find_window(MAIN_TITLE, program=self.program)

    def wait_record(self, record):
        # The recorder writes its line with one call.
        winelib.wait_until(lambda: record.exists() and record.stat().st_size > 0,
                           "the archiver's record of its command line", RECORD_TIMEOUT)
        return record.read_text()

    def assert_not_found_box_and_dialog_stays(self):
        box = winelib.find_window(BOX_TITLE, program=self.program)
        texts = [c.text for c in winelib.controls(winelib.by_x_id(box))]
        self.assertTrue(any(t.startswith(NOT_FOUND + "\n\n") for t in texts), texts)
        winelib.dismiss(box, "Return")
        # Once the program waits for input again, the command that showed
        # the box is over: had it ended the dialog, that would show now.
        winelib.wait_idle(MAIN_TITLE)
        self.assertTrue(self.program.running())
        self.assertTrue(winelib.windows_titled(MAIN_TITLE), "the dialog stays")

    def test_registered_archiver_is_started_on_this_file(self):
        quoted_exe = '"' + winelib.windows_path(self.exe) + '"'
        cases = [
            # The registered arguments are dropped; the program gets this file.
            ("plain", '{exe} "%1"'),
            # A quoted program path with a blank stays whole.
            ("with blank", '"{exe}" "%1"'),
        ]
        for folder_name, registered in cases:
            with self.subTest(registered=registered):
                record = self.install_recorder(folder_name, registered)
                main = self.start()
                winelib.key(main, "alt+r")
                line = self.wait_record(record)
                self.assertTrue(line.endswith(" " + quoted_exe), line)
                self.assertEqual(self.program.wait().code, 0, "the dialog ends")
                self.program = None
                reg("delete", KEY, "/f")

    def test_without_an_archiver_the_user_is_told(self):
        main = self.start()
        winelib.key(main, "alt+r")
        self.assert_not_found_box_and_dialog_stays()
        winelib.key(main, "Escape")
        self.assertEqual(self.program.wait().code, 3, "closed without unzipping")

    def test_shift_held_tells_even_with_an_archiver(self):
        record = self.install_recorder("plain", '{exe} "%1"')
        main = self.start()
        winelib.focus(main)
        subprocess.run(["xdotool", "keydown", "shift"], check=True)
        winelib.key(main, "alt+r")
        subprocess.run(["xdotool", "keyup", "shift"], check=True)
        self.assert_not_found_box_and_dialog_stays()
        self.assertFalse(record.exists(), "the archiver was not started")


if __name__ == "__main__":
    winelib.main()
