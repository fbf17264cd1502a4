#!/usr/bin/env python3
"""A pass long enough to watch, under Wine: the progress meter of an
archive whose end record lies past 512 KiB, and a click during the pass,
which asks "Abort unzip operation?" (No goes on, Yes aborts and leaves the
partial file)."""
import os
import subprocess
import time
import unittest

import winelib
from sfxlib import (CAPTION, METER, STATUS_LINE, UNZIP, SfxTestCase, answer, answer_box, box,
                    controls, dialog, dialog_title, wait_for)

RANDOM_SIZE = 700 * 1024      # does not compress: puts the end record past 512 KiB
LARGE_SIZE = 48 * 1024 * 1024  # compresses to almost nothing, takes seconds to write

# Where the Close button lies, from the dialog's bottom-right corner (pixels
# of the template's font under Wine).
CLOSE_FROM_RIGHT = 57
CLOSE_FROM_BOTTOM = 109


def rgb_rows(png):
    """The image as rows of (r, g, b) tuples, through ImageMagick's PPM."""
    data = subprocess.run(["convert", str(png), "-depth", "8", "ppm:-"], check=True,
                          stdout=subprocess.PIPE).stdout
    fields = data.split(maxsplit=4)
    width, height = int(fields[1]), int(fields[2])
    pixels = fields[4]
    return [[tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]


def is_highlight(pixel):
    red, green, blue = pixel
    return blue >= 200 and red <= 110 and 110 <= green <= 190


class Progress(SfxTestCase):
    def setUp(self):
        super().setUp()
        self.source = self.tree({"a-random.bin": os.urandom(RANDOM_SIZE),
                                 "b-large.bin": bytes(LARGE_SIZE)})
        self.target = self.scratch / "target"
        self.exe = self.sfx(self.source, "--folder", winelib.windows_path(self.target))
        self.large = self.target / "b-large.bin"

    def start_pass_and_click(self):
        """Starts a pass, waits for the meter, clicks Close: the question box."""
        program = self.start(self.exe)
        wid, shown = dialog(program, self.exe)
        self.assertFalse(shown[METER].visible)
        winelib.press_command(dialog_title(self.exe), UNZIP)
        wait_for(lambda: controls(self.exe)[METER].visible, "meter shown")
        winelib.click(wid, CLOSE_FROM_RIGHT, CLOSE_FROM_BOTTOM)
        question, text, buttons = box(program)
        self.assertEqual(text, "Abort unzip operation?")
        self.assertEqual(buttons, ["&No", "&Yes"])
        return program, wid, question

    def assert_meter_drawn(self, wid):
        """A screenshot of the dialog shows the bar at the bottom: a filled
        part in the highlight colour and the file name across the rest."""
        shot = winelib.artifacts_dir() / "meter.png"
        shot.parent.mkdir(parents=True, exist_ok=True)
        geometry = dict(line.split("=", 1) for line in subprocess.run(
            ["xdotool", "getwindowgeometry", "--shell", str(wid)], check=True,
            stdout=subprocess.PIPE, text=True).stdout.split())
        crop = f"{geometry['WIDTH']}x{geometry['HEIGHT']}+{geometry['X']}+{geometry['Y']}"
        subprocess.run(["import", "-window", "root", "-crop", crop, str(shot)], check=True)
        rows = rgb_rows(shot)
        strip = rows[int(len(rows) * 0.85):]
        columns = len(strip[0])
        filled = [x for x in range(columns) if sum(is_highlight(row[x]) for row in strip) >= 8]
        self.assertTrue(filled, f"no filled part of the bar in {shot}")
        edge = max(filled)
        text_pixels = sum(is_highlight(row[x]) for row in strip for x in range(edge + 1, columns))
        self.assertGreater(text_pixels, 30, f"no text across the bar in {shot}")

    def test_no_goes_on_with_the_meter_shown(self):
        program, wid, question = self.start_pass_and_click()
        shown = controls(self.exe)
        self.assertTrue(shown[METER].visible)
        self.assertFalse(shown[STATUS_LINE].visible, "the meter takes the status line's place")
        self.assert_meter_drawn(wid)
        answer_box(question, "n")
        done, text, _ = box(program, timeout=120)
        self.assertEqual(text, "2 file(s) unzipped successfully")
        after = controls(self.exe)
        self.assertFalse(after[METER].visible)
        self.assertTrue(after[STATUS_LINE].visible)
        answer(done, "Return")
        self.assert_tree_extracted(self.source, self.target)
        answer(wid, "Escape")
        self.wait_exit(program, 0)

    def test_yes_aborts_and_leaves_the_partial_file(self):
        program, wid, question = self.start_pass_and_click()
        answer(question, "y")
        self.wait_exit(program, 1)
        self.assertEqual(winelib.windows_titled(CAPTION), [])
        self.assertTrue(self.large.is_file())
        self.assertLess(self.large.stat().st_size, LARGE_SIZE, "the pass stopped in the middle")


class MeterTimer(SfxTestCase):
    def test_small_archive_shows_the_meter_by_its_timer_after_a_prompt(self):
        # The end record lies before 512 KiB: the meter waits for the timer,
        # whose tick is ignored while the overwrite prompt is open.
        source = self.tree({"a-exists.txt": b"new\n", "b-large.bin": bytes(LARGE_SIZE)})
        target = self.scratch / "target"
        target.mkdir()
        (target / "a-exists.txt").write_bytes(b"old\n")
        exe = self.sfx(source, "--folder", winelib.windows_path(target))
        self.assertLess(exe.stat().st_size, 512 * 1024)
        program = self.start(exe)
        wid, _ = dialog(program, exe)
        winelib.press_command(dialog_title(exe), UNZIP)
        prompt, text, _ = box(program)
        self.assertTrue(text.endswith("a-exists.txt already exists.  Overwrite file?"), text)
        time.sleep(1.5)  # three periods of the timer
        self.assertFalse(controls(exe)[METER].visible, "no meter while the prompt is open")
        answer_box(prompt, "y")
        wait_for(lambda: controls(exe)[METER].visible, "meter shown by the timer")
        done, text, _ = box(program, timeout=120)
        self.assertEqual(text, "2 file(s) unzipped successfully")
        answer(done, "Return")
        answer(wid, "Escape")
        self.wait_exit(program, 0)


if __name__ == "__main__":
    winelib.main()
