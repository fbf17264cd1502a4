#!/usr/bin/env python3
"""Tests of arcula-mksfx, the builder of self-extractors.

Run as: python3 test_mksfx.py --bin DIR [--stub FILE]
DIR holds arcula-mksfx. The stub is FILE, else DIR/arcula-sfx.exe (a host
build puts it there).

Real archives from Info-ZIP zip, Python's zipfile, bsdtar and 7-Zip go
through the builder; each output is then read twice: by ordinary zip tools
(which must open it without warnings and extract the same bytes), and by a
small reader in this file that walks the archive front to back from local
headers only, as the stub does, decrypting and inflating every entry.
"""
import hashlib
import hmac
import json
import os
import random
import re
import shutil
import struct
import subprocess
import tempfile
import unittest

import toollib
import warnings
import zipfile
import zlib

BIN = None
STUB = None
PASSWORD = "pw"
MARKER = b"QJV\x01sfx\x02"
SIG_LOCAL, SIG_CENTRAL, SIG_END, SIG_DESCRIPTOR = b"PK\x03\x04", b"PK\x01\x02", b"PK\x05\x06", b"PK\x07\x08"

FLAG_OVERWRITE, FLAG_TITLE, FLAG_ENCRYPTED, FLAG_AUTO = 0x2, 0x10, 0x100, 0x200
FLAG_SIGN_READY, FLAG_CAPTION, FLAG_QUESTION, FLAG_OKCANCEL = 0x800, 0x40000, 0x80000, 0x100000
FLAG_SPANNED, FLAG_EXE_VOLUMES, FLAG_SILENT = 0x1000, 0x8000, 0x200000
FLAG_UTF8_TEXTS = 0x400  # the config texts are UTF-8: this builder always sets it
FLAG_OEM_NAMES = 0x400000  # unflagged names are in the OEM code page: this builder always sets it
FLAG_NO_ARCHIVER_BUTTON = 0x800000
BUILDER_FLAGS = FLAG_UTF8_TEXTS | FLAG_OEM_NAMES
DEFAULT_FLAGS = BUILDER_FLAGS | FLAG_SIGN_READY  # the headers are left out of the self-check unless asked


def mksfx(*args, cwd=None, env=None):
    """Runs the builder with the stub under test unless the caller names one
    (or the command needs none); `env` adds to the environment."""
    stub = [] if {"--stub", "--show", "--version"} & set(args) else ["--stub", STUB]
    return subprocess.run([os.path.join(BIN, "arcula-mksfx"), *stub, *map(str, args)], cwd=cwd,
                          env=dict(os.environ, **(env or {})), capture_output=True, text=True, errors="replace")


def stub_bytes():
    with open(STUB, "rb") as f:
        return f.read()


# --- the fixture tree -------------------------------------------------------

def make_tree(root):
    """Nested folders, an empty folder, an empty file, a 2048-byte file, a
    300 KB binary and a name with a blank. Returns (files, folders)."""
    rng = random.Random(7)
    files = {
        "with blank.txt": b"a name with a blank\n",
        "empty.txt": b"",
        "docs/two-k.txt": (b"0123456789abcdef" * 128),
        "docs/deep/nested/note.txt": b"deep\n" * 50,
        "big/random.bin": bytes(rng.getrandbits(8) for _ in range(300 * 1024)),
    }
    folders = {"docs", "docs/deep", "docs/deep/nested", "big", "empty-folder"}
    for folder in folders:
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(root, name), "wb") as f:
            f.write(data)
    return files, folders


# How each writer makes a ZIP of the tree: (label, command or callable, encrypted).
WRITERS = [
    ("zip-stored", ["zip", "-q", "-r", "-0", "{zip}", "."], False),
    ("zip-deflated", ["zip", "-q", "-r", "-9", "{zip}", "."], False),
    ("zip-encrypted", ["zip", "-q", "-r", "-e", "-P", PASSWORD, "{zip}", "."], True),
    ("python-seekable", lambda tree, z: toollib.python_zip(tree, z, streamed=False), False),
    ("python-streamed", lambda tree, z: toollib.python_zip(tree, z, streamed=True), False),
    ("bsdtar-deflate", ["bsdtar", "--format", "zip", "-cf", "{zip}", "."], False),
    ("bsdtar-store", ["bsdtar", "--format", "zip", "--options", "zip:compression=store", "-cf", "{zip}", "."], False),
    ("bsdtar-zipcrypt", ["bsdtar", "--format", "zip", "--options", "zip:encryption=zipcrypt",
                         "--passphrase", PASSWORD, "-cf", "{zip}", "."], True),
    ("7zz-deflate", ["7zz", "a", "-bd", "-tzip", "-mm=Deflate", "{zip}", "."], False),
    ("7zz-store", ["7zz", "a", "-bd", "-tzip", "-mm=Copy", "{zip}", "."], False),
    ("7zz-zipcrypto", ["7zz", "a", "-bd", "-tzip", "-p" + PASSWORD, "-mem=ZipCrypto", "{zip}", "."], True),
    ("7zz-aes128", ["7zz", "a", "-bd", "-tzip", "-p" + PASSWORD, "-mem=AES128", "{zip}", "."], True),
    ("7zz-aes256", ["7zz", "a", "-bd", "-tzip", "-p" + PASSWORD, "-mem=AES256", "{zip}", "."], True),
]


def write_zip(writer, tree, target):
    if callable(writer):
        writer(tree, target)
    else:
        subprocess.run([a.replace("{zip}", target) for a in writer], cwd=tree, check=True,
                       stdout=subprocess.DEVNULL)


# --- reading the self-extractor ---------------------------------------------

def u16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def u32(data, at):
    return struct.unpack_from("<I", data, at)[0]


def read_pe(data):
    pe = u32(data, 0x3C)
    count = u16(data, pe + 6)
    table = pe + 24 + u16(data, pe + 20)  # behind the optional header, 224 or 240 bytes
    sections = [struct.unpack_from("<8sIIIIIIHHI", data, table + 40 * i) for i in range(count)]
    return {"pe": pe, "machine": u16(data, pe + 4), "magic": u16(data, pe + 24), "table": table,
            "entry": u32(data, pe + 40), "init": u32(data, pe + 32), "align": u32(data, pe + 56),
            "image": u32(data, pe + 80), "checksum": u32(data, pe + 88), "sections": sections}


def read_settings(data):
    at = data.find(MARKER)
    crc, archive, config, end, total, flags = struct.unpack_from("<6I", data, at + 8)
    return {"at": at, "crc": crc, "archive": archive, "config": config, "end": end,
            "total": total, "flags": flags, "complete": u16(data, at + 42), "entry": u32(data, at + 54)}


def pe_checksum(data):
    """The standard PE checksum, written here independently of the builder."""
    field = u32(data, 0x3C) + 88
    padded = bytearray(data) + (b"\0" if len(data) % 2 else b"")
    padded[field:field + 4] = b"\0\0\0\0"
    total = 0
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def image_crc(data, settings, pe):
    start = pe["table"] if settings["flags"] & FLAG_SIGN_READY else 0
    checked = bytearray(data[start:settings["archive"]])
    at = settings["at"] + 8 - start
    checked[at:at + 4] = b"\0\0\0\0"
    return zlib.crc32(checked)


