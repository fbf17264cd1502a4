#!/usr/bin/env python3
"""Start-up of the plain stub (no settings filled in, no archive behind it)
under Wine: it must come up and end by itself with exit code 0."""
import shutil
import tempfile
import unittest
from pathlib import Path

import winelib

START_TIMEOUT = 30.0


class PlainStubStartup(unittest.TestCase):
    def test_exits_with_zero_without_hanging(self):
        result = winelib.run(winelib.STUB, timeout=START_TIMEOUT)
        self.assertEqual(result.code, 0, f"stderr: {result.stderr}")

    def test_quoted_program_name_and_arguments(self):
        # The entry point cuts the program name off the command line: a name
        # with a space arrives quoted, and the tail follows it.
        with tempfile.TemporaryDirectory() as folder:
            stub = Path(folder) / "with space" / "setup.exe"
            stub.parent.mkdir()
            shutil.copy(winelib.STUB, stub)
            result = winelib.run(stub, ["-d", "Z:\\some folder", "extra"],
                                 timeout=START_TIMEOUT)
        self.assertEqual(result.code, 0, f"stderr: {result.stderr}")


if __name__ == "__main__":
    winelib.main()
