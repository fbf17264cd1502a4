#!/usr/bin/env python3
"""A folder link planted below the target folder under Wine (a Unix symlink to
a folder shows as a reparse point): the stub refuses to unzip through it,
names it, exits 1, and nothing lands where it leads."""
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


if __name__ == "__main__":
    winelib.main()
