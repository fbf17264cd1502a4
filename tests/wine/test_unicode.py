#!/usr/bin/env python3
"""Names and folders beyond the ANSI code page under Wine (code page 1252,
OEM code page 437): a self-extractor started from such a folder, unzipping
into such a folder, names flagged as UTF-8, and old names in the OEM code
page (this builder's files) or the ANSI code page (other builders')."""
import shutil
import subprocess
import struct
import zipfile
import zlib

import winelib
from sfxlib import FOLDER_FIELD, UNZIP, SfxTestCase, answer, box, dialog, dialog_title

ELSEWHERE = "Проект 日本 ✓"
JAPANESE = {"LANG": "ja_JP.UTF-8", "LC_ALL": "ja_JP.UTF-8"}  # Wine's ANSI and OEM code pages are then 932
MARKER = b"QJV\x01sfx\x02"  # the settings block's
FLAG_OEM_NAMES = 0x400000
TARGET = "out-Ω-日本"
NAMES = ["café.txt", "αβγ/δ.txt", "日本語.txt", "😀.bin"]


def old_zip_entry(name_bytes, content):
    """A one-entry ZIP with a name in a code page and no UTF-8 flag, made on
    DOS, as old Windows tools wrote it."""
    crc = zlib.crc32(content)
    local = struct.pack("<4sHHHHHIIIHH", b"PK\x03\x04", 20, 0, 0, 0x3000, 0x5263, crc, len(content),
                        len(content), len(name_bytes), 0) + name_bytes + content
    central = struct.pack("<4sHHHHHHIIIHHHHHII", b"PK\x01\x02", 20, 20, 0, 0, 0x3000, 0x5263, crc, len(content),
                          len(content), len(name_bytes), 0, 0, 0, 0, 0x20, 0) + name_bytes
    end = struct.pack("<4sHHHHIIH", b"PK\x05\x06", 0, 0, 1, 1, len(central), len(local), 0)
    return local + central + end


class Unicode(SfxTestCase):
    def flagged_zip(self):
        """Python's zipfile flags every non-ASCII name as UTF-8 (bit 11)."""
        path = self.scratch / "names.zip"
        with zipfile.ZipFile(path, "w") as archive:
            for name in NAMES:
                info = zipfile.ZipInfo(name, date_time=(2021, 3, 4, 5, 6, 8))
                archive.writestr(info, name.encode() * 3)
        return path

    def run_from_elsewhere(self, env=None):
        """A self-extractor of NAMES moved into a folder named outside the code
        page and run with /auto into another; returns that target."""
        exe = self.sfx(self.flagged_zip())
        folder = self.scratch / ELSEWHERE
        folder.mkdir()
        moved = folder / "setup.exe"
        shutil.move(exe, moved)
        target = self.scratch / TARGET
        program = self.start(moved, ["/auto", winelib.windows_path(target)], env=env)
        self.wait_exit(program, 0)
        return target

    def test_started_from_a_folder_outside_the_code_page_into_another(self):
        target = self.run_from_elsewhere()
        for name in NAMES:
            self.assertEqual((target / name).read_bytes(), name.encode() * 3, name)

    def test_names_from_every_kind_of_input(self):
        """A folder, and ZIPs from Python's zipfile (bit 11), Info-ZIP (raw
        UTF-8 made on Unix) and 7-Zip (bit 11): the same names on disk."""
        folder = self.tree({name: name.encode() * 3 for name in NAMES}, name="tree")
        info_zip = self.scratch / "info.zip"
        subprocess.run(["zip", "-qr", str(info_zip), "."], cwd=folder, check=True)
        seven_zip = self.scratch / "seven.zip"
        subprocess.run(["7zz", "a", "-tzip", "-bso0", "-bsp0", str(seven_zip), "."], cwd=folder, check=True)
        for label, source in (("folder", folder), ("zipfile", self.flagged_zip()), ("Info-ZIP", info_zip),
                              ("7-Zip", seven_zip)):
            with self.subTest(label):
                exe = self.sfx(source, name=f"setup-{label}.exe")
                target = self.scratch / f"{TARGET}-{label}"
                program = self.start(exe, ["/auto", winelib.windows_path(target)])
                self.wait_exit(program, 0)
                for name in NAMES:
                    self.assertEqual((target / name).read_bytes(), name.encode() * 3, name)

    def test_an_old_name_is_read_in_the_oem_code_page(self):
        """This builder's files read an unflagged name in the OEM code page
        (437), as the tool that wrote it meant; a file without the builder's
        flag reads the same bytes in the ANSI code page (1252), as files from
        other builders always did."""
        name = "filename_with_\u00e6o\u00e5.txt"
        archive = self.scratch / "old.zip"
        archive.write_bytes(old_zip_entry(name.encode("cp437"), b"old\n"))
        exe = self.sfx(archive, "--no-selfcheck")
        other = self.scratch / "other.exe"
        data = bytearray(exe.read_bytes())
        flags_at = data.index(MARKER) + 28
        flags = struct.unpack_from("<I", data, flags_at)[0]
        self.assertTrue(flags & FLAG_OEM_NAMES)
        struct.pack_into("<I", data, flags_at, flags & ~FLAG_OEM_NAMES)
        other.write_bytes(data)
        for label, program_file, expected in (("oem", exe, name),
                                              ("ansi", other, name.encode("cp437").decode("cp1252"))):
            with self.subTest(label):
                target = self.scratch / label
                program = self.start(program_file, ["/auto", winelib.windows_path(target)])
                self.wait_exit(program, 0)
                self.assertEqual(sorted(p.name for p in target.iterdir()), [expected])

    def test_an_old_name_in_code_page_932(self):
        archive = self.scratch / "old932.zip"
        archive.write_bytes(old_zip_entry("日本.txt".encode("cp932"), b"old\n"))
        exe = self.sfx(archive)
        target = self.scratch / "old932"
        program = self.start(exe, ["/auto", winelib.windows_path(target)], env=JAPANESE)
        self.wait_exit(program, 0)
        self.assertEqual(sorted(p.name for p in target.iterdir()), ["日本.txt"])

    def test_started_from_such_a_folder_under_code_page_932(self):
        target = self.run_from_elsewhere(env=JAPANESE)
        for name in NAMES:
            self.assertTrue((target / name).is_file(), name)

    def test_a_folder_typed_into_the_dialog_and_a_box_naming_a_file(self):
        exe = self.sfx(self.flagged_zip())
        target = self.scratch / TARGET
        program = self.start(exe)
        wid, _ = dialog(program, exe)
        winelib.set_control_text(dialog_title(exe), FOLDER_FIELD, winelib.windows_path(target))
        winelib.press_command(dialog_title(exe), UNZIP)
        box_wid, text, _ = box(program)
        self.assertEqual(text, f"{len(NAMES)} file(s) unzipped successfully")
        answer(box_wid, "Return")
        for name in NAMES:
            self.assertEqual((target / name).read_bytes(), name.encode() * 3, name)
        # Again: the first existing file is named in the question, as it is.
        winelib.press_command(dialog_title(exe), UNZIP)
        box_wid, text, _ = box(program)
        self.assertEqual(text, f"File {winelib.windows_path(target)}\\café.txt already exists.  Overwrite file?")
        winelib.screenshot(winelib.artifacts_dir() / "unicode-overwrite-question.png")
        answer(box_wid, "Escape")  # Cancel: the pass ends
        self.wait_exit(program, 3)


if __name__ == "__main__":
    winelib.main()
