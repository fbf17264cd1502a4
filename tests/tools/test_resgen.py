#!/usr/bin/env python3
"""The resource generator refuses output that would put a ZIP signature or the
settings marker into the stub, whole or cut across two of its arrays, or
dialogs whose control names disagree with the ids of ui/controls.h, and writes
nothing then.

Usage: test_resgen.py --bin DIR (DIR is not used: the generator is a script)
"""
import os
import runpy
import subprocess
import sys
import tempfile
import unittest
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GENERATOR = os.path.join(ROOT, "tools", "resgen", "resgen.py")
SOURCE = os.path.join(ROOT, "base", "messages.py")
CONTROLS = os.path.join(ROOT, "ui", "controls.h")

sys.path.insert(0, os.path.dirname(GENERATOR))
sys.dont_write_bytecode = True
import resgen  # noqa: E402


class ForbiddenSequences(unittest.TestCase):
    def test_finds_patterns_inside_and_cut_at_either_end(self):
        cases = [
            (b"abcPK\x05\x06def", True),
            (b"QJV\x01sfx\x02", True),
            (b"abcPK", True),             # "PK" here and a tail in the next array
            (b"\x03\x04abc", True),       # the tail of a local header signature
            (b"K\x07\x08abc", True),
            (b"abcQJV\x01", True),        # the head of the marker
            (b"sfx\x02abc", True),
            (b"abcP", False),             # one byte alone: its neighbour would need three
            (b"PK\x03\x05", False),
            (b"", False),
        ]
        for block, refused in cases:
            with self.subTest(block=block):
                self.assertEqual(bool(resgen.forbidden_sequences(block)), refused)


class Generator(unittest.TestCase):
    def run_generator(self, source, controls=CONTROLS):
        with tempfile.TemporaryDirectory() as folder:
            output = os.path.join(folder, "resource_data.cpp")
            result = subprocess.run(
                [sys.executable, GENERATOR, "--source", source, "--controls", controls, "--output", output],
                capture_output=True, text=True)
            return result, os.path.exists(output)

    def write_changed(self, original_path, folder, replacements):
        """A copy of `original_path` in `folder`, each (old, new) replaced."""
        with open(original_path, encoding="ascii") as original:
            text = original.read()
        for old, new in replacements:
            self.assertIn(old, text)
            text = text.replace(old, new)
        path = os.path.join(folder, os.path.basename(original_path))
        with open(path, "w", encoding="utf-8") as changed:
            changed.write(text)
        return path

    def write_source(self, folder, replacements):
        return self.write_changed(SOURCE, folder, replacements)

    def test_real_source_generates(self):
        result, written = self.run_generator(SOURCE)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(written)

    def test_bad_sources_fail_without_output(self):
        cases = [
            ("non-ASCII message", [('"Setup"', '"Setup\u00e9"')]),
            ("carriage return", [('"Setup"', '"Set\\r\\nup"')]),
            ("unknown style", [("WS_GROUP | SS_LEFT | SS_NOPREFIX", "WS_GROUP | SS_LEFTY")]),
            ("two controls with one accelerator", [('"&Run Arcula"', '"Run &Arcula"')]),
        ]
        for name, replacements in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                result, written = self.run_generator(self.write_source(folder, replacements))
                self.assertNotEqual(result.returncode, 0)
                self.assertIn("resgen:", result.stderr)
                self.assertFalse(written)

    def test_control_ids_that_disagree_fail_naming_the_control(self):
        # (case, changes to messages.py, changes to controls.h, what the error says)
        cases = [
            ("a dialog names a control the header lacks",
             [('"kHelpButton"', '"kHelpButtn"')], [], "kHelpButtn, which ui/controls.h lacks"),
            ("the header lost a control a dialog has",
             [], [("const int kFolderField = 106;\n", "")], "kFolderField, which ui/controls.h lacks"),
            ("a dialog writes a number instead of a name",
             [('"kStatusLine"', "109")], [], "the id 109; name it"),
            ("the header declares a control no dialog has",
             [], [("#pragma once\n", "#pragma once\nconst int kSpareButton = 120;\n")],
             "declares kSpareButton, which no dialog has"),
            ("two controls of a dialog get one id",
             [], [("kAboutButton = 112;", "kAboutButton = 104;")],
             "kAboutButton and kHelpButton share the id 104"),
            ("an id too large for a template",
             [], [("kMeterControl = 201;", "kMeterControl = 65536;")], "kMeterControl has the id 65536"),
            ("a name declared twice",
             [], [("#pragma once\n", "#pragma once\nconst int kStatusLine = 110;\n")],
             "kStatusLine is declared twice"),
            ("an id the reader cannot follow",
             [], [("kBrowseButton = 115;", "kBrowseButton = kAboutButton + 3;")],
             "not a control id of the form"),
        ]
        for name, source_changes, header_changes, message in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                source = self.write_changed(SOURCE, folder, source_changes)
                controls = self.write_changed(CONTROLS, folder, header_changes)
                result, written = self.run_generator(source, controls)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(message, result.stderr)
                self.assertFalse(written)

    def test_a_signature_in_every_compression_fails(self):
        # Pretend the first two bytes of every candidate stream were a
        # signature's head: no setting is left, and the generator gives up.
        messages = runpy.run_path(SOURCE)["MESSAGES"]
        table, _ = resgen.string_table(messages, b"")
        heads = {resgen.deflate(table, 9, memory_level, strategy)[-2:]
                 for memory_level in (9, 8) for strategy in (zlib.Z_DEFAULT_STRATEGY, zlib.Z_FILTERED)}
        saved = resgen.FORBIDDEN
        try:
            resgen.FORBIDDEN = [head + b"\x01\x02" for head in heads]
            with self.assertRaises(resgen.ResourceError):
                resgen.compress_clean(table, "string table")
        finally:
            resgen.FORBIDDEN = saved


if __name__ == "__main__":
    arguments = sys.argv[:1]
    rest = sys.argv[1:]
    while rest[:1] in (["--bin"], ["--stub"]):  # the generator needs neither
        rest = rest[2:]
    unittest.main(argv=arguments + rest)
