"""Helpers of the end-to-end tests that run self-extractors under Wine:
making them with arcula-mksfx, trees of files to put in them, the stub's
dialog and message boxes, and patching a built file.

Uses winelib for the session, programs, windows and control texts.
"""
import os
import shutil
import struct
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

import winelib

CAPTION = "Arcula Self-Extractor"

# Control id of a message box's text under Wine.
BOX_TEXT = 0xFFFF

# Control ids of the main dialog.
_IDS = winelib.control_ids()
INTRODUCTION = _IDS["kIntroductionControl"]
OVERWRITE_BOX = _IDS["kOverwriteCheckbox"]
HELP = _IDS["kHelpButton"]
FOLDER_FIELD = _IDS["kFolderField"]
STATUS_LINE = _IDS["kStatusLine"]
UNUSED_BOX = _IDS["kUnusedCheckbox"]
ABOUT = _IDS["kAboutButton"]
RUN_ARCHIVER = _IDS["kRunArchiverButton"]
BROWSE = _IDS["kBrowseButton"]
METER = _IDS["kMeterControl"]
UNZIP = _IDS["kUnzipButton"]
CLOSE = _IDS["kCloseButton"]

SETTINGS_MARKER = b"QJV\x01sfx\x02"
COMPLETENESS_FIELD = 42  # offset of the completeness word in the settings block

# A fixed modification time, on an even second (DOS times have 2-second
# steps), for files whose times are compared after the round trip.
FIXED_TIME = time.mktime((2021, 3, 4, 5, 6, 8, 0, 0, -1))


class SfxTestCase(unittest.TestCase):
    """A test case with a scratch folder (self.scratch), removed afterwards,
    and programs it started killed if still running."""

    def setUp(self):
        self._scratch = tempfile.TemporaryDirectory(prefix="arcula-wine-")
        self.scratch = Path(self._scratch.name)
        self.programs = []

    def tearDown(self):
        for program in self.programs:
            program.kill()
        self._scratch.cleanup()

    def start(self, exe, args=(), cwd=None, env=None):
        program = winelib.start(exe, args, cwd=cwd, env=env)
        self.programs.append(program)
        return program

    def tree(self, files, name="source"):
        """A folder of files: {relative path: bytes}, all with FIXED_TIME."""
        root = self.scratch / name
        for relative, content in files.items():
            path = root / relative
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(content)
            os.utime(path, (FIXED_TIME, FIXED_TIME))
        root.mkdir(parents=True, exist_ok=True)
        return root

    def sfx(self, source, *options, name="setup.exe"):
        """A self-extractor of `source` made with arcula-mksfx."""
        out = self.scratch / name
        result = subprocess.run(
            [str(winelib.HOST_BIN / "arcula-mksfx"), "--stub", str(winelib.STUB), *options,
             str(source), str(out)],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        return out

    def assert_tree_extracted(self, source, target):
        """Every file of `source` is in `target` with the same bytes and time."""
        for path in sorted(p for p in source.rglob("*") if p.is_file()):
            copy = target / path.relative_to(source)
            self.assertTrue(copy.is_file(), f"{copy} missing")
            self.assertEqual(copy.read_bytes(), path.read_bytes(), f"{copy} differs")
            self.assertEqual(int(copy.stat().st_mtime), int(path.stat().st_mtime),
                             f"{copy}: time not restored")

    def wait_exit(self, program, code, timeout=winelib.DEFAULT_RUN_TIMEOUT):
        result = program.wait(timeout)
        self.assertEqual(result.code, code, f"exit code; stderr: {result.stderr[-2000:]}")
        return result


def dialog_title(exe):
    return f"{CAPTION} - {Path(exe).name}"


def box(program, title=CAPTION, timeout=winelib.DEFAULT_WINDOW_TIMEOUT):
    """Waits for a message box titled `title`: its X id, its text and the
    texts of its buttons. (A box answered before must have been waited out:
    see answer_box.)"""
    wid = winelib.find_window(title, timeout, program)
    texts = {control.id: control for control in winelib.controls(winelib.by_x_id(wid))}
    text = texts[BOX_TEXT].text if BOX_TEXT in texts else ""
    return wid, text, buttons(texts)


def buttons(controls_by_id):
    return sorted(c.text for c in controls_by_id.values() if c.class_name.lower() == "button")


def answer(wid, *keys):
    winelib.key(wid, *keys)


def answer_box(wid, *keys):
    """Answers a box and waits until that box is gone (another box of the
    same title may already have taken its place)."""
    winelib.dismiss(wid, *keys)


def dialog(program, exe, timeout=winelib.DEFAULT_WINDOW_TIMEOUT):
    """Waits for the main dialog of `exe`; its X id and controls by id."""
    title = dialog_title(exe)
    wid = winelib.find_window(title, timeout, program)
    return wid, {control.id: control for control in winelib.controls(title)}


def controls(exe):
    return {control.id: control for control in winelib.controls(dialog_title(exe))}


def settings_offset(data):
    offset = data.find(SETTINGS_MARKER)
    assert offset >= 0 and data.find(SETTINGS_MARKER, offset + 1) < 0, "one settings block"
    return offset


def patch(path, offset, new_bytes):
    data = bytearray(Path(path).read_bytes())
    data[offset:offset + len(new_bytes)] = new_bytes
    Path(path).write_bytes(bytes(data))


def copy_as(exe, folder, name):
    folder.mkdir(parents=True, exist_ok=True)
    target = folder / name
    shutil.copy(exe, target)
    return target


def u32(value):
    return struct.pack("<I", value)
