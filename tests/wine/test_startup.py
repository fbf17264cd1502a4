#!/usr/bin/env python3
"""Start-up of the stub under Wine: the checks of its own file, -info, the
start-up prompt and a refused command line, each before any dialog, with the
box shown and the exit code (0 for -info, 1 for an error, 2 for a command
line that cannot be followed, 3 for what the user declined)."""
import os
import shutil
import struct
import subprocess
import unittest

import winelib
from sfxlib import (BROWSE, CAPTION, COMPLETENESS_FIELD, SfxTestCase, answer, box, dialog,
                    dialog_title, patch, settings_offset)

DAMAGED = ("Zip file is damaged, truncated, or has been changed since it was created."
           "   If you downloaded this file, try downloading again.")
HEADER_CORRUPT = ("Arcula Self-Extractor header corrupt.  Possible cause:  bad disk or file "
                  "transfer error")
INCOMPLETE = "This is an incomplete self-extractor;\nplease re-create the file and try again."
BAD_COMMAND_FOLDER = "Error in folder name specfied on the command line."


class StartupTestCase(SfxTestCase):
    def small_sfx(self, *options, name="setup.exe"):
        source = self.tree({"readme.txt": b"read me\n"})
        return self.sfx(source, *options, name=name)

    def assert_box_then_exit(self, exe, args, text, code, title=CAPTION):
        """The program shows one box with `text` and only OK, and no dialog;
        OK ends it with `code`. (Wine shows every box with an icon control,
        empty or not, so the icon is left to the host tests.)"""
        program = self.start(exe, args)
        wid, shown, buttons = box(program, title)
        self.assertEqual(shown, text)
        self.assertEqual(buttons, ["OK"])
        self.assertEqual(winelib.windows_titled(dialog_title(exe)), [], "no dialog")
        answer(wid, "Return")
        self.wait_exit(program, code)


def section_middle(data, name):
    """The file offset of the middle of a section's raw data."""
    lfanew = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, lfanew + 6)[0]
    table = lfanew + 24 + struct.unpack_from("<H", data, lfanew + 20)[0]
    for index in range(count):
        header = table + 40 * index
        if data[header:header + 8].rstrip(b"\0") == name:
            size, start = struct.unpack_from("<II", data, header + 16)
            return start + size // 2
    raise AssertionError(f"no section {name!r}")


class FileChecks(StartupTestCase):
    def test_plain_stub_is_not_a_self_extractor(self):
        # No settings filled in: the entry point it expects is not its own.
        self.assert_box_then_exit(winelib.STUB, [], DAMAGED, 1)

    def test_tampered_stub(self):
        exe = self.small_sfx()
        data = exe.read_bytes()
        # A byte of the icon: inside the checked range, but never run, so the
        # stub meets the change in its check and not as a crash on the way.
        icon_byte = section_middle(data, b".rsrc")
        patch(exe, icon_byte, bytes([data[icon_byte] ^ 0xFF]))
        self.assert_box_then_exit(exe, [], HEADER_CORRUPT, 1)

    def test_truncated_file(self):
        exe = self.small_sfx()
        data = exe.read_bytes()
        end_record = data.rfind(b"PK\x05\x06")
        exe.write_bytes(data[:end_record])
        self.assert_box_then_exit(exe, [], DAMAGED, 1)

    def test_incomplete_file(self):
        # Without the self-check, so that only the completeness word is wrong.
        exe = self.small_sfx("--no-selfcheck")
        patch(exe, settings_offset(exe.read_bytes()) + COMPLETENESS_FIELD, b"\0\0")
        self.assert_box_then_exit(exe, [], INCOMPLETE, 1)


class CommandLine(StartupTestCase):
    def test_info_shows_the_info_text(self):
        exe = self.small_sfx("--info", "Made for the tests.\nSecond line.")
        self.assert_box_then_exit(exe, ["-info"], "Made for the tests.\nSecond line.", 0)

    def test_quoted_program_name_keeps_the_tail(self):
        # A name with a blank arrives quoted; -info in the tail still counts.
        exe = self.small_sfx("--info", "found", name="with space.exe")
        self.assert_box_then_exit(exe, ["x", "-info"], "found", 0)  # a plain word is ignored

    def test_auto_folder_longer_than_a_path_is_refused(self):
        exe = self.small_sfx()
        folder = "C:\\" + "f" * 258  # 261 characters
        self.assert_box_then_exit(exe, ["/auto", folder], BAD_COMMAND_FOLDER, 2)


class StartupPrompt(StartupTestCase):
    def test_prompt_buttons_and_answers(self):
        cases = [
            # buttons option, buttons shown, key, the dialog comes
            ("ok", ["OK"], "Return", True),
            ("okcancel", ["Cancel", "OK"], "Escape", False),
            ("okcancel", ["Cancel", "OK"], "Return", True),
            ("yesno", ["&No", "&Yes"], "n", False),
            ("yesno", ["&No", "&Yes"], "y", True),
        ]
        for buttons_option, shown_buttons, key, goes_on in cases:
            with self.subTest(buttons=buttons_option, key=key):
                exe = self.small_sfx("--prompt", "Go on?", "--prompt-buttons", buttons_option,
                                     "--title", "Prompt Title", name=f"p-{buttons_option}.exe")
                program = self.start(exe)
                wid, text, buttons = box(program, "Prompt Title")
                self.assertEqual(text, "Go on?")
                self.assertEqual(buttons, shown_buttons)
                answer(wid, key)
                if goes_on:
                    dialog_wid, _ = dialog(program, exe)
                    answer(dialog_wid, "Escape")
                else:
                    self.assertEqual(winelib.windows_titled(dialog_title(exe)), [])
                # Declined, or the dialog closed without unzipping: cancelled either way.
                self.wait_exit(program, 3)


# A DLL named like the shell library that leaves a mark when it is loaded.
PLANTED_DLL_SOURCE = r"""
#include <windows.h>
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    HANDLE mark = CreateFileA("planted-dll-ran", GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
    if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
  }
  return TRUE;
}
"""


class DllPlanting(StartupTestCase):
    @unittest.skipUnless(shutil.which("i686-w64-mingw32-gcc") and shutil.which("x86_64-w64-mingw32-gcc"),
                         "needs the MinGW compilers")
    def test_shell_library_comes_from_the_system_folder(self):
        # A downloads folder may hold anything: here a "Shell32.dll" beside
        # the self-extractor, and Wine told to prefer such a file to its own.
        folder = self.scratch / "downloads"
        folder.mkdir()
        source = self.scratch / "planted.c"
        source.write_text(PLANTED_DLL_SOURCE)
        subprocess.run([winelib.cross_compiler("gcc"), "-shared", "-s", "-o", str(folder / "Shell32.dll"),
                        str(source)], check=True)
        exe = self.small_sfx()
        exe = exe.rename(folder / exe.name)
        overrides = os.environ.get("WINEDLLOVERRIDES", "")
        program = self.start(exe, cwd=str(folder),
                             env={"WINEDLLOVERRIDES": f"{overrides};shell32=n,b".lstrip(";")})
        wid, shown = dialog(program, exe)
        self.assertIn(BROWSE, shown, "the system's shell library was loaded")
        answer(wid, "Escape")
        self.wait_exit(program, 3)  # closed without unzipping
        self.assertFalse((folder / "planted-dll-ran").exists(), "the planted DLL ran")


if __name__ == "__main__":
    winelib.main()
