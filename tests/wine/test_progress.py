#!/usr/bin/env python3
"""The progress meter under Wine: shown at once for an archive whose end
record lies past 512 KiB, with a click during the pass, which asks "Abort
unzip operation?" (No goes on, Yes aborts and leaves the partial file); and
for a smaller archive, shown by its timer, whose tick does not count while
an overwrite prompt is open.

The tests hold the pass where they need it, however fast the machine: an
overwrite prompt stops it at a known file, and the program is stopped
(SIGSTOP) while the prompt is answered, so that what must meet the pass (a
click, a due tick of the timer) is already waiting when it goes on."""
import os
import subprocess
import time
import unittest

import winelib
from sfxlib import (CAPTION, METER, STATUS_LINE, UNZIP, SfxTestCase, answer, answer_box, box,
                    controls, dialog, dialog_title)

RANDOM_SIZE = 700 * 1024      # does not compress: puts the end record past 512 KiB
LARGE_SIZE = 4 * 1024 * 1024  # compresses to almost nothing
OLD = b"old\n"
YES = 6  # the Yes button of a message box

# The period of the stub's meter timer, in seconds.
METER_TIMER_PERIOD = 0.5

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


def meter_drawing_fault(wid):
    """What a screenshot of the dialog lacks of the bar at the bottom (a
    filled part in the highlight colour, the file name across the rest),
    or None when it shows both."""
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
    if not filled:
        return f"no filled part of the bar in {shot}"
    edge = max(filled)
    text_pixels = sum(is_highlight(row[x]) for row in strip for x in range(edge + 1, columns))
    if text_pixels <= 30:
        return f"no text across the bar in {shot}"
    return None


def let_a_tick_fall_due():
    """Called while the program is stopped: lets more than a period of the
    meter timer pass. The timer runs on the clock, so a tick is due when the
    program goes on. A lower bound on time, not a guess at the program's
    speed: the program does nothing meanwhile."""
    time.sleep(2 * METER_TIMER_PERIOD)


class OverwritePrompts(SfxTestCase):
    def overwrite_prompt(self, program, name):
        prompt, text, _ = box(program)
        self.assertTrue(text.endswith(f"{name} already exists.  Overwrite file?"), text)
        return prompt


class Progress(OverwritePrompts):
    def setUp(self):
        super().setUp()
        self.source = self.tree({"a-random.bin": os.urandom(RANDOM_SIZE),
                                 "b-large.bin": bytes(LARGE_SIZE)})
        self.target = self.scratch / "target"
        self.target.mkdir()
        # Its overwrite prompt holds the pass between the two files.
        self.large = self.target / "b-large.bin"
        self.large.write_bytes(OLD)
        self.exe = self.sfx(self.source, "--folder", winelib.windows_path(self.target))
        self.assertGreater(self.exe.stat().st_size, 512 * 1024)

    def start_pass_and_click(self):
        """Starts a pass; at the prompt before the second file, answers Yes
        and clicks Close while the program is stopped. A program takes
        posted messages before input, so the prompt takes the Yes and the
        pass finds the click. Returns the question box it brings."""
        program = self.start(self.exe)
        wid, shown = dialog(program, self.exe)
        self.assertFalse(shown[METER].visible)
        winelib.press_command(dialog_title(self.exe), UNZIP)
        prompt = self.overwrite_prompt(program, "b-large.bin")
        self.assertTrue(controls(self.exe)[METER].visible, "meter shown at once")
        with program.stopped():
            winelib.press_command(winelib.by_x_id(prompt), YES)
            winelib.click(wid, CLOSE_FROM_RIGHT, CLOSE_FROM_BOTTOM)
        winelib.wait_closed(prompt)
        question, text, buttons = box(program)
        self.assertEqual(text, "Abort unzip operation?")
        self.assertEqual(buttons, ["&No", "&Yes"])
        return program, wid, question

    def wait_meter_drawn(self, wid):
        """Waits until a screenshot shows the bar drawn (what the program
        drew reaches the screen a little later)."""
        fault = {}

        def drawn():
            fault["last"] = meter_drawing_fault(wid)
            return fault["last"] is None

        try:
            winelib.wait_until(drawn, "meter drawn")
        except winelib.WineTestError as error:
            self.fail(f"{fault['last']} ({error})")

    def test_no_goes_on_with_the_meter_shown(self):
        program, wid, question = self.start_pass_and_click()
        shown = controls(self.exe)
        self.assertTrue(shown[METER].visible)
        self.assertFalse(shown[STATUS_LINE].visible, "the meter takes the status line's place")
        self.wait_meter_drawn(wid)
        answer_box(question, "n")
        done, text, _ = box(program, timeout=120)
        self.assertEqual(text, "2 file(s) unzipped successfully")
        after = controls(self.exe)
        self.assertFalse(after[METER].visible)
        self.assertTrue(after[STATUS_LINE].visible)
        answer_box(done, "Return")
        self.assert_tree_extracted(self.source, self.target)
        answer(wid, "Escape")
        self.wait_exit(program, 0)

    def test_yes_aborts_and_leaves_the_partial_file(self):
        program, wid, question = self.start_pass_and_click()
        answer(question, "y")
        self.wait_exit(program, 3)  # the user aborted
        self.assertEqual(winelib.windows_titled(CAPTION), [])
        partial = self.large.read_bytes()
        self.assertTrue(0 < len(partial) < LARGE_SIZE, f"the pass stopped in the middle: "
                        f"{len(partial)} bytes")
        self.assertEqual(partial, bytes(len(partial)), "the start of the new file")


class MeterTimer(OverwritePrompts):
    def test_small_archive_shows_the_meter_by_its_timer_after_a_prompt(self):
        # The end record lies before 512 KiB: the meter waits for the timer,
        # whose tick is ignored while the overwrite prompt is open.
        source = self.tree({"a-exists.txt": b"new\n", "b-large.bin": bytes(LARGE_SIZE),
                            "c-exists.txt": b"new\n"})
        target = self.scratch / "target"
        target.mkdir()
        for name in ("a-exists.txt", "c-exists.txt"):
            (target / name).write_bytes(OLD)
        exe = self.sfx(source, "--folder", winelib.windows_path(target))
        self.assertLess(exe.stat().st_size, 512 * 1024)
        program = self.start(exe)
        wid, _ = dialog(program, exe)
        winelib.press_command(dialog_title(exe), UNZIP)
        prompt = self.overwrite_prompt(program, "a-exists.txt")

        # A tick falls due while the prompt is open. Once the program is idle
        # again it has taken the tick, and controls() reads after it has
        # dealt with it.
        with program.stopped():
            let_a_tick_fall_due()
        winelib.wait_idle(winelib.by_x_id(prompt))
        self.assertFalse(controls(exe)[METER].visible, "no meter while the prompt is open")

        # Yes, with the next tick due: the pass goes on and meets the tick.
        with program.stopped():
            winelib.press_command(winelib.by_x_id(prompt), YES)
            let_a_tick_fall_due()
        winelib.wait_closed(prompt)
        # The prompt for the last file holds the pass with the meter up.
        prompt = self.overwrite_prompt(program, "c-exists.txt")
        shown = controls(exe)
        self.assertTrue(shown[METER].visible, "meter shown by the timer")
        self.assertFalse(shown[STATUS_LINE].visible)
        answer_box(prompt, "y")
        done, text, _ = box(program, timeout=120)
        self.assertEqual(text, "3 file(s) unzipped successfully")
        answer_box(done, "Return")
        answer(wid, "Escape")
        self.wait_exit(program, 0)


if __name__ == "__main__":
    winelib.main()
