#!/usr/bin/env python3
"""Real archives end to end: a small tree zipped by Info-ZIP zip, Python's
zipfile, bsdtar and 7-Zip (or given to the builder as a folder) becomes a
self-extractor with arcula-mksfx, which arcula-headless then unpacks as the
stub would. The unpacked tree must be the original one, with the modification
times that the DOS time fields can carry (2-second steps, local time), and
Info-ZIP's `unzip -t` must accept every builder output.

Run as: python3 test_headless.py --bin DIR [--stub FILE]
  DIR holds arcula-mksfx and arcula-headless; the stub comes from --stub, else
  from DIR (a host build puts it there).
"""
import os
import random
import re
import shutil
import subprocess
import tempfile
import time
import unittest

import toollib
import zipfile

BIN = None
STUB = None
PASSWORD = "pw"
CAPTION = "[Arcula Self-Extractor] "

# Local time with daylight saving and an offset from UTC, so that a writer or
# reader that mixes up UTC and local time is off by hours.
os.environ["TZ"] = "Europe/Berlin"
time.tzset()


def run(*command, cwd=None):
    return subprocess.run([str(c) for c in command], cwd=cwd, capture_output=True, text=True, errors="replace")


def mksfx(*args):
    return run(os.path.join(BIN, "arcula-mksfx"), "--stub", STUB, *args)


def headless(*args):
    return run(os.path.join(BIN, "arcula-headless"), *args)


# --- the tree ---------------------------------------------------------------

FILES = {
    "with blank.txt": b"a name with a blank\n",
    "empty.txt": b"",
    "docs/two-k.txt": b"0123456789abcdef" * 128,
    "docs/deep/nested/note.txt": b"deep\n" * 50,
    "big/random.bin": random.Random(7).randbytes(300 * 1024),
}
FOLDERS = {"docs", "docs/deep", "docs/deep/nested", "big", "empty-folder"}
# Summer time, odd seconds (DOS time has 2-second steps), one file per hour.
FIRST_TIME = time.mktime((2022, 7, 1, 12, 34, 57, 0, 0, -1))


def make_tree(root):
    for folder in FOLDERS:
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    for i, (name, data) in enumerate(sorted(FILES.items())):
        path = os.path.join(root, name)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (FIRST_TIME + 3601 * i, FIRST_TIME + 3601 * i))


def read_tree(root):
    """({file: (bytes, mtime)}, {folder}) under root, '/' between components."""
    files, folders = {}, set()
    for folder, dirs, names in os.walk(root):
        for name in dirs:
            folders.add(os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/"))
        for name in names:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, root).replace(os.sep, "/")] = (f.read(), os.stat(path).st_mtime)
    return files, folders


# label, how the ZIP is made (a command run in the tree, a callable, or None
# for the folder itself), whether it is encrypted.
SOURCES = [
    ("zip stored", ["zip", "-q", "-r", "-0", "{zip}", "."], False),
    ("zip deflated", ["zip", "-q", "-r", "{zip}", "."], False),
    ("zip -e", ["zip", "-q", "-r", "-e", "-P", PASSWORD, "{zip}", "."], True),
    ("python seekable", lambda tree, z: toollib.python_zip(tree, z, streamed=False), False),
    ("python streamed", lambda tree, z: toollib.python_zip(tree, z, streamed=True), False),
    ("bsdtar deflate", ["bsdtar", "--format", "zip", "-cf", "{zip}", "."], False),
    ("bsdtar store", ["bsdtar", "--format", "zip", "--options", "zip:compression=store", "-cf", "{zip}", "."],
     False),
    ("bsdtar zipcrypt", ["bsdtar", "--format", "zip", "--options", "zip:encryption=zipcrypt", "--passphrase",
                         PASSWORD, "-cf", "{zip}", "."], True),
    ("7zz deflate", ["7zz", "a", "-bd", "-tzip", "-mm=Deflate", "{zip}", "."], False),
    ("7zz store", ["7zz", "a", "-bd", "-tzip", "-mm=Copy", "{zip}", "."], False),
    ("7zz ZipCrypto", ["7zz", "a", "-bd", "-tzip", "-p" + PASSWORD, "-mem=ZipCrypto", "{zip}", "."], True),
    ("7zz AES-128", ["7zz", "a", "-bd", "-tzip", "-p" + PASSWORD, "-mem=AES128", "{zip}", "."], True),
    ("7zz AES-192", ["7zz", "a", "-bd", "-tzip", "-p" + PASSWORD, "-mem=AES192", "{zip}", "."], True),
    ("7zz AES-256", ["7zz", "a", "-bd", "-tzip", "-p" + PASSWORD, "-mem=AES256", "{zip}", "."], True),
    ("folder", None, False),
    ("folder --password", None, True),
]