def zipcrypto_decrypt(password, data):
    keys = [0x12345678, 0x23456789, 0x34567890]
    def update(byte):
        keys[0] = zlib.crc32(bytes([byte]), keys[0] ^ 0xFFFFFFFF) ^ 0xFFFFFFFF
        keys[1] = ((keys[1] + (keys[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        keys[2] = zlib.crc32(bytes([keys[1] >> 24]), keys[2] ^ 0xFFFFFFFF) ^ 0xFFFFFFFF
    for byte in password.encode():
        update(byte)
    out = bytearray()
    for byte in data:
        temp = (keys[2] | 2) & 0xFFFF
        plain = byte ^ (((temp * (temp ^ 1)) >> 8) & 0xFF)
        update(plain)
        out.append(plain)
    return bytes(out)


def aes_field(extra):
    """The AES field (0x9901) of an extra field: (version, strength, method), or None."""
    at = 0
    while at + 4 <= len(extra):
        tag, size = struct.unpack_from("<HH", extra, at)
        if tag == 0x9901 and size == 7:
            version, vendor, strength, method = struct.unpack_from("<H2sBH", extra, at + 4)
            return version, strength, method
        at += 4 + size
    return None


def aes_decrypt(test, password, strength, payload, name):
    """An AES entry's data decrypted, its verifier and authentication code
    checked; the key stream comes from the openssl program (ECB over the
    format's little-endian counter from 1)."""
    key_bytes = 8 + 8 * strength
    salt, verifier = payload[:key_bytes // 2], payload[key_bytes // 2:key_bytes // 2 + 2]
    encrypted, code = payload[key_bytes // 2 + 2:-10], payload[-10:]
    derived = hashlib.pbkdf2_hmac("sha1", password.encode(), salt, 1000, 2 * key_bytes + 2)
    test.assertEqual(derived[-2:], verifier, "verifier of " + name)
    test.assertEqual(hmac.new(derived[key_bytes:2 * key_bytes], encrypted, "sha1").digest()[:10], code,
                     "authentication code of " + name)
    blocks = (len(encrypted) + 15) // 16
    counters = b"".join((i + 1).to_bytes(16, "little") for i in range(blocks))
    stream = subprocess.run(["openssl", "enc", "-aes-%d-ecb" % (8 * key_bytes), "-nopad", "-K",
                             derived[:key_bytes].hex()], input=counters, capture_output=True, check=True).stdout
    return bytes(a ^ b for a, b in zip(encrypted, stream))


def walk_front_to_back(test, data, start, password):
    """Reads the archive the way the stub does: signature by signature, sizes
    and CRC from the local headers only. Returns {name: bytes} of the files and
    the set of folder names; checks every entry decodes to its CRC."""
    files, folders, pos = {}, set(), start
    while True:
        sig = data[pos:pos + 4]
        if sig == SIG_LOCAL:
            _, flags, method, time, _, crc, csize, usize, nlen, elen = struct.unpack_from("<HHHHHIIIHH", data, pos + 4)
            name = data[pos + 30:pos + 30 + nlen].decode("utf-8", "replace").replace("\\", "/")
            name = name[2:] if name.startswith("./") and name != "./" else name
            payload = data[pos + 30 + nlen + elen:pos + 30 + nlen + elen + csize]
            extra = data[pos + 30 + nlen:pos + 30 + nlen + elen]
            test.assertEqual(len(payload), csize, name)
            pos += 30 + nlen + elen + csize
            if flags & 8:
                test.assertTrue(flags & 1, "a descriptor kept on an unencrypted entry: " + name)
                test.assertEqual(data[pos:pos + 16], SIG_DESCRIPTOR + struct.pack("<3I", crc, csize, usize), name)
                pos += 16
            if name.endswith("/"):
                test.assertEqual(usize, 0, name)
                if name.strip("./"):
                    folders.add(name.rstrip("/"))
                continue
            aes = aes_field(extra) if method == 99 else None
            if aes:
                version, strength, method = aes
                payload = aes_decrypt(test, password, strength, payload, name)
                if version == 2:
                    test.assertEqual(crc, 0, "AE-2 stores no CRC: " + name)
            elif flags & 1:
                plain = zipcrypto_decrypt(password, payload)
                check = (time >> 8) if flags & 8 else (crc >> 24)
                test.assertEqual(plain[11], check, "check byte of " + name)
                payload = plain[12:]
            content = zlib.decompress(payload, -15) if method == 8 else payload
            test.assertEqual(len(content), usize, name)
            if not (aes and aes[0] == 2):
                test.assertEqual(zlib.crc32(content), crc, name)
            files[name] = content
        elif sig == SIG_CENTRAL:
            nlen, elen, clen = struct.unpack_from("<HHH", data, pos + 28)
            pos += 46 + nlen + elen + clen
        elif sig == SIG_END:
            test.assertEqual(pos + 22 + u16(data, pos + 20), len(data), "the end record's comment ends the file")
            return files, folders, pos
        else:
            test.fail("unexpected bytes at 0x%x: %r" % (pos, sig))


def config_texts(data, settings):
    block = data[settings["config"]:settings["archive"]]
    texts = block.split(b"\0")
    return [t.decode() for t in texts[:5]], texts[5:] == [b""]


class Workspace(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="mksfx-")
        self.addCleanup(shutil.rmtree, self.dir)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def check_layout(self, data, stub):
        """The file is the stub, its settings block filled, plus a last section
        `_arcula_` holding the config block and the archive."""
        settings, pe, old_pe = read_settings(data), read_pe(data), read_pe(stub)
        self.assertEqual(settings["at"], stub.find(MARKER), "first marker is the block")
        self.assertEqual(len(data) % 0x200, 0)
        self.assertEqual(len(pe["sections"]), len(old_pe["sections"]) + 1)
        name, vsize, va, rawsize, rawptr, _, _, _, _, chars = pe["sections"][-1]
        self.assertEqual((name, chars, rawptr, rawptr + rawsize), (b"_arcula_", 0xE2000040, settings["config"], len(data)))
        # From a page boundary a loader maps the archive instead of reading
        # all of it when the program starts.
        self.assertEqual(rawptr % 0x1000, 0)
        self.assertEqual(pe["image"], -(-(va + vsize) // pe["align"]) * pe["align"])
        self.assertEqual(pe["init"], old_pe["init"] + rawsize)
        self.assertEqual((settings["complete"], settings["entry"]), (0xFFFF, old_pe["entry"]))
        if settings["flags"] & FLAG_SPANNED:
            self.assertEqual(settings["end"], 0, "a spanned set's end record is on its last disk")
        else:
            self.assertEqual(data[settings["end"]:settings["end"] + 4], SIG_END)
        if settings["crc"]:
            self.assertEqual(settings["crc"], image_crc(data, settings, pe))
        self.assertIn(pe["checksum"], (0, pe_checksum(data)))
        _, terminated = config_texts(data, settings)
        self.assertTrue(terminated, "five terminated texts fill the config block")
        # Nothing else of the stub changed.
        changed = set(range(settings["at"], settings["at"] + 60))
        for field, width in ((6, 2), (32, 4), (80, 4), (88, 4)):
            changed |= set(range(pe["pe"] + field, pe["pe"] + field + width))
        table_end = pe["table"] + 40 * len(old_pe["sections"])
        changed |= set(range(table_end, table_end + 40))
        differ = [i for i in range(len(stub)) if data[i] != stub[i] and i not in changed]
        self.assertEqual(differ, [], "stub bytes changed outside the known fields")
        self.assertEqual(data[len(stub):settings["config"]].strip(b"\0"), b"")
        return settings


class RealArchives(Workspace):
    """Every common writer's ZIP, and a folder, become self-extractors that the
    stub's way of reading and ordinary zip tools both accept."""

    def setUp(self):
        super().setUp()
        self.tree = self.path("tree")
        self.files, self.folders = make_tree(self.tree)
        self.stub = stub_bytes()

    def build(self, source, *options):
        out = self.path("out.exe")
        result = mksfx(*options, source, out)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(out, "rb") as f:
            return out, f.read(), result.stdout

    def check_output(self, out, data, encrypted):
        settings = self.check_layout(data, self.stub)
        self.assertEqual(settings["flags"], DEFAULT_FLAGS | (FLAG_ENCRYPTED if encrypted else 0))
        self.assertEqual(settings["total"], sum(len(d) for d in self.files.values()))
        files, folders, end = walk_front_to_back(self, data, settings["archive"], PASSWORD)
        self.assertEqual(end, settings["end"])
        self.assertEqual(files, self.files)
        self.assertTrue(folders <= self.folders and "empty-folder" in folders, folders)
        self.check_zip_tools(out)

    def check_zip_tools(self, out):
        seven = subprocess.run(["7zz", "t", "-tzip", "-p" + PASSWORD, out], capture_output=True, text=True)
        self.assertEqual(seven.returncode, 0, seven.stdout + seven.stderr)
        self.assertNotIn("WARNING", seven.stdout + seven.stderr)
        # Info-ZIP's unzip and Python's zipfile know no AES; 7-Zip has read it.
        if any(i.compress_type == 99 for i in zipfile.ZipFile(out).infolist()):
            return
        unzip = subprocess.run(["unzip", "-t", "-P", PASSWORD, out], capture_output=True, text=True)
        self.assertEqual(unzip.returncode, 0, unzip.stdout + unzip.stderr)
        self.assertNotIn("warning", (unzip.stdout + unzip.stderr).lower())
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            with zipfile.ZipFile(out) as z:
                z.setpassword(PASSWORD.encode())
                read = {i.filename.replace("\\", "/").removeprefix("./"): z.read(i)
                        for i in z.infolist() if not i.is_dir()}
        self.assertEqual(read, self.files)

    def test_zip_writers(self):
        for label, writer, encrypted in WRITERS:
            with self.subTest(label):
                source = self.path(label + ".zip")
                write_zip(writer, self.tree, source)
                out, data, _ = self.build(source)
                self.check_output(out, data, encrypted)

    def test_folder(self):
        """Files are deflated, except those deflate would make larger (the
        random bytes), which are stored: the walk checks their sizes and CRC."""
        rows = [([], 0), (["--password", PASSWORD, "--encryption", "zipcrypto"], 12),
                (["--password", PASSWORD], 16 + 2 + 10), (["--password", PASSWORD, "--encryption", "aes256"], 28)]
        for options, header in rows:
            with self.subTest(options=options):
                out, data, _ = self.build(self.tree, *options)
                self.check_output(out, data, bool(options))
                infos = [i for i in zipfile.ZipFile(out).infolist() if i.file_size > 0]
                for info in infos:
                    self.assertLessEqual(info.compress_size - header, info.file_size, info.filename)
                    self.assertEqual(info.compress_type == 99, header == 28, info.filename)
                    if header == 28:  # the builder's AES: AE-2 (no CRC) above 20 bytes, AE-1 up to them
                        self.assertEqual(aes_field(info.extra)[:2], (2 if info.file_size > 20 else 1, 3))
                methods = {i.filename: aes_field(i.extra)[2] if i.compress_type == 99 else i.compress_type
                           for i in infos}
                self.assertEqual([methods[name] for name in ("big/random.bin", "docs/two-k.txt",
                                                             "docs/deep/nested/note.txt")],
                                 [zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED, zipfile.ZIP_DEFLATED])

    def test_list_shows_what_went_in(self):
        _, _, listing = self.build(self.tree, "--list", "--password", PASSWORD)
        for name in self.files:
            self.assertIn(name, listing)
        self.assertRegex(listing, r"307200\s+307228\s+stored\s+yes\s+big/random\.bin")
        self.assertRegex(listing, r"\s0\s+\d+\s+\w+\s+no\s+empty-folder/")
        self.assertRegex(listing, r"out\.exe: 5 files \(5 encrypted\), 5 folders, %d bytes unpacked"
                         % sum(len(d) for d in self.files.values()))


class Settings(Workspace):
    """Options become the settings block's flags and the config block's texts."""

    def setUp(self):
        super().setUp()
        self.source = self.path("in.zip")
        with zipfile.ZipFile(self.source, "w") as z:
            z.writestr("a.txt", b"a")
        self.stub = stub_bytes()

    def build(self, *options):
        out = self.path("out.exe")
        result = mksfx(*options, self.source, out)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(out, "rb") as f:
            data = f.read()
        return data, self.check_layout(data, self.stub)

    def test_flags(self):
        rows = [
            ([], FLAG_SIGN_READY),
            (["--full-selfcheck"], 0),
            (["--overwrite"], FLAG_SIGN_READY | FLAG_OVERWRITE),
            (["--auto", "--overwrite"], FLAG_SIGN_READY | FLAG_AUTO | FLAG_OVERWRITE),
            (["--silent"], FLAG_SIGN_READY | FLAG_SILENT),
            (["--title", "T"], FLAG_SIGN_READY | FLAG_TITLE),
            (["--caption-title"], FLAG_SIGN_READY | FLAG_CAPTION),
            (["--no-archiver-button"], FLAG_SIGN_READY | FLAG_NO_ARCHIVER_BUTTON),
            (["--prompt", "P", "--prompt-buttons", "ok"], FLAG_SIGN_READY),
            (["--prompt", "P", "--prompt-buttons", "yesno"], FLAG_SIGN_READY | FLAG_QUESTION),
            (["--prompt", "P", "--prompt-buttons=okcancel"], FLAG_SIGN_READY | FLAG_QUESTION | FLAG_OKCANCEL),
            (["--sign-ready"], FLAG_SIGN_READY),  # the default, still accepted
        ]
        for options, flags in rows:
            with self.subTest(options):
                _, settings = self.build(*options)
                self.assertEqual(settings["flags"], BUILDER_FLAGS | flags)

    def test_texts_in_order(self):
        data, settings = self.build("--folder", ".", "--text", "line", "--prompt", "Go?", "--title", "Tí",
                                    "--info", "about\nus")
        self.assertEqual(config_texts(data, settings)[0], [".", "line", "Go?", "Tí", "about\nus"])
        self.assertEqual(settings["archive"], settings["config"] + len(". line Go? Tí about\nus".encode()) + 1)
        # Texts at their limits still fit (260 + 103 + 513 + 280 + 5 = 1161 bytes).
        _, settings = self.build("--folder", "f" * 260, "--text", "t" * 103, "--prompt", "p" * 513,
                                 "--info", "i" * 280)
        self.assertEqual(settings["archive"] - settings["config"], 1161)

    def test_self_check_and_checksum(self):
        data, settings = self.build("--no-selfcheck")
        self.assertEqual(settings["crc"], 0)
        self.assertEqual(read_pe(data)["checksum"], pe_checksum(data))
        data, settings = self.build()
        self.assertNotEqual(settings["crc"], 0)
        self.assertEqual(read_pe(data)["checksum"], pe_checksum(data))
        # A check of the headers covers the checksum too: that stays 0.
        data, settings = self.build("--full-selfcheck")
        self.assertNotEqual(settings["crc"], 0)
        self.assertEqual(read_pe(data)["checksum"], 0)
        stub_pe = read_pe(self.stub)
        if stub_pe["checksum"]:  # the linker's own checksum confirms pe_checksum()
            self.assertEqual(stub_pe["checksum"], pe_checksum(self.stub))

    @unittest.skipUnless(shutil.which("osslsigncode") and shutil.which("openssl"), "needs osslsigncode")
    def test_default_output_survives_signing(self):
        data, settings = self.build()
        self.assertEqual(read_pe(data)["checksum"], pe_checksum(data))
        key, cert, signed = self.path("k.pem"), self.path("c.pem"), self.path("signed.exe")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=t", "-days", "1",
                        "-keyout", key, "-out", cert], check=True, capture_output=True)
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", self.path("out.exe"),
                        "-out", signed], check=True, capture_output=True)
        with open(signed, "rb") as f:
            signed_data = f.read()
        self.assertGreater(len(signed_data), len(data))
        self.assertEqual(image_crc(signed_data, settings, read_pe(signed_data)), settings["crc"])
        self.assertEqual(signed_data[settings["end"]:settings["end"] + 4], SIG_END)
        shown = mksfx("--show", signed)
        self.assertEqual(shown.returncode, 0, shown.stderr)
        self.assertIn("self-check: CRC-32 0x%08X from the section table, matches\n" % settings["crc"], shown.stdout)
        self.assertIn(" a.txt\n", shown.stdout)


def stub64_path():
    """The 64-bit stub, beside the one under test."""
    return os.path.join(os.path.dirname(STUB), "arcula-sfx64.exe")


def skip_without_stub64(test):
    if not os.path.isfile(stub64_path()):
        test.skipTest("no 64-bit stub (arcula-sfx64.exe) beside %s" % STUB)


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


# What each processor's image carries: machine type, optional header magic,
# and where the section table begins behind e_lfanew.
PE_HEADERS = {"x86": (0x14C, 0x10B, 248), "x64": (0x8664, 0x20B, 264)}


class SixtyFourBitStub(Workspace):
    """The 64-bit stub goes through the builder as the 32-bit one does: a
    PE32+ image, whose longer optional header moves the section table and
    the data directories."""

    def setUp(self):
        super().setUp()
        skip_without_stub64(self)
        self.stub = read_file(stub64_path())
        self.source = self.path("in.zip")
        with zipfile.ZipFile(self.source, "w") as z:
            z.writestr("a.txt", b"a")

    def build(self, *options):
        out = self.path("out.exe")
        result = mksfx("--stub", stub64_path(), *options, self.source, out)
        self.assertEqual(result.returncode, 0, result.stderr)
        return out, read_file(out)

    def check_headers(self, data, arch):
        pe = read_pe(data)
        self.assertEqual((pe["machine"], pe["magic"], pe["table"] - pe["pe"]), PE_HEADERS[arch])

    def builder_beside(self, stubs):
        """A copy of the builder in a folder of its own, with `stubs` (name:
        file to copy) beside it, where it looks for them."""
        folder = self.path("bin")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        shutil.copy(os.path.join(BIN, "arcula-mksfx"), folder)
        for name, source in stubs.items():
            shutil.copy(source, os.path.join(folder, name))
        return os.path.join(folder, "arcula-mksfx")

    def test_layout_self_check_and_show(self):
        for options, origin in (([], "from the section table"), (["--full-selfcheck"], "from the file's start")):
            with self.subTest(options):
                out, data = self.build(*options)
                self.check_headers(data, "x64")
                settings = self.check_layout(data, self.stub)
                shown = mksfx("--show", out)
                self.assertIn("arch: x64\n", shown.stdout)
                self.assertIn("self-check: CRC-32 0x%08X %s, matches\n" % (settings["crc"], origin), shown.stdout)
                shown = json.loads(mksfx("--json", "--show", out).stdout)
                self.assertEqual((shown["arch"], shown["image_crc_matches"]), ("x64", True))

    def test_self_check_starts_at_the_section_table(self):
        """What --show checks from the section table leaves out the 16 bytes
        the longer optional header adds, and takes in the table's first byte."""
        out, data = self.build()
        pe = read_pe(data)
        rows = [  # offset changed, verdict
            (pe["pe"] + 248, "matches"),  # where the table of a 32-bit image would begin
            (pe["table"] - 1, "matches"),
            (pe["table"], "does not match"),
        ]
        for offset, verdict in rows:
            with self.subTest(offset=offset - pe["pe"]):
                changed = bytearray(data)
                changed[offset] ^= 1
                with open(out, "wb") as f:
                    f.write(changed)
                self.assertIn(", %s\n" % verdict, mksfx("--show", out).stdout)

    def test_arch_picks_the_stub_beside_the_builder(self):
        builder = self.builder_beside({"arcula-sfx.exe": STUB, "arcula-sfx64.exe": stub64_path()})
        for options, arch in (([], "x86"), (["--arch", "x86"], "x86"), (["--arch=x64"], "x64")):
            with self.subTest(options):
                out = self.path("out.exe")
                result = subprocess.run([builder, "--json", *options, self.source, out], capture_output=True,
                                        text=True)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(json.loads(result.stdout)["arch"], arch)
                data = read_file(out)
                self.check_headers(data, arch)
                self.check_layout(data, read_file(STUB if arch == "x86" else stub64_path()))
                self.assertEqual(json.loads(mksfx("--json", "--show", out).stdout)["arch"], arch)

    def test_arch_that_does_not_fit_the_stub_is_refused(self):
        x86_only, x86_as_x64 = {"arcula-sfx.exe": STUB}, {"arcula-sfx64.exe": STUB}
        rows = [  # label, stubs beside the builder, options, status, message
            ("x64 --stub for --arch x86", x86_only, ["--arch", "x86", "--stub", stub64_path()], 2,
             "--arch x86 asks for an x86 stub, but --stub %s is an x64 one\nTry" % stub64_path()),
            ("x86 --stub for --arch x64", x86_only, ["--arch", "x64", "--stub", STUB], 2,
             "--arch x64 asks for an x64 stub, but --stub %s is an x86 one\nTry" % STUB),
            ("unknown processor", x86_only, ["--arch", "arm64"], 2, "--arch takes x86 or x64, not 'arm64'"),
            ("empty processor", x86_only, ["--arch="], 2, "--arch takes x86 or x64, not ''"),
            ("no 64-bit stub beside the builder", x86_only, ["--arch", "x64"], 1,
             "%s: cannot open: No such file or directory" % self.path("bin", "arcula-sfx64.exe")),
            ("a 32-bit stub named as the 64-bit one", x86_as_x64, ["--arch", "x64"], 1,
             "%s: --arch x64 asks for an x64 stub, but this stub is an x86 one"
             % self.path("bin", "arcula-sfx64.exe")),
        ]
        for label, stubs, options, status, message in rows:
            with self.subTest(label):
                builder = self.builder_beside(stubs)
                out = self.path(label + ".exe")
                result = subprocess.run([builder, *options, self.source, out], capture_output=True, text=True)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(out))


class SpannedSets(Workspace):
    """--span writes one folder per disk. Joined, the volumes are the archive,
    opening with the spanning signature, readable front to back, and ordinary
    zip tools accept them as a split archive (disk numbers and offsets)."""

    SIZE = 60000

    def setUp(self):
        super().setUp()
        self.tree = self.path("tree")
        self.files, _ = make_tree(self.tree)
        self.stub = stub_bytes()

    def build_set(self, names, *options, into=None):
        into = into or names
        out = self.path(into, "Setup.exe")
        result = mksfx("--span", self.SIZE, "--span-names", names, *options, self.tree, out)
        self.assertEqual(result.returncode, 0, result.stderr)
        disks = []
        while os.path.isdir(self.path(into, "disk%d" % (len(disks) + 1))):
            folder = self.path(into, "disk%d" % (len(disks) + 1))
            disks.append({})
            for name in os.listdir(folder):
                with open(os.path.join(folder, name), "rb") as f:
                    disks[-1][name] = f.read()
        return result.stdout, disks

    def check_split_zip_tools(self, volumes):
        """The volumes as a split archive (NAME.z01, ..., NAME.zip)."""
        split = self.path("split")
        os.makedirs(split)
        for i, volume in enumerate(volumes):
            name = "set.zip" if i == len(volumes) - 1 else "set.z%02d" % (i + 1)
            with open(os.path.join(split, name), "wb") as f:
                f.write(volume)
        seven = subprocess.run(["7zz", "t", "-p" + PASSWORD, "set.zip"], cwd=split, capture_output=True, text=True)
        self.assertEqual(seven.returncode, 0, seven.stdout + seven.stderr)
        self.assertNotIn("WARNING", seven.stdout + seven.stderr)
        join = subprocess.run(["zip", "-s", "0", "set.zip", "--out", "joined.zip"], cwd=split,
                              capture_output=True, text=True)
        self.assertEqual(join.returncode, 0, join.stdout + join.stderr)
        with zipfile.ZipFile(os.path.join(split, "joined.zip")) as z:
            z.setpassword(PASSWORD.encode())
            read = {i.filename: z.read(i) for i in z.infolist() if not i.is_dir()}
        self.assertEqual(read, self.files)
        shutil.rmtree(split)

    def test_sets(self):
        rows = [  # label, volume names, options, processor of the stub
            ("exe", "exe", ["--password", PASSWORD, "--encryption", "zipcrypto"], "x86"),
            ("zip", "zip", [], "x86"),
            ("exe-x64", "exe", ["--password", PASSWORD, "--encryption", "zipcrypto"], "x64"),
        ]
        for label, names, options, arch in rows:
            with self.subTest(label):
                if arch == "x64":
                    skip_without_stub64(self)
                stub_path = STUB if arch == "x86" else stub64_path()
                stdout, disks = self.build_set(names, "--stub", stub_path, *options, into=label)
                self.assertGreaterEqual(len(disks), 4)
                for number in range(1, len(disks) + 1):
                    self.assertIn('disk%d: label "PKBACK# %03d"' % (number, number), stdout)
                volume = "Setup." + names.upper()
                self.assertEqual(sorted(disks[0]), sorted({"Setup.EXE", volume}))
                self.assertTrue(all(list(disk) == [volume] for disk in disks[1:]))

                exe = disks[0]["Setup.EXE"]
                settings = self.check_layout(exe, read_file(stub_path))
                shown = json.loads(mksfx("--json", "--show", self.path(label, "disk1", "Setup.EXE")).stdout)
                self.assertEqual((shown["arch"], shown["image_crc_matches"]), (arch, True))
                expected = DEFAULT_FLAGS | FLAG_SPANNED | (FLAG_EXE_VOLUMES if names == "exe" else 0) | \
                    (FLAG_ENCRYPTED if options else 0)
                self.assertEqual(settings["flags"], expected)
                if names == "exe":  # disk 1 cut at the last multiple of 512 that fits
                    self.assertEqual(len(exe), self.SIZE // 512 * 512)
                    volumes = [exe[settings["archive"]:]]
                else:  # the stub and texts only, beside the first volume
                    self.assertEqual(len(exe) + len(disks[0][volume]), self.SIZE)
                    self.assertEqual(len(exe), -(-settings["archive"] // 512) * 512)
                    volumes = [disks[0][volume]]
                volumes += [disk[volume] for disk in disks[1:]]
                self.assertTrue(all(len(v) == self.SIZE for v in volumes[1:-1]))
                self.assertLessEqual(len(volumes[-1]), self.SIZE)

                stream = b"".join(volumes)
                self.assertEqual(stream[:4], SIG_DESCRIPTOR, "the spanning signature opens the archive")
                files, _, _ = walk_front_to_back(self, stream, 4, PASSWORD)
                self.assertEqual(files, self.files)
                self.check_split_zip_tools([exe] + volumes[1:] if names == "exe" else volumes)


    def test_older_set_in_the_folder(self):
        """Disk folders of an older set (in any case) are refused, unless
        --force, which clears them and says so; INPUT in one of them is
        refused even then, and so is a disk folder that holds anything but
        the older set's volumes: nothing at all is removed then. Other names
        are left alone."""
        folder, out = self.path("set"), self.path("set", "setup.exe")
        elsewhere = self.path("elsewhere")

        def older_set(names, extras):
            shutil.rmtree(folder, ignore_errors=True)
            shutil.rmtree(elsewhere, ignore_errors=True)
            os.makedirs(os.path.join(folder, "diskette"))
            os.makedirs(os.path.join(elsewhere, "kept"))
            empty_file(os.path.join(elsewhere, "kept", "SETUP.EXE"))  # looks like a volume, lies elsewhere
            empty_file(os.path.join(folder, "disk9"))  # a file, not a disk folder
            for name in names:
                os.makedirs(os.path.join(folder, name))
                empty_file(os.path.join(folder, name, "SETUP.EXE"))
            for extra in extras:
                path = os.path.join(folder, extra)
                if extra.endswith("/"):
                    os.makedirs(path)
                elif extra.endswith("@"):  # a link to a folder of someone's files
                    os.symlink(os.path.join(elsewhere, "kept"), path[:-1])
                else:
                    empty_file(path)

        def tree_below(top):
            return sorted(os.path.relpath(os.path.join(d, n), top) for d, dirs, files in os.walk(top)
                          for n in dirs + files)

        rows = [  # label, older disk folders, other things there, options, status, message
            ("older set", ["disk1", "disk2", "disk5"], [], [], 1,
             "it holds the disk folders of an older set (disk1, disk2, disk5); --force clears them"),
            ("other case", ["Disk3"], [], [], 1, "older set (Disk3)"),
            ("forced", ["disk1", "disk2", "DISK5"], ["disk1/SETUP.ZIP"], ["--force"], 0,
             "cleared the older set's disk folders (disk1, disk2, DISK5)"),
            ("nothing to clear", [], [], ["--force"], 0, None),
            ("someone's file", ["disk1", "disk2"], ["disk2/notes.txt"], ["--force"], 1,
             "disk2 holds notes.txt, which is not a file of an older set"),
            ("a folder inside", ["disk1", "disk2"], ["disk1/photos/"], ["--force"], 1,
             "disk1 holds photos, which is not a file of an older set"),
            ("a lower-case volume", ["disk1"], ["disk1/setup.exe"], ["--force"], 1,
             "disk1 holds setup.exe, which is not a file of an older set"),
            ("another set's volume", ["disk1", "disk2"], ["disk2/OTHER.ZIP"], ["--force"], 1,
             "which is not a file of an older set"),
            ("a link to a folder", ["disk1"], ["disk2@"], ["--force"], 1,
             "disk2 is not a folder of an older set (a link"),
        ]
        for label, names, extras, options, status, message in rows:
            with self.subTest(label):
                older_set(names, extras)
                before = tree_below(folder)
                result = mksfx("--span", self.SIZE, *options, self.tree, out)
                self.assertEqual(result.returncode, status, result.stderr)
                if message:
                    self.assertIn("arcula-mksfx: %s: " % folder, result.stderr)
                    self.assertIn(message, result.stderr)
                else:
                    self.assertEqual(result.stderr, "")
                left = sorted(os.listdir(folder))
                self.assertIn("diskette", left)
                self.assertIn("disk9", left)
                self.assertEqual(os.listdir(os.path.join(elsewhere, "kept")), ["SETUP.EXE"])
                if status == 0:
                    disks = [n for n in left if n.lower().startswith("disk") and n[4:].isdigit() and n != "disk9"]
                    self.assertEqual(disks, ["disk%d" % i for i in range(1, len(disks) + 1)])
                    self.assertEqual(os.listdir(os.path.join(folder, "disk1")), ["setup.EXE"])
                else:
                    self.assertEqual(tree_below(folder), before)
        older_set(["disk1"], [])
        source = os.path.join(folder, "disk1", "in.zip")
        toollib.python_zip(self.tree, source, streamed=False)
        result = mksfx("--span", self.SIZE, "--force", source, out)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("INPUT lies in disk1, which --force would clear", result.stderr)
        self.assertTrue(os.path.exists(source))


# --- refusals ---------------------------------------------------------------

def crafted_zip(path, names, data=b"x"):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # duplicates on purpose
        with zipfile.ZipFile(path, "w") as z:
            for name in names:
                z.writestr(zipfile.ZipInfo(name), b"" if name.endswith("/") else data)


def set_encrypted_flag(path):
    """Marks every entry encrypted in both headers without encrypting it."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    for sig, field in ((SIG_LOCAL, 6), (SIG_CENTRAL, 8)):
        at = data.find(sig)
        while at >= 0:
            data[at + field] |= 1
            at = data.find(sig, at + 4)
    with open(path, "wb") as f:
        f.write(data)


def share_one_local_header(path, copies):
    """Repeats the archive's only central record: every copy points at the
    same local header."""
    with open(path, "rb") as f:
        data = f.read()
    end = data.rfind(SIG_END)
    _, _, _, _, size, offset, _ = struct.unpack_from("<4H2IH", data, end + 4)
    central = data[offset:offset + size] * copies
    with open(path, "wb") as f:
        f.write(data[:offset] + central + struct.pack("<4s4H2IH", SIG_END, 0, 0, copies, copies, len(central),
                                                       offset, 0))


def stretch_first_entry(path, by):
    """Makes the first entry's data, as its central record tells it, run `by`
    bytes into the next entry's local header."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    at = data.find(SIG_CENTRAL)
    struct.pack_into("<I", data, at + 20, u32(data, at + 20) + by)
    with open(path, "wb") as f:
        f.write(data)


class Refusals(Workspace):
    """Each refusal: exit status, a message naming the reason, no output."""

    def setUp(self):
        super().setUp()
        self.stub = stub_bytes()

    def make_input(self, kind):
        source = self.path("in.zip")
        if os.path.exists(source):
            os.remove(source)
        rng = random.Random(1)
        if kind == "deflate64":
            with open(self.path("big.txt"), "wb") as f:
                f.write(b"deflate64 " * 5000)
            subprocess.run(["7zz", "a", "-bd", "-tzip", "-mm=Deflate64", source, "big.txt"], cwd=self.dir,
                           check=True, stdout=subprocess.DEVNULL)
        elif kind == "zip64":
            with zipfile.ZipFile(source, "w") as z:
                with z.open("a.txt", "w", force_zip64=True) as f:
                    f.write(b"zip64")
        elif kind == "split":
            with open(self.path("big.bin"), "wb") as f:
                f.write(rng.randbytes(100000))
            subprocess.run(["zip", "-q", "-s", "64k", source, "big.bin"], cwd=self.dir, check=True)
        elif kind == "damaged":
            with zipfile.ZipFile(source, "w", zipfile.ZIP_DEFLATED) as z:
                z.writestr("a.txt", b"hello hello hello hello")
            with open(source, "r+b") as f:
                f.seek(30 + 5 + 3)
                byte = f.read(1)
                f.seek(-1, 1)
                f.write(bytes([byte[0] ^ 0x55]))
        elif kind == "short-encrypted":
            crafted_zip(source, ["a.txt"], b"12345")
            set_encrypted_flag(source)
        elif kind == "shared-header":
            with zipfile.ZipFile(source, "w", zipfile.ZIP_DEFLATED) as z:
                z.writestr("zeros.bin", bytes(1 << 20))
            share_one_local_header(source, 1000)
        elif kind == "overlap":
            crafted_zip(source, ["a.txt", "b.txt"], b"data" * 25)
            stretch_first_entry(source, 10)
        elif kind == "not-zip":
            with open(source, "wb") as f:
                f.write(b"just text, no archive\n" * 10)
        else:  # a list of names
            crafted_zip(source, kind)
        return source

    def make_stub(self, kind):
        data = bytearray(self.stub)
        at = data.find(MARKER)
        if kind == "no-marker":
            data[at] ^= 0xFF
        elif kind == "two-markers":
            data[0x50:0x58] = MARKER  # in the DOS stub, ahead of the block
        path = self.path("stub.exe")
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_refusals(self):
        long_texts = ["--folder", "f" * 260, "--text", "t" * 103, "--prompt", "p" * 513, "--title", "t" * 64,
                      "--info", "i" * 400]
        rows = [  # label, input kind, extra options, status, part of the message
            ("Deflate64", "deflate64", [], 1, 'entry "big.txt" uses compression method 9 (Deflate64)'),
            ("ZIP64", "zip64", [], 1, "ZIP64 archives are not supported"),
            ("split", "split", [], 1, "split or spanned archives are not supported"),
            ("name of 201 bytes", ["d" * 201], [], 1, "has a name of 201 bytes; at most 200"),
            ("dot-dot", ["a/../../evil.txt"], [], 1, "unsafe name: it has a '..' component"),
            ("backslash dot-dot", ["\\..\\evil.txt"], [], 1, "unsafe name: it has a '..' component"),
            ("drive", ["C:evil.txt"], [], 1, "unsafe name: it holds a ':'"),
            ("stream", ["a.txt:hidden"], [], 1, "unsafe name: it holds a ':'"),
            ("device", ["dir/con"], [], 1, "unsafe name: it names a Windows device"),
            ("device with extension", ["Lpt9.log"], [], 1, "unsafe name: it names a Windows device"),
            ("device with blank", ["aux .txt"], [], 1, "unsafe name: it names a Windows device"),
            ("empty name", ["/"], [], 1, "unsafe name: it is empty"),
            ("dots only", ["a/.../b.txt"], [], 1, "unsafe name: it has a component of only dots and blanks"),
            ("blank only", ["d/ /f"], [], 1, "unsafe name: it has a component of only dots and blanks"),
            ("dot and blank", [". /f"], [], 1, "unsafe name: it has a component of only dots and blanks"),
            ("one blank", [" "], [], 1, "unsafe name: it has a component of only dots and blanks"),
            ("console device", ["CONIN$"], [], 1, "unsafe name: the self-extractor refuses it"),
            ("duplicate", ["a.txt", "A.TXT"], [], 1, 'entry "A.TXT" lands on the same file as entry "a.txt"'),
            ("file and folder", ["a", "a/"], [], 1, 'lands on the same file as entry "a"'),
            ("file in the way", ["a", "a/b.txt"], [], 1, 'entry "a" is a file, but entry "a/b.txt" needs a folder'),
            ("damaged data", "damaged", [], 1, 'entry "a.txt" is damaged'),
            ("records sharing a header", "shared-header", [], 1,
             'entry "zeros.bin" and entry "zeros.bin" share one local header'),
            ("overlapping records", "overlap", [], 1, 'the data of entry "a.txt" runs into entry "b.txt"'),
            ("short encrypted", "short-encrypted", [], 1, "shorter than the 12-byte encryption header"),
            ("not a zip", "not-zip", [], 1, "not a ZIP archive"),
            ("folder too long", ["a.txt"], ["--folder", "f" * 261], 1, "--folder is 261 bytes long; at most 260"),
            ("text too long", ["a.txt"], ["--text", "t" * 104], 1, "--text is 104 bytes long; at most 103"),
            ("prompt too long", ["a.txt"], ["--prompt", "p" * 514], 1, "--prompt is 514 bytes long; at most 513"),
            ("title too long", ["a.txt"], ["--title", "t" * 65], 1, "--title is 65 bytes long; at most 64"),
            ("info too long", ["a.txt"], ["--info", "i" * 512], 1, "--info is 512 bytes long; at most 511"),
            ("title not UTF-8", ["a.txt"], ["--title", os.fsdecode(b"T\xe9")], 1, "--title is not UTF-8"),
            ("config block too long", ["a.txt"], long_texts, 1, "take 1345 bytes with their terminators; at most 1256"),
            ("stub without marker", ["a.txt"], ["--stub", "no-marker"], 1, "it has no settings block"),
            ("stub with two markers", ["a.txt"], ["--stub", "two-markers"], 1, "settings marker occurs more than once"),
            ("password for a zip", ["a.txt"], ["--password", "x"], 1,
             "a ZIP's entries go in as they are and cannot be encrypted here: give the folder instead"),
            ("unknown option", ["a.txt"], ["--split", "1440k"], 2, "unknown option --split"),
            ("span too small for disk 1", ["a.txt"], ["--span", "4k"], 1, "leaves no room for the archive on disk 1"),
            ("span without a size", ["a.txt"], ["--span", "12x"], 2, "--span takes a size in bytes"),
            ("span names", ["a.txt"], ["--span", "1m", "--span-names", "rar"], 2, "--span-names takes exe or zip"),
            ("span names without span", ["a.txt"], ["--span-names", "zip"], 2, "--span-names needs --span"),
        ]
        for label, kind, options, status, message in rows:
            with self.subTest(label):
                source = self.make_input(kind)
                options = [self.make_stub(o) if o in ("no-marker", "two-markers") else o for o in options]
                result = mksfx(*options, source, self.path("out.exe"))
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertFalse([n for n in os.listdir(self.dir) if n.startswith(("out.exe", "disk"))])

    def test_stub_headers(self):
        """A stub is taken for either processor only with the optional header
        that goes with it; each finds its security directory where its own
        data directories begin."""
        other = "it is not a 32-bit or 64-bit Windows executable"
        signed = "it is signed; sign the self-extractor instead"
        rows = [  # label, stub, offset from e_lfanew, format, value written, message
            ("ARM64 machine", "x64", 4, "<H", 0xAA64, other),
            ("x64 machine on a 32-bit header", "x86", 4, "<H", 0x8664, other),
            ("i386 machine on a 64-bit header", "x64", 4, "<H", 0x14C, other),
            ("64-bit magic in a 32-bit image", "x86", 24, "<H", 0x20B, other),
            ("32-bit magic in a 64-bit image", "x64", 24, "<H", 0x10B, other),
            ("32-bit optional header of 240 bytes", "x86", 20, "<H", 240, other),
            ("64-bit optional header of 224 bytes", "x64", 20, "<H", 224, other),
            ("signed 32-bit stub", "x86", 24 + 96 + 4 * 8 + 4, "<I", 0x400, signed),
            ("signed 64-bit stub", "x64", 24 + 112 + 4 * 8 + 4, "<I", 0x400, signed),
        ]
        crafted_zip(self.path("in.zip"), ["a.txt"])
        for label, arch, offset, layout, value, message in rows:
            with self.subTest(label):
                if arch == "x64":
                    skip_without_stub64(self)
                data = bytearray(self.stub if arch == "x86" else read_file(stub64_path()))
                struct.pack_into(layout, data, u32(data, 0x3C) + offset, value)
                stub = self.path("stub.exe")
                with open(stub, "wb") as f:
                    f.write(data)
                out = self.path(label + ".exe")
                result = mksfx("--stub", stub, self.path("in.zip"), out)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn("%s: not usable as a stub: %s\n" % (stub, message), result.stderr)
                self.assertFalse(os.path.exists(out))

    def test_default_stub_is_beside_the_builder(self):
        for program, source in (("arcula-mksfx", os.path.join(BIN, "arcula-mksfx")), ("arcula-sfx.exe", STUB)):
            shutil.copy(source, self.path(program))
        crafted_zip(self.path("in.zip"), ["a.txt"])
        result = subprocess.run([self.path("arcula-mksfx"), self.path("in.zip"), self.path("out.exe")],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(self.path("out.exe"), "rb") as f:
            self.check_layout(f.read(), self.stub)

    def test_name_of_200_bytes_is_accepted(self):
        source = self.path("in.zip")
        crafted_zip(source, ["d/" * 50 + "n" * 100])
        self.assertEqual(mksfx(source, self.path("out.exe")).returncode, 0)

    def test_hostile_archives(self):
        """Damaged variants of a real archive: the builder never crashes, leaves
        no partial file, and whatever it accepts is still stub-readable."""
        tree = self.path("tree")
        os.makedirs(os.path.join(tree, "sub"))
        for name, data in (("a.txt", b"alpha " * 40), ("sub/b.bin", bytes(range(256)) * 4), ("c.txt", b"")):
            with open(os.path.join(tree, name), "wb") as f:
                f.write(data)
        good = self.path("good.zip")
        subprocess.run(["zip", "-q", "-r", good, "."], cwd=tree, check=True)
        with open(good, "rb") as f:
            original = f.read()
        rng = random.Random(42)
        source, out = self.path("bad.zip"), self.path("out.exe")
        for round_ in range(300):
            data = bytearray(original)
            if round_ % 10 == 0:
                data = data[:rng.randrange(len(data))]
            for _ in range(rng.randint(1, 4)):
                data[rng.randrange(len(data))] = rng.choice((0, 0xFF, rng.randrange(256)))
            with open(source, "wb") as f:
                f.write(data)
            result = mksfx(source, out)
            with self.subTest(round=round_):
                self.assertIn(result.returncode, (0, 1), result.stderr)
                if result.returncode == 0:
                    with open(out, "rb") as f:
                        built = f.read()
                    walk_front_to_back(self, built, read_settings(built)["archive"], PASSWORD)
                    os.remove(out)
                else:
                    self.assertTrue(result.stderr.startswith("arcula-mksfx: "), result.stderr)
                    self.assertFalse([n for n in os.listdir(self.dir) if n.startswith("out.exe")])


# --- names as Windows sees them ----------------------------------------------

HOST_DOS, HOST_UNIX = 0, 3  # the high byte of "version made by"
FLAG_UTF8 = 0x800


def raw_zip(path, entries):
    """A stored ZIP of entries given as (name bytes, host, flag bits[, extra
    field]), or as a text written the way zipfile writes it on Linux. For
    names zipfile would not write as given: code page bytes, UTF-8 without its
    flag. The extra field goes into both headers."""
    local, central = b"", b""
    for entry in entries:
        if isinstance(entry, str):
            entry = (entry.encode(), HOST_UNIX, 0 if entry.isascii() else FLAG_UTF8)
        name, host, flags, extra = entry if len(entry) == 4 else entry + (b"",)
        data = b"" if name.endswith(b"/") else b"x"
        crc = zlib.crc32(data)
        central += struct.pack("<4s6H3I5H2I", SIG_CENTRAL, host << 8 | 20, 20, flags, 0, 0, 0x21, crc, len(data),
                               len(data), len(name), len(extra), 0, 0, 0, 0, len(local)) + name + extra
        local += struct.pack("<4s5H3I2H", SIG_LOCAL, 20, flags, 0, 0, 0x21, crc, len(data), len(data),
                             len(name), len(extra)) + name + extra + data
    with open(path, "wb") as f:
        f.write(local + central + struct.pack("<4s4H2IH", SIG_END, 0, 0, len(entries), len(entries),
                                              len(central), len(local), 0))


def shown(entry):
    """How the builder's message shows a name: bytes that are not UTF-8 as
    \\xNN."""
    if not isinstance(entry, tuple):
        return entry
    return re.sub(r"\\x([0-9a-f]{2})", lambda m: "\\x" + m.group(1).upper(),
                  entry[0].decode("utf-8", "backslashreplace"))


class WindowsNames(Workspace):
    """Names Windows cannot create, or takes for another entry's name, are
    refused, naming the entries; nothing is written."""

    def refused(self, entries):
        source = self.path("in.zip")
        raw_zip(source, entries)
        result = mksfx(source, self.path("out.exe"))
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertFalse([n for n in os.listdir(self.dir) if n.startswith("out.exe")])
        return result.stderr

    def test_names_windows_takes_for_one(self):
        same = 'entry "%s" lands on the same file as entry "%s"'
        in_the_way = 'entry "%s" is a file, but entry "%s" needs a folder of that name'
        dos_e_acute, dos_capital_e_acute = (b"\x82.txt", HOST_DOS, 0), (b"\x90.txt", HOST_DOS, 0)
        rows = [  # first entry, second entry, message (second named first)
            ("a", "//a", same),
            ("a", "./a", same),
            ("a", "\\a", same),
            ("d/a", "d//a", same),
            ("d/a", "d/./a", same),
            ("d/a", "d\\a", same),
            ("a.txt", "A.Txt", same),
            ("É.txt", "é.txt", same),
            ("Ωμέγα", "ΩΜΈΓΑ", same),
            ("ж", "Ж", same),
            (dos_capital_e_acute, dos_e_acute, same),  # É and é in code page 437
            ((b"\x8e", HOST_DOS, 0), (b"\x84", HOST_DOS, 0), same),  # Ä and ä
            ((b"\xe4", HOST_DOS, 0), (b"\xe5", HOST_DOS, 0), same),  # Σ and σ
            # Info-ZIP on Linux writes UTF-8 without the flag.
            (("É".encode(), HOST_UNIX, 0), ("é".encode(), HOST_UNIX, 0), same),
            ("x", "./x/y", in_the_way),
            ("x", "X/y/z", in_the_way),
            ("ä", "Ä/b", in_the_way),
            ("a", "a/", same),
        ]
        for first, second, message in rows:
            with self.subTest(first=first, second=second):
                stderr = self.refused([first, second])
                if message == in_the_way:
                    self.assertIn(message % (shown(first), shown(second)), stderr)
                else:
                    self.assertIn(message % (shown(second), shown(first)), stderr)

    def test_names_windows_cannot_create(self):
        rows = [  # name, as the message shows it, reason
            ("a*b", "a*b", "it holds a '*'"),
            ("a?b", "a?b", "it holds a '?'"),
            ("d/<b", "d/<b", "it holds a '<'"),
            ("a>b", "a>b", "it holds a '>'"),
            ("a|b", "a|b", "it holds a '|'"),
            ('say "hi"', 'say "hi"', "it holds a '\"'"),
            ("a\x01b", "a\\x01b", "it holds a control character"),
            ("a\nforged line", "a\\nforged line", "it holds a control character"),
            ("tab\tbed/", "tab\\tbed/", "it holds a control character"),
            ("\x1b[31mred", "\\x1B[31mred", "it holds a control character"),
            (".", ".", "it has a component of only dots and blanks"),
            ("d/.", "d/.", "it has a component of only dots and blanks"),
            # Windows would drop them; past 260 characters it keeps them.
            ("a.txt.", "a.txt.", "it has a component that ends in a dot or a blank"),
            ("tail ", "tail ", "it has a component that ends in a dot or a blank"),
            ("a./b.txt", "a./b.txt", "it has a component that ends in a dot or a blank"),
            ("e /f.txt", "e /f.txt", "it has a component that ends in a dot or a blank"),
            ("d. /a", "d. /a", "it has a component that ends in a dot or a blank"),
            ("x/y..\\z", "x/y..\\z", "it has a component that ends in a dot or a blank"),
            ("docs /", "docs /", "it has a component that ends in a dot or a blank"),
        ]
        for name, escaped, reason in rows:
            with self.subTest(name=name):
                stderr = self.refused([name])
                self.assertEqual(stderr.splitlines(),
                                 ['arcula-mksfx: %s: entry "%s" has a name Windows cannot create: %s'
                                  % (self.path("in.zip"), escaped, reason)])

    def test_port_devices_beyond_the_digits_1_to_9(self):
        # Windows opens COM0 and LPT0, and takes the superscripts 1, 2 and 3
        # for the ports' digits: in UTF-8, and in whatever code page reads a
        # name without the UTF-8 flag (superscript 2 is 0xFD in code page
        # 437, 0xB2 in 1252).
        rows = ["COM0", "lpt0.txt", "COM¹", "com².log", "LPT³ .txt", "d/Lpt¹./x", (b"COM\xb9.txt", HOST_DOS, 0),
                (b"d/lpt\xb2", HOST_DOS, 0), (b"lpt\xfd.txt", HOST_DOS, 0)]
        for entry in rows:
            with self.subTest(name=entry):
                stderr = self.refused([entry])
                self.assertIn('entry "%s" has an unsafe name: it names a Windows device' % shown(entry), stderr)

    def test_names_windows_keeps_apart(self):
        # The UTF-8 bytes of "Â" and "Ð" are "├é" and "├É" in code page 437,
        # which folds them to one name; the UTF-8 flag keeps them apart.
        names = ["./", "d/", "D/", "d/x", "d/./y", "ß", "SS", "a.b", "a..b", "\U00010428", "\U00010400",
                 "del\x7f", "Â.txt", "Ð.txt"]
        source, out = self.path("in.zip"), self.path("out.exe")
        raw_zip(source, names)
        result = mksfx("--list", source, out)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertRegex(result.stdout, r"\sdel\\x7F\n")

    def test_one_run_reports_every_problem(self):
        stderr = self.refused(["a", "A", "b*", "x", "x/y", "c.txt", "c.txt.", "d" * 201])
        for message in ['entry "A" lands on the same file as entry "a"',
                        'entry "b*" has a name Windows cannot create',
                        'entry "x" is a file, but entry "x/y" needs a folder',
                        'entry "c.txt." has a name Windows cannot create',
                        "has a name of 201 bytes",
                        "5 problems; nothing was written"]:
            self.assertIn(message, stderr)
        self.assertEqual(len(stderr.splitlines()), 6, stderr)
        # A name that cannot be read does not hide the others' problems.
        stderr = self.refused([(b"caf\xe9", HOST_DOS, FLAG_UTF8), "a:b", "n", "N"])
        for message in ['entry "caf\\xE9" is marked as UTF-8 but its name is not UTF-8',
                        'entry "a:b" has an unsafe name',
                        'entry "N" lands on the same file as entry "n"',
                        "3 problems; nothing was written"]:
            self.assertIn(message, stderr)


# --- names in UTF-8 -----------------------------------------------------------

def unicode_path(name, stored):
    """The Unicode Path extra field (0x7075): version 1, the CRC-32 of the
    stored name it stands for, the name in UTF-8."""
    body = b"\x01" + struct.pack("<I", zlib.crc32(stored)) + name.encode()
    return struct.pack("<HH", 0x7075, len(body)) + body


def extra_ids(extra):
    ids, at = [], 0
    while at + 4 <= len(extra):
        ids.append(u16(extra, at))
        at += 4 + u16(extra, at + 2)
    return ids


def written_names(out):
    """{name bytes: (flag bits, ids in the local extra, ids in the central
    extra, host system)} of the output's entries."""
    with open(out, "rb") as f:
        data = f.read()
    entries = {}
    with zipfile.ZipFile(out) as z:
        for info in z.infolist():
            name = info.filename.encode("utf-8" if info.flag_bits & FLAG_UTF8 else "cp437")
            at = info.header_offset
            local_extra = data[at + 30 + u16(data, at + 26):][:u16(data, at + 28)]
            entries[name] = (info.flag_bits, extra_ids(local_extra), extra_ids(info.extra), info.create_system)
    return entries


def unzipped_by_the_stub(test, exe, target, *options):
    """{name bytes: content} of the files the stub's own logic (the headless
    runner) creates from `exe` in `target`."""
    result = subprocess.run([os.path.join(BIN, "arcula-headless"), "--folder", target, *options, exe],
                            capture_output=True, text=True, errors="replace")
    test.assertEqual(result.returncode, 0, result.stderr)
    files = {}
    for folder, _, names in os.walk(target.encode()):
        for name in names:
            with open(os.path.join(folder, name), "rb") as f:
                files[os.path.relpath(os.path.join(folder, name), target.encode())] = f.read()
    shutil.rmtree(target)
    return files


class Utf8Names(Workspace):
    """Names reach the output as UTF-8 with general purpose bit 11 wherever the
    input says what they are; other names are kept as stored, with a warning,
    or converted from the charset given. Ordinary zip tools read the names
    the self-extractor will create."""

    def build(self, source, *options, password=PASSWORD):
        out = self.path("out.exe")
        result = mksfx(*options, source, out)
        self.assertEqual(result.returncode, 0, result.stderr)
        unzip = subprocess.run(["unzip", "-t", "-P", password, out], capture_output=True)
        self.assertEqual(unzip.returncode, 0, unzip.stdout + unzip.stderr)
        with open(out, "rb") as f:
            data = f.read()
        self.assertEqual(read_settings(data)["flags"] & BUILDER_FLAGS, BUILDER_FLAGS)
        walk_front_to_back(self, data, read_settings(data)["archive"], password)
        entries = written_names(out)
        self.check_listings(out, {name for name, (flags, _, _, _) in entries.items() if flags & FLAG_UTF8},
                            {name for name, (_, _, _, host) in entries.items() if host == HOST_UNIX})
        return result, entries

    def check_listings(self, out, utf8_names, made_on_unix):
        """7-Zip lists every UTF-8 name as written; so does unzip, but for those
        made on Unix only (Debian's unzip reads a name from a DOS host in the
        DOS code page even when bit 11 says it is UTF-8)."""
        seven = subprocess.run(["7zz", "l", "-slt", "-tzip", out], capture_output=True, check=True).stdout
        unzip = subprocess.run(["unzip", "-l", out], capture_output=True, env=dict(os.environ, LC_ALL="C.UTF-8"),
                               check=True).stdout
        for name in utf8_names:
            self.assertIn(b"Path = " + name.rstrip(b"/") + b"\n", seven)
            if name in made_on_unix:
                self.assertIn(b"   " + name + b"\n", unzip)

    def test_folder(self):
        tree = self.path("tree")
        names = ["plain.txt", "café.txt", "Ωμέγα.txt", "日本語/ファイル.txt", "\U0001F600.txt"]
        for name in names:
            os.makedirs(os.path.dirname(os.path.join(tree, name)), exist_ok=True)
            with open(os.path.join(tree, name), "wb") as f:
                f.write(name.encode())
        result, entries = self.build(tree)
        self.assertEqual({name: (flags & FLAG_UTF8, host) for name, (flags, _, _, host) in entries.items()},
                         {name.encode(): (0 if name.isascii() else FLAG_UTF8, HOST_UNIX)
                          for name in names + ["日本語/"]})
        self.assertEqual(result.stderr, "")
        self.assertEqual(unzipped_by_the_stub(self, self.path("out.exe"), self.path("unzipped")),
                         {name.encode(): name.encode() for name in names})

    def test_folder_names_not_utf8_are_refused(self):
        tree = self.path("tree").encode()
        os.makedirs(os.path.join(tree, b"d\xff"))
        for name in (b"ok.txt", b"caf\xe9.txt", b"d\xff/inner.txt"):
            empty_file(os.path.join(tree, name))
        result = mksfx(self.path("tree"), self.path("out.exe"))
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(sorted(result.stderr.splitlines()),
                         ["arcula-mksfx: %s: %s" % (self.path("tree"), line) for line in (
                             '"caf\\xE9.txt" has a name that is not UTF-8 (names are stored as UTF-8)',
                             '"d\\xFF" has a name that is not UTF-8 (names are stored as UTF-8)',
                             "2 problems; nothing was written")])
        self.assertFalse(os.path.exists(self.path("out.exe")))

    def test_zip_inputs(self):
        def from_tree(command):
            def make(source):
                tree = self.path("tree")
                shutil.rmtree(tree, ignore_errors=True)
                for name in ("café.txt", "Ωμέγα/日本.txt"):
                    os.makedirs(os.path.dirname(os.path.join(tree, name)), exist_ok=True)
                    empty_file(os.path.join(tree, name))
                write_zip([a for a in command], tree, source)
            return make

        def python_zipfile(source):
            with zipfile.ZipFile(source, "w") as z:
                for name in ("café.txt", "Ωμέγα/日本.txt"):
                    z.writestr(name, b"")

        def raw(*entries):
            return lambda source: raw_zip(source, list(entries))

        from_windows = [(b"\x81ber.txt", HOST_DOS, 0), (b"na\x8bve.txt", HOST_DOS, 0)]  # über, naïve in CP437
        tree_names = {"café.txt": FLAG_UTF8, "Ωμέγα/日本.txt": FLAG_UTF8}
        rows = [  # label, input, options, {name: bit 11} written, warning
            ("python zipfile (bit 11)", python_zipfile, [], tree_names, None),
            ("7-Zip (bit 11)", from_tree(["7zz", "a", "-bd", "-tzip", "{zip}", "."]), [],
             dict(tree_names, **{"Ωμέγα/": FLAG_UTF8}), None),
            ("Info-ZIP (UTF-8 made on Unix)", from_tree(["zip", "-q", "-r", "{zip}", "."]), [],
             dict(tree_names, **{"Ωμέγα/": FLAG_UTF8}), None),
            ("Unicode Path field", raw((b"\x81ber.txt", HOST_DOS, 0, unicode_path("über.txt", b"\x81ber.txt"))),
             [], {"über.txt": FLAG_UTF8}, None),
            ("Unicode Path field for another name", raw((b"\x81ber.txt", HOST_DOS, 0,
                                                         unicode_path("other.txt", b"older name"))),
             [], {b"\x81ber.txt": 0}, '1 name is not marked as UTF-8 and is kept as stored, for the self-extractor '
                                     'to read in the OEM code page of the machine that runs it ("\\x81ber.txt"); '
                                     '--name-charset CHARSET converts them'),
            ("code page names", raw(*from_windows, (b"\x82", HOST_DOS, 0), (b"\x83", HOST_DOS, 0), "ascii.txt"), [],
             {b"\x81ber.txt": 0, b"na\x8bve.txt": 0, b"\x82": 0, b"\x83": 0, "ascii.txt": 0},
             '4 names are not marked as UTF-8 and are kept as stored, for the self-extractor to read in the OEM code '
             'page of the machine that runs it ("\\x81ber.txt", "na\\x8Bve.txt", "\\x82", ...); --name-charset '
             'CHARSET converts them'),
            ("--name-charset CP437", raw(*from_windows, "Grüße.txt", ("é".encode(), HOST_UNIX, 0), "ascii.txt"),
             ["--name-charset", "CP437"],
             {"über.txt": FLAG_UTF8, "naïve.txt": FLAG_UTF8, "Grüße.txt": FLAG_UTF8, "é": FLAG_UTF8,
              "ascii.txt": 0},
             None),
        ]
        for label, make, options, expected, warning in rows:
            with self.subTest(label):
                source = self.path("in.zip")
                if os.path.exists(source):
                    os.remove(source)
                make(source)
                result, entries = self.build(source, *options)
                expected = {n.encode() if isinstance(n, str) else n: flag for n, flag in expected.items()}
                self.assertEqual({name: flags & FLAG_UTF8 for name, (flags, _, _, _) in entries.items()}, expected)
                self.assertFalse([name for name, (_, local, central, _) in entries.items()
                                  if 0x7075 in local + central])
                self.assertEqual(result.stderr,
                                 "arcula-mksfx: %s: warning: %s\n" % (source, warning) if warning else "")
                # The stub creates the names zip tools read: unmarked ones in
                # the OEM code page (437, the runner's default).
                created = unzipped_by_the_stub(self, self.path("out.exe"), self.path("unzipped"))
                self.assertEqual(set(created), {(n if flag else n.decode("cp437").encode()) for n, flag in
                                                expected.items() if not n.endswith(b"/")})

    def test_names_that_cannot_be_read(self):
        rows = [  # label, entries, options, status, message
            ("bit 11 on a name that is not UTF-8", [(b"caf\xe9", HOST_DOS, FLAG_UTF8)], [], 1,
             'entry "caf\\xE9" is marked as UTF-8 but its name is not UTF-8'),
            ("not text in the charset", [(b"\x81.txt", HOST_DOS, 0)], ["--name-charset", "SHIFT_JIS"], 1,
             'entry "\\x81.txt" has a name that is not text in SHIFT_JIS'),
            ("unknown charset", ["a.txt"], ["--name-charset", "NO-SUCH-CHARSET"], 2,
             "--name-charset: no conversion from 'NO-SUCH-CHARSET' to UTF-8"),
            # An odd last byte was left out of the name, and ASCII bytes are
            # not what these charsets mean by them.
            ("UTF-16", [(b"\xe9\x00A", HOST_DOS, 0)], ["--name-charset", "UTF-16LE"], 2,
             "--name-charset: 'UTF-16LE' does not write ASCII as ASCII"),
            ("EBCDIC", [(b"\xe9.txt", HOST_DOS, 0)], ["--name-charset", "IBM037"], 2,
             "--name-charset: 'IBM037' does not write ASCII as ASCII"),
            ("empty charset", [(b"\x81.txt", HOST_DOS, 0)], ["--name-charset="], 2, "--name-charset is empty"),
        ]
        for label, entries, options, status, message in rows:
            with self.subTest(label):
                raw_zip(self.path("in.zip"), entries)
                result = mksfx(*options, self.path("in.zip"), self.path("out.exe"))
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(self.path("out.exe")))
        os.makedirs(self.path("tree"))
        result = mksfx("--name-charset", "CP437", self.path("tree"), self.path("out.exe"))
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("--name-charset applies to a ZIP", result.stderr)

    def test_direction_controls_are_warned_of(self):
        """A name with characters that reverse the text's direction gets a
        warning that shows them escaped, so that the warning is not
        disguised too; the file is still built."""
        def folder(source, names):
            os.makedirs(source)
            for name in names:
                empty_file(os.path.join(source, name))

        def zipped(source, names):
            raw_zip(source, names)

        rows = [  # label, make, names, warnings
            ("override in a folder", folder, ["invoice\u202efdp.exe", "plain.txt"],
             ['entry "invoice\\u202Efdp.exe" holds characters that reverse the direction of the text around them '
              '(U+202E), so that its name, and its extension, can be shown as another']),
            ("isolates and marks in a ZIP", zipped, ["\u2067a\u2069\u2067b\u2069.txt", "a\u200fb\u061c.txt", "ok.txt"],
             ['entry "\\u2067a\\u2069\\u2067b\\u2069.txt" holds characters that reverse the direction of the text '
              'around them (U+2067, U+2069), so that',
              'entry "a\\u200Fb\\u061C.txt" holds characters that reverse the direction of the text around them '
              '(U+200F, U+061C), so that']),
            ("right-to-left letters alone", zipped, ["\u05e9\u05dc\u05d5\u05dd.txt"], []),
        ]
        for label, make, names, warnings in rows:
            with self.subTest(label):
                source = self.path(label if make is folder else label + ".zip")
                make(source, names)
                result = mksfx(source, self.path("out.exe"))
                self.assertEqual(result.returncode, 0, result.stderr)
                lines = result.stderr.splitlines()
                self.assertEqual(len(lines), len(warnings), result.stderr)
                for line, warning in zip(lines, warnings):
                    self.assertTrue(line.startswith("arcula-mksfx: %s: warning: %s" % (source, warning)), line)
                    self.assertTrue(line.isascii(), line)

    def test_password_beyond_ascii(self):
        """The files are encrypted with the password's UTF-8 bytes: tools given
        those bytes decrypt them, given the same text in Latin-1 they do not."""
        password = "pässwörd€✓"
        tree = self.path("tree")
        os.makedirs(tree)
        with open(os.path.join(tree, "secret.txt"), "wb") as f:
            f.write(b"secret\n" * 100)
        self.build(tree, "--password", password, "--encryption", "zipcrypto", password=password)
        out = self.path("out.exe")
        with zipfile.ZipFile(out) as z:
            self.assertEqual(z.read("secret.txt", pwd=password.encode()), b"secret\n" * 100)
        # (A wrong password fails at the check byte, or, one time in 256,
        # at the CRC: either way unzip fails.)
        for given, works in ((password.encode(), True), (password.encode("latin-1", "replace"), False)):
            unzip = subprocess.run([b"unzip", b"-t", b"-P", given, out.encode()], capture_output=True)
            self.assertEqual(unzip.returncode == 0, works, unzip.stdout + unzip.stderr)
        # The stub takes the password as typed, in UTF-8 since the texts are.
        self.assertEqual(unzipped_by_the_stub(self, out, self.path("unzipped"), "--password", password),
                         {b"secret.txt": b"secret\n" * 100})


# --- for pipelines -------------------------------------------------------------

class Pipelines(Workspace):
    """What a build in a pipeline relies on: usage errors for what would ship
    the wrong file, output a program can read, a quiet mode, warnings of
    runs that may wait, and a way to look into a built file."""

    def setUp(self):
        super().setUp()
        self.source = self.path("in.zip")
        raw_zip(self.source, ["a.txt", "Ωμέγα/", "Ωμέγα/b.txt", (b"\x81ber.txt", HOST_DOS, 0)])
        self.out = self.path("out.exe")

    def test_usage_errors(self):
        rows = [  # label, arguments, environment, message
            ("empty password", ["--password", "", "{tree}", "{out}"], {}, "--password is empty"),
            ("empty password with =", ["--password=", "{tree}", "{out}"], {}, "--password is empty"),
            ("show with operands", ["--show", "{out}", "{tree}", "{out}"], {}, "--show takes FILE.exe alone"),
            ("force without span", ["--force", "{tree}", "{out}"], {}, "--force needs --span"),
            ("encryption without password", ["--encryption", "aes256", "{tree}", "{out}"], {},
             "--encryption needs --password"),
            ("unknown encryption", ["--password", "x", "--encryption", "aes128", "{tree}", "{out}"], {},
             "--encryption takes aes256 or zipcrypto, not 'aes128'"),
            ("checks that contradict", ["--full-selfcheck", "--no-selfcheck", "{tree}", "{out}"], {},
             "--full-selfcheck and --no-selfcheck contradict each other"),
            ("SOURCE_DATE_EPOCH not a number", ["{tree}", "{out}"], {"SOURCE_DATE_EPOCH": "2024-01-01"},
             "SOURCE_DATE_EPOCH must be a number of seconds, not '2024-01-01'"),
        ]
        os.makedirs(self.path("tree"))
        for label, arguments, env, message in rows:
            with self.subTest(label):
                arguments = [a.format(tree=self.path("tree"), out=self.out) for a in arguments]
                result = mksfx(*arguments, env=env)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(self.out))

    def test_version(self):
        result = mksfx("--version")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertRegex(result.stdout, r"\Aarcula-mksfx \d+\.\d+\.\d+\n\Z")

    def test_help(self):
        for switch in ("-h", "--help"):
            with self.subTest(switch):
                result = mksfx(switch)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertTrue(result.stdout.startswith("Usage: arcula-mksfx"), result.stdout)

    def test_warnings_and_quiet(self):
        unmarked = ('arcula-mksfx: %s: warning: 1 name is not marked as UTF-8 and is kept as stored, for the '
                    'self-extractor to read in the OEM code page of the machine that runs it ("\\x81ber.txt"); '
                    '--name-charset CHARSET converts them' % self.source)
        may_wait = ("arcula-mksfx: warning: --auto without --overwrite: the self-extractor asks about each file that "
                    "exists already, so an unattended run may stop to wait for an answer")
        prompt = ("arcula-mksfx: warning: --auto with --prompt: the start-up question is still shown and waits for "
                  "an answer")
        buttons = ("arcula-mksfx: warning: --prompt-buttons without --prompt: there is no start-up question to show "
                   "the buttons")
        rows = [  # options, warnings
            ([], [unmarked]),
            (["--auto"], [may_wait, unmarked]),
            (["--auto", "--overwrite"], [unmarked]),
            (["--auto", "--overwrite", "--prompt", "Go?"], [prompt, unmarked]),
            (["--auto", "--prompt", "Go?"], [may_wait, prompt, unmarked]),
            (["--overwrite", "--prompt", "Go?"], [unmarked]),
            (["--auto", "--quiet"], []),
            (["--prompt-buttons", "yesno"], [buttons, unmarked]),
            (["--prompt-buttons", "okcancel", "--prompt", "Go?"], [unmarked]),
        ]
        for options, warnings in rows:
            with self.subTest(options):
                result = mksfx(*options, self.source, self.out)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stderr.splitlines(), warnings)
                self.assertEqual(result.stdout == "", "--quiet" in options, result.stdout)
        # Quiet keeps what was asked for, and errors.
        result = mksfx("--quiet", "--list", self.source, self.out)
        self.assertEqual(result.stdout.splitlines()[1:], [l for l in mksfx("--list", self.source, self.out)
                                                          .stdout.splitlines()[1:-1]])
        result = mksfx("--quiet", "--title", "t" * 65, self.source, self.out)
        self.assertEqual((result.returncode, result.stderr), (1, "arcula-mksfx: --title is 65 bytes long; at most 64 "
                                                                 "fit\n"))

    def test_summary_says_what_it_counts(self):
        rows = [  # entries, summary
            (None, "3 files (0 encrypted), 1 folder, 3 bytes unpacked"),
            (["a.txt"], "1 file (0 encrypted), 0 folders, 1 byte unpacked"),
            (["a/", "b/"], "0 files (0 encrypted), 2 folders, 0 bytes unpacked"),
        ]
        for entries, summary in rows:
            with self.subTest(summary):
                source = self.source
                if entries:
                    source = self.path("counted.zip")
                    raw_zip(source, entries)
                result = mksfx(source, self.out)
                self.assertEqual(result.stdout, "%s: %s; %d bytes in the self-extractor\n"
                                 % (self.out, summary, os.path.getsize(self.out)))
        result = mksfx("--span", "1m", self.source, self.path("set", "setup.exe"))
        self.assertRegex(result.stdout, r"\d+ bytes in the set's files on 1 disk\n\Z")

    def test_output_names(self):
        """OUTPUT without .exe, in any case, is warned of: Windows would not run it."""
        for name, warned in (("out.exe", False), ("OUT.EXE", False), ("out.Exe", False), ("out", True),
                             ("out.exe.zip", True), ("out.ex", True)):
            with self.subTest(name):
                output = self.path(name)
                result = mksfx(self.source, output)
                self.assertEqual(result.returncode, 0, result.stderr)
                warning = 'arcula-mksfx: warning: "%s" does not end in .exe, without which Windows does not run it' \
                    % output
                self.assertEqual(warning in result.stderr.splitlines(), warned, result.stderr)

    def test_default_folder_warnings(self):
        """A default folder that is not a full Windows path is warned of, as
        is one holding a character Windows refuses; "." and "" mean what the
        self-extractor makes of them."""
        relative = ('is relative: it would lie below the folder that is current when the self-extractor runs; '
                    'give X:\\..., \\\\server\\share\\... or %VARIABLE%\\... ("." alone is the self-extractor\'s own '
                    'folder)')
        rows = [  # folder, warning (None: none)
            ("C:\\Program Files\\App", None),
            ("d:/tools", None),
            ("\\\\server\\share\\app", None),
            ("%ProgramFiles%\\App", None),
            ("%TEMP%", None),
            (".", None),
            ("", None),
            ("/opt/app", "is not a Windows folder (it would lie on whatever drive is current); give X:\\..."),
            ("app", relative),
            ("..\\app", relative),
            ("%NOT CLOSED\\app", relative),
            ("C:app", "is relative to whatever folder is current on that drive; give X:\\..."),
            ("\\Windows", "lies on whatever drive is current; give X:\\..."),
            ("\\\\server", "is not a whole network path; give \\\\server\\share\\..."),
            ("C:\\a<b>", "holds '<', which Windows refuses in a folder's name"),
            ("C:\\a\\b:c", "holds ':', which Windows refuses in a folder's name"),
            ("%APPDATA%\\x?", "holds '?', which Windows refuses in a folder's name"),
            ("C:\\tab\there", "holds a control character, which Windows refuses in a folder's name"),
        ]
        for folder, warning in rows:
            with self.subTest(folder):
                result = mksfx("--folder", folder, self.source, self.out)
                self.assertEqual(result.returncode, 0, result.stderr)
                told = [line for line in result.stderr.splitlines() if "--folder" in line]
                self.assertEqual(told, [] if warning is None else
                                 ['arcula-mksfx: warning: --folder "%s" %s' % (folder.replace("\t", "\\t"), warning)])

    def test_list_json(self):
        """The summary and the entries as JSON agree with what zip tools read;
        a name kept in a code page comes with its bytes."""
        result = mksfx("--list", "--json", self.source, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        report = json.loads(result.stdout)
        entries = report.pop("entries")
        self.assertEqual(report, {"output": self.out, "arch": "x86", "bytes": os.path.getsize(self.out), "files": 3,
                                  "encrypted": 0, "folders": 1, "unpacked_bytes": 3})
        with zipfile.ZipFile(self.out) as z:
            expected = [{"name": i.filename, "utf8": bool(i.flag_bits & FLAG_UTF8), "folder": i.is_dir(),
                         "size": i.file_size, "packed": i.compress_size, "method": "stored", "encrypted": False}
                        for i in z.infolist()]
        expected[3].update(name="\ufffdber.txt", name_hex="816265722e747874")
        self.assertEqual(entries, expected)
        # A set: its disks and their files.
        result = mksfx("--json", "--span", "1m", self.source, self.path("set", "setup.exe"))
        self.assertEqual(result.returncode, 0, result.stderr)
        report = json.loads(result.stdout)
        exe = self.path("set", "disk1", "setup.EXE")
        self.assertEqual(report["output"], exe)
        self.assertEqual(report["disks"], [{"folder": "disk1", "label": "PKBACK# 001",
                                            "files": [{"name": "setup.EXE", "bytes": os.path.getsize(exe)}]}])
        self.assertNotIn("entries", report)
        # Paths that are not UTF-8 come with their bytes too, and only they.
        odd = self.path("set-\udcff", "Setup-\udcfe.exe")  # the bytes 0xFF and 0xFE
        result = mksfx("--json", "--span", "1m", self.source, odd)
        self.assertEqual(result.returncode, 0, result.stderr)
        report = json.loads(result.stdout)
        exe = os.fsencode(self.path("set-\udcff", "disk1", "Setup-\udcfe.EXE"))
        self.assertEqual((report["output"], report["output_hex"]), (exe.decode(errors="replace"), exe.hex()))
        self.assertEqual(report["disks"][0]["files"][0]["name_hex"], "53657475702dfe2e455845")
        shown = json.loads(mksfx("--json", "--show", os.fsdecode(exe)).stdout)
        self.assertEqual(shown["file_hex"], exe.hex())
        self.assertEqual([key for key in shown["texts"] if key.endswith("_hex")], [])

    def test_show(self):
        options = ["--title", "Tí", "--folder", "C:\\Ωμέγα", "--info", "two\nlines", "--auto", "--overwrite",
                   "--silent", "--no-archiver-button"]
        build = mksfx("--list", "--json", *options, self.source, self.out)
        self.assertEqual(build.returncode, 0, build.stderr)
        with open(self.out, "rb") as f:
            settings = read_settings(f.read())

        result = mksfx("--show", self.out, "--json")
        self.assertEqual(result.returncode, 0, result.stderr)
        shown = json.loads(result.stdout)
        self.assertEqual(shown["entries"], json.loads(build.stdout)["entries"])
        self.assertEqual(shown["texts"], {"folder": "C:\\Ωμέγα", "text": "", "prompt": "", "title": "Tí",
                                          "info": "two\nlines"})
        self.assertEqual(shown["flags"], settings["flags"])
        self.assertEqual(shown["flag_names"], ["overwrite", "title", "auto", "utf8-texts", "sign-ready", "silent",
                                               "oem-names", "no-archiver-button"])
        self.assertEqual(shown["arch"], "x86")
        self.assertEqual((shown["image_crc"], shown["image_crc_matches"], shown["complete"]),
                         (settings["crc"], True, True))
        self.assertEqual((shown["archive_offset"], shown["config_offset"], shown["end_record_offset"],
                          shown["unpacked_bytes"], shown["bytes"]),
                         (settings["archive"], settings["config"], settings["end"], 3, os.path.getsize(self.out)))

        text = mksfx("--show", self.out).stdout.splitlines()
        self.assertEqual(text[:11], [
            "%s: a self-extractor of %d bytes" % (self.out, os.path.getsize(self.out)),
            "arch: x86",
            "flags: 0x%08X (overwrite title auto utf8-texts sign-ready silent oem-names no-archiver-button)"
            % settings["flags"],
            "self-check: CRC-32 0x%08X from the section table, matches" % settings["crc"],
            "archive: at %d, end record at %d, 3 bytes unpacked" % (settings["archive"], settings["end"]),
            "texts (UTF-8):",
            '  folder  "C:\\Ωμέγα"', '  text    ""', '  prompt  ""', '  title   "Tí"', '  info    "two\\nlines"'])
        self.assertEqual(text[11:13], ["entries:", "      Size     Packed  Method    Encrypted  Name"])
        self.assertRegex(text[-1], r"\s1\s+1\s+stored\s+no\s+\\x81ber\.txt$")

    def test_show_what_went_wrong(self):
        mksfx(self.source, self.out)
        with open(self.out, "rb") as f:
            data = bytearray(f.read())
        pe = u32(data, 0x3C)
        data[pe + 248] ^= 1  # the first section's name, inside the self-check
        tampered = self.path("tampered.exe")
        with open(tampered, "wb") as f:
            f.write(data)
        self.assertIn("self-check: CRC-32 0x%08X from the section table, does not match" % read_settings(data)["crc"],
                      mksfx("--show", tampered).stdout)
        result = mksfx("--show", self.source)
        self.assertEqual((result.returncode, result.stderr),
                         (1, "arcula-mksfx: %s: not a self-extractor (no settings block)\n" % self.source))
        result = mksfx("--span", "1m", "--span-names", "zip", self.source, self.path("set", "setup.exe"))
        self.assertEqual(result.returncode, 0, result.stderr)
        shown = json.loads(mksfx("--json", "--show", self.path("set", "disk1", "setup.EXE")).stdout)
        self.assertEqual((shown["entries"], "spanned" in shown["flag_names"]), (None, True))

    def test_output_that_is_the_input(self):
        os.makedirs(self.path("dir"))
        os.link(self.source, self.path("hard.zip"))
        os.symlink(self.source, self.path("soft.zip"))
        with open(self.source, "rb") as f:
            original = f.read()
        for output in (self.source, self.path("dir", "..", "in.zip"), self.path("hard.zip"), self.path("soft.zip")):
            with self.subTest(output):
                result = mksfx(self.source, output)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(result.stderr, "arcula-mksfx: %s: OUTPUT is INPUT; building would replace the "
                                                "input\n" % output)
                with open(self.source, "rb") as f:
                    self.assertEqual(f.read(), original)

    def test_errors_name_the_users_paths(self):
        """Each error names the path it is about, once."""
        os.makedirs(self.path("a-folder"))
        missing = self.path("missing", "out.exe")
        folder_output = "OUTPUT is a folder; give the name of the file to write in it"
        rows = [  # arguments, the path, what is wrong
            ([self.source, missing], missing, "cannot write: No such file or directory"),
            ([self.source, self.path("a-folder")], self.path("a-folder"), folder_output),
            (["--span", "1m", self.source, self.path("a-folder")], self.path("a-folder"), folder_output),
            ([self.path("no.zip"), self.out], self.path("no.zip"), "cannot open: No such file or directory"),
            (["--stub", self.path("no.exe"), self.source, self.out], self.path("no.exe"),
             "cannot open: No such file or directory"),
            (["--show", self.path("a-folder")], self.path("a-folder"), "is a folder, not a file"),
        ]
        for arguments, path, error in rows:
            with self.subTest(arguments):
                result = mksfx("--quiet", *arguments)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(result.stderr, "arcula-mksfx: %s: %s\n" % (path, error))
        self.assertEqual(sorted(os.listdir(self.dir)), ["a-folder", "in.zip"])

    def test_json_errors(self):
        """With --json a failed run prints its problems as a document on
        standard output, with the exit status of the failure; standard error
        tells them as always."""
        bad = self.path("bad.zip")
        raw_zip(bad, ["a/../../evil.txt", "con"])
        odd = self.path("odd-\udcff.zip")
        rows = [  # arguments, status, key and path, problems
            ([bad, self.out], 1, ("output", self.out),
             [{"path": bad, "message": 'entry "a/../../evil.txt" has an unsafe name: it has a \'..\' component'},
              {"path": bad, "message": 'entry "con" has an unsafe name: it names a Windows device'}]),
            ([odd, self.out], 1, ("output", self.out),
             [{"path": odd.encode(errors="surrogateescape").decode(errors="replace"),
               "path_hex": os.fsencode(odd).hex(), "message": "cannot open: No such file or directory"}]),
            (["--title", "t" * 65, self.source, self.out], 1, ("output", self.out),
             [{"message": "--title is 65 bytes long; at most 64 fit"}]),
            (["--arch", "x64", "--stub", STUB, self.source, self.out], 2, ("output", self.out),
             [{"message": "--arch x64 asks for an x64 stub, but --stub %s is an x86 one" % STUB}]),
            (["--show", self.source], 1, ("file", self.source),
             [{"path": self.source, "message": "not a self-extractor (no settings block)"}]),
        ]
        for arguments, status, (key, path), problems in rows:
            with self.subTest(arguments):
                result = mksfx("--json", *arguments)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertEqual(json.loads(result.stdout), {key: path, "problems": problems})
                self.assertIn(problems[0]["message"], result.stderr)
                self.assertFalse(os.path.exists(self.out))


# --- folders ------------------------------------------------------------------

def sparse_file(path, size):
    """A file of `size` bytes that takes no room on disk."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.truncate(size)


def empty_file(path):
    os.close(os.open(path, os.O_CREAT | os.O_WRONLY))


class FolderInputs(Workspace):
    """A folder the self-extractor cannot hold is refused in the folder's
    terms (files, sizes), with every problem at once, before it is zipped."""

    def test_refusals(self):
        gib = 1 << 30
        rows = [  # label, what the tree holds, messages
            ("file of 4 GiB", lambda tree: sparse_file(os.path.join(tree, "huge.bin"), 4 * gib),
             ['"huge.bin" is too large (4294967296 bytes): a file must be smaller than 4 GiB']),
            ("4 GiB together", lambda tree: [sparse_file(os.path.join(tree, "a.bin"), 3 * gib),
                                             sparse_file(os.path.join(tree, "sub", "b.bin"), gib)],
             ["the files add up to 4 GiB or more"]),
            ("backslashes", lambda tree: [empty_file(os.path.join(tree, "a\\b")), empty_file(os.path.join(tree, "x\\"))],
             ['"a\\b" has a \'\\\' in its name', '"x\\" has a \'\\\' in its name', "2 problems"]),
            ("link", lambda tree: os.symlink("/etc/hostname", os.path.join(tree, "link")),
             ['"link" is a link (--follow-links follows those that stay inside the folder)']),
            # The entry checks see the names although the folder is not zipped.
            ("a link beside name problems", lambda tree: [os.symlink("/etc/hostname", os.path.join(tree, "link")),
                                                         empty_file(os.path.join(tree, "a:b")),
                                                         empty_file(os.path.join(tree, "Case.txt")),
                                                         empty_file(os.path.join(tree, "case.txt"))],
             ['"link" is a link', 'entry "a:b" has an unsafe name',
              'entry "case.txt" lands on the same file as entry "Case.txt"', "3 problems; nothing was written"]),
        ]
        for label, fill, messages in rows:
            with self.subTest(label):
                tree = self.path(label)
                os.makedirs(tree)
                empty_file(os.path.join(tree, "fine.txt"))
                fill(tree)
                result = mksfx(tree, self.path("out.exe"))
                self.assertEqual(result.returncode, 1, result.stderr)
                for message in messages:
                    self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(self.path("out.exe")))

    def test_more_than_65534_files(self):
        # Made in memory where there is a memory file system: 65,536 files
        # on a busy disk can take a minute to make.
        base = "/dev/shm" if os.access("/dev/shm", os.W_OK) else self.dir
        tree = tempfile.mkdtemp(prefix="mksfx-many-", dir=base)
        self.addCleanup(shutil.rmtree, tree)
        # 256 folders and 255 files in each but the last: 65,535 entries, one
        # too many (a count of 0xFFFF says that a ZIP64 record holds it).
        for folder in range(256):
            os.mkdir(os.path.join(tree, "%02x" % folder))
            for name in range(255 if folder < 255 else 254):
                empty_file(os.path.join(tree, "%02x" % folder, "%02x" % name))
        result = mksfx(tree, self.path("out.exe"))
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("it holds more than 65,534 files and folders (65535)", result.stderr)
        self.assertFalse(os.path.exists(self.path("out.exe")))
        os.remove(os.path.join(tree, "ff", "00"))
        result = mksfx(tree, self.path("out.exe"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("65278 files (0 encrypted), 256 folders", result.stdout)

    def test_output_inside_the_folder_is_left_out(self):
        tree = self.path("tree")
        os.makedirs(tree)
        with open(os.path.join(tree, "a.txt"), "wb") as f:
            f.write(b"a")
        out = os.path.join(tree, "setup.exe")
        for build in ("first", "second"):
            with self.subTest(build):
                result = mksfx(tree, out)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual("left out" in result.stderr, build == "second", result.stderr)
                self.assertEqual(zipfile.ZipFile(out).namelist(), ["a.txt"])
        result = mksfx("--span", "1m", tree, os.path.join(tree, "Setup.exe"))
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("the disk folders of the set would lie inside it", result.stderr)
        self.assertEqual(sorted(os.listdir(tree)), ["a.txt", "setup.exe"])

    def test_links(self):
        """Without --follow-links every link is refused; with it, links whose
        destination lies inside the folder go in as what they point to, and
        the others are refused, all in one run."""
        tree = self.path("tree")
        os.makedirs(os.path.join(tree, "sub"))
        for name, data in (("f.txt", b"file"), ("sub/g.txt", b"in sub")):
            with open(os.path.join(tree, name), "wb") as f:
                f.write(data)
        inside = {"to-file": "f.txt", "to-folder": "sub", "sub/out-and-back": "../../tree/f.txt"}
        outside = {  # link, destination, reason
            "to-etc": ("/etc", 'is a link to /etc, outside the folder'),
            "dangling": ("no-such-file", "is a link to nothing"),
            "sub/up": ("..", "is a link to a folder it lies in, which would never end"),
        }
        for link, destination in list(inside.items()) + [(k, v[0]) for k, v in outside.items()]:
            os.symlink(destination, os.path.join(tree, link))
        out = self.path("out.exe")

        result = mksfx(tree, out)
        self.assertEqual(result.returncode, 1, result.stderr)
        for link in list(inside) + list(outside):
            self.assertIn('"%s" is a link (--follow-links follows those that stay inside the folder)' % link,
                          result.stderr)
        self.assertIn("6 problems; nothing was written", result.stderr)

        result = mksfx("--follow-links", tree, out)
        self.assertEqual(result.returncode, 1, result.stderr)
        # "to-folder" is followed into sub/, where "up" is met again.
        refused = dict(outside, **{"to-folder/up": outside["sub/up"]})
        self.assertEqual(sorted(result.stderr.splitlines()), sorted(
            ['arcula-mksfx: %s: "%s" %s' % (tree, link, reason) for link, (_, reason) in refused.items()] +
            ["arcula-mksfx: %s: 4 problems; nothing was written" % tree]))
        self.assertFalse(os.path.exists(out))

        for link in outside:
            os.remove(os.path.join(tree, link))
        result = mksfx("--follow-links", tree, out)
        self.assertEqual(result.returncode, 0, result.stderr)
        with zipfile.ZipFile(out) as z:
            read = {i.filename: z.read(i) for i in z.infolist() if not i.is_dir()}
        self.assertEqual(read, {"f.txt": b"file", "sub/g.txt": b"in sub", "to-file": b"file",
                                "to-folder/g.txt": b"in sub", "sub/out-and-back": b"file",
                                "to-folder/out-and-back": b"file"})

    def test_source_date_epoch_makes_the_output_reproducible(self):
        """Two copies of one tree, touched at different times, give the same
        bytes under SOURCE_DATE_EPOCH, in any time zone; older times stay."""
        epoch = 1700000000  # 2023-11-14 22:13:20 UTC
        old = 1000000000   # 2001-09-09 01:46:40 UTC
        first, second = self.path("first"), self.path("second")
        make_tree(first)
        shutil.copytree(first, second)
        for root, mtime in ((first, epoch + 1000), (second, epoch + 86400 * 40)):
            for folder, dirs, names in os.walk(root):
                for name in dirs + names:
                    os.utime(os.path.join(folder, name), (mtime, mtime))
            os.utime(os.path.join(root, "empty.txt"), (old, old))
        outputs = []
        for root, zone in ((first, "UTC"), (second, "Asia/Tokyo"), (second, "America/New_York")):
            out = self.path("%d.exe" % len(outputs))
            result = mksfx(root, out, env={"SOURCE_DATE_EPOCH": str(epoch), "TZ": zone})
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(out, "rb") as f:
                outputs.append(f.read())
        self.assertEqual(outputs[0], outputs[1])
        self.assertEqual(outputs[0], outputs[2])
        with zipfile.ZipFile(self.path("0.exe")) as z:
            times = {i.filename: i.date_time for i in z.infolist()}
        self.assertEqual(times.pop("empty.txt"), (2001, 9, 9, 1, 46, 40))
        self.assertEqual(set(times.values()), {(2023, 11, 14, 22, 13, 20)})
        # Without it the times are the files' own.
        unclamped = self.path("unclamped.exe")
        self.assertEqual(mksfx(second, unclamped).returncode, 0)
        with open(unclamped, "rb") as f:
            self.assertNotEqual(f.read(), outputs[1])

    def test_encrypted_builds_are_reproducible_only_under_source_date_epoch(self):
        """Salts and encryption headers are derived from SOURCE_DATE_EPOCH and
        the content when it is set (the same bytes twice), random otherwise."""
        tree = self.path("tree")
        make_tree(tree)
        for encryption in ("aes256", "zipcrypto"):
            for env, same in (({"SOURCE_DATE_EPOCH": "1700000000"}, True), ({}, False)):
                with self.subTest(encryption=encryption, env=env):
                    outputs = []
                    for i in range(2):
                        out = self.path("%s-%d.exe" % (encryption, i))
                        result = mksfx("--password", PASSWORD, "--encryption", encryption, tree, out, env=env)
                        self.assertEqual(result.returncode, 0, result.stderr)
                        with open(out, "rb") as f:
                            outputs.append(f.read())
                        seven = subprocess.run(["7zz", "t", "-p" + PASSWORD, out], capture_output=True, text=True)
                        self.assertEqual(seven.returncode, 0, seven.stdout + seven.stderr)
                    self.assertEqual(outputs[0] == outputs[1], same)


def main():
    global BIN, STUB
    BIN, STUB, argv = toollib.tool_arguments("test_mksfx")
    unittest.main(argv=argv)


if __name__ == "__main__":
    main()
