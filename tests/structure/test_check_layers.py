#!/usr/bin/env python3
"""The layer check on the real tree, and on small trees that break each rule."""
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
CHECK = os.path.join(HERE, "check_layers.py")
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))


def run_check(root):
    result = subprocess.run([sys.executable, CHECK, root], capture_output=True, text=True)
    return result.returncode, result.stdout


def make_tree(files):
    """files: {path: the names it includes, or its whole text}."""
    root = tempfile.mkdtemp(prefix="layers-")
    for path, content in files.items():
        os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
        with open(os.path.join(root, path), "w", encoding="utf-8") as source:
            source.write(content if isinstance(content, str) else "".join(f"#include {name}\n" for name in content))
    return root


class CheckLayers(unittest.TestCase):
    def test_the_project_tree_passes(self):
        code, output = run_check(ROOT)
        self.assertEqual(code, 0, output)

    def test_faulty_trees_are_refused(self):
        cases = {
            "middle includes the top": (
                {"paths/a.cpp": ['"ui/b.h"'], "ui/b.h": []}, "runs back up"),
            "the base includes the decoder": (
                {"base/work.cpp": ['"inflate/c.h"'], "inflate/c.h": []}, "runs back up"),
            "the decoder includes the archive input": (
                {"inflate/tables.cpp": ['"archive/input.h"'], "archive/input.h": []}, "runs back up"),
            "a function declared below and defined above": (
                {"inflate/inflate.h": "void Emit(int length);\n",
                 "extract/output.cpp": '#include "inflate/inflate.h"\nvoid Emit(int length) {\n}\n'},
                "Emit, declared in inflate/inflate.h, is defined in extract/"),
            "platform includes the start-up": (
                {"platform/win32/entry.cpp": ['"stub/startup.h"'], "stub/startup.h": []}, "runs back up"),
            "a cycle across two folders": (
                {"archive/a.cpp": ['"inflate/b.h"'], "archive/a.h": [],
                 "inflate/b.cpp": ['"archive/a.h"'], "inflate/b.h": []}, "include cycle"),
            "a cycle of three modules": (
                {"paths/a.h": ['"paths/b.h"'], "paths/b.h": ['"paths/c.h"'], "paths/c.h": ['"paths/a.h"']},
                "include cycle"),
            "an OS header outside platform": ({"ui/a.cpp": ["<windows.h>"]}, "platform/ only"),
        }
        for name, (files, expected) in cases.items():
            with self.subTest(name):
                code, output = run_check(make_tree(files))
                self.assertEqual(code, 1, output)
                self.assertIn(expected, output)

    def test_what_is_allowed(self):
        cases = {
            "a two-module cycle in one folder": {
                "archive/a.cpp": ['"archive/b.h"'], "archive/a.h": [],
                "archive/b.cpp": ['"archive/a.h"'], "archive/b.h": []},
            "the named progress port": {
                "base/progress.h": "void ShowMeterStep(unsigned done);\n",
                "ui/progress.cpp": '#include "base/progress.h"\nvoid ShowMeterStep(unsigned done) {\n}\n'},
            "a function declared and defined in one folder": {
                "archive/input.h": "int RefillInput();\n",
                "archive/input.cpp": '#include "archive/input.h"\nint RefillInput() {\n  return 0;\n}\n'},
        }
        for name, files in cases.items():
            with self.subTest(name):
                code, output = run_check(make_tree(files))
                self.assertEqual(code, 0, output)


if __name__ == "__main__":
    unittest.main()