class Workspace(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="headless-")
        self.addCleanup(shutil.rmtree, self.dir)
        self.tree = self.path("tree")
        make_tree(self.tree)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def alpha_exe(self, name, *options):
        """A self-extractor of one file, a.txt holding "alpha", built with the
        builder's `options`."""
        source = self.path(name + ".zip")
        with zipfile.ZipFile(source, "w") as z:
            z.writestr("a.txt", b"alpha\n")
        exe = self.path(name + ".exe")
        result = mksfx(*options, source, exe)
        self.assertEqual(result.returncode, 0, result.stderr)
        return exe

    def build(self, label, maker, encrypted):
        """The self-extractor made from the tree by one source."""
        exe = self.path(label.replace(" ", "_") + ".exe")
        if maker is None:
            result = mksfx(*(["--password", PASSWORD] if encrypted else []), self.tree, exe)
        else:
            source = self.path(label.replace(" ", "_") + ".zip")
            if callable(maker):
                maker(self.tree, source)
            else:
                made = run(*[a.replace("{zip}", source) for a in maker], cwd=self.tree)
                self.assertEqual(made.returncode, 0, made.stdout + made.stderr)
            result = mksfx(source, exe)
        self.assertEqual(result.returncode, 0, result.stderr)
        return exe


class RealArchives(Workspace):
    def test_every_source_unpacks_to_the_same_tree(self):
        original, _ = read_tree(self.tree)
        for label, maker, encrypted in SOURCES:
            with self.subTest(label):
                exe = self.build(label, maker, encrypted)
                tested = run("7zz", "t", "-tzip", "-p" + PASSWORD, exe)
                self.assertEqual(tested.returncode, 0, tested.stdout + tested.stderr)

                out = self.path("out-" + label.replace(" ", "_"))
                result = headless("--folder", out, *(["--password", PASSWORD] if encrypted else []), exe)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stderr.splitlines()[-1], "status: %d file(s) unzipped successfully" % len(FILES))
                files, folders = read_tree(out)
                self.assertEqual(folders, FOLDERS)
                self.assertEqual({n: d for n, (d, _) in files.items()}, FILES)
                with zipfile.ZipFile(exe) as z:
                    dos_times = {i.filename.removeprefix("./"): time.mktime(i.date_time + (0, 0, -1))
                                 for i in z.infolist()}
                for name, (_, mtime) in files.items():
                    # Exactly the DOS date and time, read as local time.
                    self.assertEqual(mtime, dos_times[name], name)
                    # The writers round odd seconds up or down. 7-Zip makes
                    # the DOS time with today's daylight-saving offset, not
                    # the one of the file's date, so it may be off by an hour.
                    delta = mtime - original[name][1]
                    if label.startswith("7zz"):
                        delta -= round(delta / 3600) * 3600
                    self.assertLessEqual(abs(delta), 1, name)


def wrong_password(exe):
    """A wrong password that the check byte of every encrypted entry refuses:
    one wrong password in 256 passes that check, and then fails only on the
    CRC, with another message."""
    with zipfile.ZipFile(exe) as z:
        entries = [i for i in z.infolist() if i.flag_bits & 1]
        for number in range(1000):
            candidate = "PW%d" % number
            refused = 0
            for info in entries:
                try:
                    z.open(info, pwd=candidate.encode()).close()
                except RuntimeError:
                    refused += 1
            if refused == len(entries):
                return candidate
    raise AssertionError("no wrong password that every check byte refuses")


