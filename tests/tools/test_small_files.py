#!/usr/bin/env python3
"""Many small files: arcula-headless unpacks a tree of a few hundred files in
a few folders, under strace, and asks the file system each thing once. The
folders are listed once each (not once per file, which made a folder of n
files cost n listings of n names), each folder below the target is opened
for the link check once and made once, and each file's name is looked up
once before it is created.

Run as: python3 test_small_files.py --bin DIR [--stub FILE]
"""
import collections
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile

import toollib

BIN = None
STUB = None
FOLDERS = ("a", "b", "a/deep", "a/deep/er")
FILES_PER_FOLDER = 60
TRACED = "openat,open,mkdir,mkdirat,newfstatat,lstat,stat,statx,unlinkat,unlink"
CALL = re.compile(r"^(?:\[pid\s+\d+\]\s+|\d+\s+)?(\w+)\((.*)\)\s+=")


def file_names():
    """Each with a name of its own, so that a lookup by the bare name counts for one file."""
    return ["%s/%s-%03d.txt" % (folder, folder.replace("/", "-"), index)
            for folder in FOLDERS for index in range(FILES_PER_FOLDER)]


@unittest.skipIf(shutil.which("strace") is None, "strace is not installed")
class SmallFiles(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="small-files-")
        archive = os.path.join(self.work, "tree.zip")
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as out:
            for name in file_names():
                out.writestr(name, "small file %s\n" % name)
        self.exe = os.path.join(self.work, "tree.exe")
        made = subprocess.run([os.path.join(BIN, "arcula-mksfx"), "--stub", STUB, archive, self.exe],
                              capture_output=True, text=True)
        self.assertEqual(made.returncode, 0, made.stderr)

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def traced_calls(self, target):
        """(name, arguments) of every traced call of one unpacking into target."""
        log = os.path.join(self.work, "strace.log")
        # The leak check of a sanitized build cannot run under ptrace; the
        # other tests run it.
        environment = dict(os.environ, ASAN_OPTIONS="detect_leaks=0")
        result = subprocess.run(["strace", "-f", "-qq", "-o", log, "-e", "trace=" + TRACED,
                                 os.path.join(BIN, "arcula-headless"), "--folder", target, self.exe, "/AUTO"],
                                capture_output=True, text=True, env=environment)
        self.assertEqual(result.returncode, 0, result.stderr)
        for name in file_names():
            with open(os.path.join(target, name)) as f:
                self.assertEqual(f.read(), "small file %s\n" % name)
        calls = []
        with open(log) as f:
            for line in f:
                match = CALL.match(line)
                if match:
                    calls.append((match.group(1), match.group(2)))
        return calls

    def test_each_thing_is_asked_once(self):
        target = os.path.join(self.work, "out")
        calls = self.traced_calls(target)
        files = len(file_names())
        # From the target's creation on: start-up looks at the program's own path before.
        first_made = next(i for i, (name, _) in enumerate(calls) if name in ("mkdir", "mkdirat"))
        in_pass = calls[first_made:]

        listings = [args for name, args in in_pass if name in ("open", "openat")
                    and "O_DIRECTORY" in args and "O_PATH" not in args]
        self.assertLessEqual(len(listings), len(FOLDERS) + 1, "folders listed more than once each")

        link_checks = [args for name, args in calls if name == "openat" and "O_PATH" in args and "O_NOFOLLOW" in args]
        self.assertLessEqual(len(link_checks), len(FOLDERS), "folders opened for the link check per file")

        made = [args for name, args in calls if name in ("mkdir", "mkdirat")]
        self.assertEqual(len(made), len(FOLDERS) + 1, "each folder and the target made once")

        looked_up = collections.Counter()
        for name, args in calls:
            if name in ("newfstatat", "lstat", "stat", "statx"):
                found = re.search(r'"([^"]*)"', args)
                if found and found.group(1).endswith(".txt"):
                    looked_up[os.path.basename(found.group(1))] += 1
        self.assertEqual(len(looked_up), files)
        self.assertEqual(set(looked_up.values()), {1}, "a file's name looked up more than once")
        self.assertEqual([args for name, args in calls if name.startswith("unlink")], [],
                         "new files removed before they were made")


def main():
    global BIN, STUB
    BIN, STUB, argv = toollib.tool_arguments("test_small_files")
    unittest.main(argv=argv)


if __name__ == "__main__":
    main()
