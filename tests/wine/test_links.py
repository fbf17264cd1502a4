#!/usr/bin/env python3
"""Links below the target folder under Wine. A folder link (a Unix symlink to
a folder shows as a reparse point): the stub refuses to unzip through it,
names it, exits 1, and nothing lands where it leads. A hard link to a file
outside: overwritten, it is replaced, and the file outside keeps its bytes."""
import os

import winelib
from sfxlib import SfxTestCase, answer, box

LINK_TEXT = ("Arcula Self-Extractor will not unzip through {}: it is a link, and what it leads to may lie"
             " outside the target folder.")


class Links(SfxTestCase):
    def test_a_folder_link_below_the_target_is_not_followed(self):
        exe = self.sfx(self.tree({"dir/b.txt": b"inside\n", "a.txt": b"a\n"}))
        outside = self.scratch / "outside"
        outside.mkdir()
        target = self.scratch / "target"
        target.mkdir()
        os.symlink(outside, target / "dir")
        program = self.start(exe, ["/auto", winelib.windows_path(target)])
        wid, text, _ = box(program)
        self.assertEqual(text, LINK_TEXT.format(winelib.windows_path(target) + "\\dir"))
        answer(wid, "Return")
        self.wait_exit(program, 1)
        self.assertEqual(os.listdir(outside), [])

    def test_a_hard_link_in_the_target_is_replaced_not_written_through(self):
        # A hard link looks like any file; overwriting it gives the name a
        # file of its own and leaves the file outside as it was.
        exe = self.sfx(self.tree({"a.txt": b"inside\n"}))
        outside = self.scratch / "outside"
        outside.mkdir()
        (outside / "a.txt").write_bytes(b"outside\n")
        target = self.scratch / "target"
        target.mkdir()
        os.link(outside / "a.txt", target / "a.txt")
        program = self.start(exe, ["/silent", winelib.windows_path(target), "/overwrite"])
        self.assertEqual(program.wait().code, 0)
        self.assertEqual((target / "a.txt").read_bytes(), b"inside\n")
        self.assertEqual((outside / "a.txt").read_bytes(), b"outside\n")
        self.assertEqual(os.stat(outside / "a.txt").st_nlink, 1)


if __name__ == "__main__":
    winelib.main()