class CommandLine(Workspace):
    """The runner's own options, exit statuses and the boxes it prints."""

    def test_passwords_overwrite_and_damage(self):
        exe = self.build("zip -e", SOURCES[2][1], True)
        out = self.path("out")
        damaged = self.path("damaged.exe")
        with open(exe, "rb") as f:
            data = bytearray(f.read())
        # The first section's name: the first byte the self-check covers,
        # with the headers or without them.
        data[int.from_bytes(data[0x3C:0x40], "little") + 248] ^= 1
        with open(damaged, "wb") as f:
            f.write(data)
        header_corrupt = "Arcula Self-Extractor header corrupt.  Possible cause:  bad disk or file transfer error"
        questions = {CAPTION + "File %s already exists.  Overwrite file? [Yes No Cancel]"
                     % (out + "/" + name).replace("/", "\\") for name in FILES}
        rows = [  # label, arguments, exit status, lines expected on stderr, questions asked
            ("no password", ["--folder", out, exe], 4,
             [CAPTION + "No password specified [OK]", "status: Unzip Aborted"], 0),
            ("wrong password", ["--folder", out, "--password", wrong_password(exe), exe], 4,
             [CAPTION + "Incorrect password specified [OK]", "status: Unzip Aborted"], 0),
            ("right password", ["--folder", out, "--password", PASSWORD, exe], 0,
             [CAPTION + "5 file(s) unzipped successfully [OK]", "status: 5 file(s) unzipped successfully"], 0),
            ("files exist: No to every question", ["--folder", out, "--password", PASSWORD] + ["--answer", "no"] * 5
             + [exe], 0, [CAPTION + "0 file(s) unzipped successfully [OK]", "status: 0 file(s) unzipped successfully"],
             5),
            ("files exist: Cancel", ["--folder", out, "--password", PASSWORD, "--answer", "cancel", exe], 3,
             ["status: Unzip Aborted"], 1),
            ("damaged stub", ["--folder", out, damaged], 1, [CAPTION + header_corrupt + " [OK]"], 0),
        ]
        for label, arguments, status, lines, asked in rows:
            with self.subTest(label):
                result = headless(*arguments)
                self.assertEqual(result.returncode, status, result.stderr)
                shown = result.stderr.splitlines()
                for line in lines:
                    self.assertIn(line, shown)
                self.assertEqual(len(shown), len(lines) + asked, result.stderr)
                self.assertLessEqual(set(shown) - set(lines), questions)
        self.assertEqual({n: d for n, (d, _) in read_tree(out)[0].items()}, FILES)

    def test_folder_from_the_builder_the_tail_and_a_drive(self):
        drive = self.path("drive")
        os.makedirs(drive)
        exe = self.alpha_exe("cfg", "--folder", "X:\\configured", "--info", "about us")
        rows = [  # label, arguments, exit status, where a.txt lands (or None), a line expected on stderr
            ("the builder's folder on drive X", ["--drive", "X=" + drive, exe], 0, "configured/a.txt", None),
            ("/AUTO with a folder", ["--drive", "X=" + drive, exe, "/auto", "X:\\from tail"], 0, "from tail/a.txt",
             None),
            ("--folder as typed", ["--drive", "X=" + drive, "--folder", "X:\\typed", exe], 0, "typed/a.txt", None),
            ("-info", ["--drive", "X=" + drive, exe, "-info"], 0, None, CAPTION + "about us [OK]"),
            ("an unmapped drive", [exe], 1, None,
             CAPTION + "Drive X is not a valid drive, unzip operation cancelled. [OK]"),
        ]
        for label, arguments, status, landed, line in rows:
            with self.subTest(label):
                result = headless(*arguments)
                self.assertEqual(result.returncode, status, result.stderr)
                if landed:
                    with open(os.path.join(drive, landed), "rb") as f:
                        self.assertEqual(f.read(), b"alpha\n")
                if line:
                    self.assertIn(line, result.stderr.splitlines())
        self.assertEqual(sorted(os.listdir(drive)), ["configured", "from tail", "typed"])

    def test_unflagged_names_in_the_oem_code_page(self):
        """A name as Windows zip tools write it, in code page 437 without the
        UTF-8 flag, is read in the OEM code page the run stands for; the ANSI
        code page does not touch it."""
        source = self.path("in.zip")
        placeholder = b"filename_with_XoY.txt"
        with zipfile.ZipFile(source, "w") as z:
            info = zipfile.ZipInfo(placeholder.decode(), date_time=(2021, 3, 4, 5, 6, 8))
            info.create_system = 0  # made on DOS or Windows
            z.writestr(info, b"old\n")
        with open(source, "rb") as f:
            data = f.read()
        with open(source, "wb") as f:
            f.write(data.replace(placeholder, "filename_with_æoå.txt".encode("cp437")))
        exe = self.path("old.exe")
        self.assertEqual(mksfx(source, exe).returncode, 0)
        rows = [  # label, options, the name created
            ("default: 437", [], "filename_with_æoå.txt"),
            ("--oem-codepage 866", ["--oem-codepage", "866"], "filename_with_СoЖ.txt"),
            ("--ansi-codepage 1251 changes nothing", ["--ansi-codepage", "1251"], "filename_with_æoå.txt"),
        ]
        for label, options, name in rows:
            with self.subTest(label):
                out = self.path(label.replace(" ", "_").replace(":", ""))
                result = headless("--folder", out, *options, exe)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(os.listdir(out), [name])
        refused = headless("--oem-codepage", "none", exe)
        self.assertEqual((refused.returncode, refused.stderr.split(":")[0]), (2, "usage"))

    def test_the_tail_reads_as_the_stubs(self):
        """The switches mean what they mean to the stub: whole words in any
        order, the folder behind /auto or /silent, /password in a silent run,
        and an unknown switch stops the run before anything is written."""
        drive = self.path("drive")
        os.makedirs(drive)
        exe = self.alpha_exe("plain", "--folder", "X:\\configured")
        encrypted = self.build("encrypted", None, True)
        unknown = ("/S is not a switch of this self-extractor. Its switches: /auto [folder], /silent [folder],"
                   " /noauto, /overwrite, /password password, /log file, -info.")
        rows = [  # label, arguments, exit status, where a.txt lands (or None), a line expected on stderr
            ("/auto before /silent", [exe, "/auto", "X:\\t1", "/silent"], 0, "t1/a.txt", None),
            ("/silent before /auto", [exe, "/silent", "/auto", "X:\\t2"], 0, "t2/a.txt", None),
            ("-overwrite inside a quoted folder", [exe, "/auto", "X:\\t3 -overwrite x"], 0, "t3 -overwrite x/a.txt",
             None),
            ("/S: exit 2, nothing unzipped", [exe, "/auto", "X:\\t4", "/S"], 2, None, unknown),
            ("/silent /password", ["--folder", self.path("out"), encrypted, "/silent", "/password", PASSWORD], 0, None,
             "status: %d file(s) unzipped successfully" % len(FILES)),
        ]
        for label, arguments, status, landed, line in rows:
            with self.subTest(label):
                result = headless("--drive", "X=" + drive, *arguments)
                self.assertEqual(result.returncode, status, result.stderr)
                if landed:
                    with open(os.path.join(drive, landed), "rb") as f:
                        self.assertEqual(f.read(), b"alpha\n")
                if line:
                    self.assertIn(line, result.stderr.replace("\n", " "))  # the message has a line break
        self.assertEqual(sorted(os.listdir(drive)), ["t1", "t2", "t3 -overwrite x"])
        self.assertEqual({n: d for n, (d, _) in read_tree(self.path("out"))[0].items()}, FILES)

    def test_help_version_and_usage_errors(self):
        """--help and --version answer on stdout with exit 0; a usage error
        gives the usage on stderr with exit 2. The version is the builder's."""
        exe = self.build("folder", None, False)
        version = mksfx("--version").stdout.split()[-1]
        usage = r"\Ausage: arcula-headless .*--version"
        nothing = r"\A\Z"
        rows = [  # label, arguments, exit status, stdout and stderr (patterns)
            ("--help", ["--help"], 0, usage, nothing),
            ("--help among other options", ["--folder", self.path("out"), "--help", exe], 0, usage, nothing),
            ("--version", ["--version"], 0, r"\Aarcula-headless %s\n\Z" % re.escape(version), nothing),
            ("no FILE", [], 2, nothing, usage),
            ("an option without its value", ["--folder"], 2, nothing, usage),
            ("an unknown option", ["--verbose", "x", exe], 2, nothing, usage),
            ("an unknown --answer", ["--answer", "maybe", exe], 2, nothing, usage),
        ]
        for label, arguments, status, out, err in rows:
            with self.subTest(label):
                result = headless(*arguments)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertRegex(result.stdout, re.compile(out, re.DOTALL))
                self.assertRegex(result.stderr, re.compile(err, re.DOTALL))
        self.assertFalse(os.path.exists(self.path("out")))

    def test_an_unanswered_question_gets_the_answer_that_stops(self):
        """When --answer runs out, a question is answered as a silent run
        answers it, and the runner says so: a file the tester edited is not
        overwritten behind their back."""
        source = self.path("in.zip")
        with zipfile.ZipFile(source, "w") as z:
            z.writestr("a.txt", b"alpha\n")
            z.writestr("b.txt", b"beta\n")
        plain, asking = self.path("plain.exe"), self.path("asking.exe")
        self.assertEqual(mksfx(source, plain).returncode, 0)
        self.assertEqual(mksfx("--prompt", "Go on?", "--prompt-buttons", "yesno", source, asking).returncode, 0)
        edited = {"a.txt": b"edited a\n", "b.txt": b"edited b\n"}
        unpacked = {"a.txt": b"alpha\n", "b.txt": b"beta\n"}
        rows = [  # label, file, files there before, --answer words, exit status, files after, lines on stderr
            ("files exist, no --answer", plain, edited, [], 3, edited, ["no --answer left: Cancel"]),
            ("files exist, the answers run out", plain, edited, ["yes"], 3, {**edited, "a.txt": b"alpha\n"},
             ["no --answer left: Cancel"]),
            ("files exist, every question answered", plain, edited, ["yes", "yes"], 0, unpacked, []),
            ("the start-up question, no --answer", asking, {}, [], 3, None, ["no --answer left: No"]),
            ("the start-up question answered yes", asking, {}, ["yes"], 0, unpacked, []),
        ]
        for label, exe, before, answers, status, after, lines in rows:
            with self.subTest(label):
                out = self.path(label.replace(" ", "_").replace(",", ""))
                for name, data in before.items():
                    os.makedirs(out, exist_ok=True)
                    with open(os.path.join(out, name), "wb") as f:
                        f.write(data)
                words = [a for answer in answers for a in ("--answer", answer)]
                result = headless("--folder", out, *words, exe)
                self.assertEqual(result.returncode, status, result.stderr)
                if after is None:
                    self.assertFalse(os.path.exists(out))
                else:
                    self.assertEqual({n: d for n, (d, _) in read_tree(out)[0].items()}, after)
                told = [line.removeprefix("arcula-headless: ") for line in result.stderr.splitlines()
                        if line.startswith("arcula-headless: ")]
                self.assertEqual(told, lines, result.stderr)

    def test_the_log_ends_with_how_the_run_ended(self):
        exe = self.alpha_exe("log")
        out, log, elsewhere = self.path("out"), self.path("run.log"), self.path("elsewhere.txt")
        first = "Run of %s%%s; target folder: %s" % (exe, out)
        rows = [  # label, arguments, exit status, the log's last two lines (None: no log)
            ("unattended", ["--folder", out, exe, "/auto", "/log", log], 0,
             ["1 file(s) unzipped successfully", "Exit code 0: success"], " /auto /log " + log),
            ("with the dialog's box", ["--folder", out, "--answer", "yes", exe, "/log", log], 0,
             ["1 file(s) unzipped successfully", "Exit code 0: success"], " /log " + log),
            ("the file exists: Cancel", ["--folder", out, "--answer", "cancel", exe, "/log", log], 3,
             ["Unzip Aborted", "Exit code 3: cancelled"], " /log " + log),
            ("the log is a link", ["--folder", out, exe, "/log", log], 1, None, None),
        ]
        for label, arguments, status, last, switches in rows:
            with self.subTest(label):
                if last is None:
                    os.remove(log)
                    os.symlink(elsewhere, log)
                result = headless(*arguments)
                self.assertEqual(result.returncode, status, result.stderr)
                if last is None:
                    self.assertIn(CAPTION + "Arcula Self-Extractor will not write the log %s: it is a folder or a link."
                                  " [OK]" % log, result.stderr.splitlines())
                    self.assertFalse(os.path.exists(elsewhere))
                    continue
                with open(log, encoding="utf-8") as f:
                    lines = [line[20:] for line in f.read().splitlines()]
                # Each run appends: its first line names it, its last two say how it ended.
                run = max(i for i, line in enumerate(lines) if line.startswith("Run of "))
                self.assertEqual(lines[run], first % switches)
                self.assertEqual(lines[-2:], last)


def main():
    global BIN, STUB
    BIN, STUB, argv = toollib.tool_arguments("test_headless")
    unittest.main(argv=argv)


if __name__ == "__main__":
    main()
