#!/usr/bin/env python3
"""Seed archives for pass_fuzz: small ZIPs as common tools write them.

    fuzz/pass_seeds.py OUT_DIR

Writes a few small ZIP files into OUT_DIR: stored and deflated entries,
folder entries, an empty file, a data descriptor (bit 3) entry, archive and
entry comments, traditional encryption with the password "pw" (Info-ZIP
zip, when it is installed) and AES encryption with it (7-Zip's 7zz, when it
is installed). The last two bytes of an archive are the target's
options (see pass_fuzz.cpp); an archive comment sets them, so some seeds carry
a two-byte comment that picks a spanned set, a second pass or an answer.
"""

import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

TEXT = b"The quick brown fox jumps over the lazy dog.\n" * 6
BINARY = bytes((i * 37 + (i >> 3)) & 0xFF for i in range(600))
TIME = (2020, 5, 17, 13, 45, 10)


def entry(name, method=zipfile.ZIP_DEFLATED, comment=b""):
    info = zipfile.ZipInfo(name, TIME)
    info.compress_type = method
    info.comment = comment
    return info


def tree(archive, method):
    archive.writestr(entry("docs/", zipfile.ZIP_STORED), b"")
    archive.writestr(entry("docs/readme.txt", method), TEXT)
    archive.writestr(entry("docs/empty.txt", method), b"")
    archive.writestr(entry("data/deep/bits.bin", method), BINARY)
    archive.writestr(entry("name with blank.txt", method), b"blank\n")


def with_zipfile(method, comment=b"", options=None):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        tree(archive, method)
        archive.comment = comment if options is None else comment + bytes(options)
    return buffer.getvalue()


class Unseekable(io.RawIOBase):
    """A stream zipfile cannot seek back in: it writes bit 3 and descriptors."""

    def __init__(self):
        self.data = bytearray()

    def writable(self):
        return True

    def write(self, chunk):
        self.data += chunk
        return len(chunk)


def streamed():
    """Bit 3 entries, with real sizes and CRC put into their local headers as
    the builder does (the stub reads them from there); descriptors kept."""
    stream = Unseekable()
    with zipfile.ZipFile(stream, "w") as archive:
        with archive.open(entry("streamed.txt"), "w") as member:
            member.write(TEXT)
        with archive.open(entry("folder/streamed.bin", zipfile.ZIP_STORED), "w") as member:
            member.write(BINARY[:200])
    data = bytearray(stream.data)
    for info in zipfile.ZipFile(io.BytesIO(bytes(data))).infolist():
        struct.pack_into("<III", data, info.header_offset + 14, info.CRC, info.compress_size, info.file_size)
    return bytes(data)


def with_info_zip(flags):
    """Info-ZIP zip over a small tree; None when zip is not installed."""
    if shutil.which("zip") is None:
        return None
    with tempfile.TemporaryDirectory() as folder:
        os.makedirs(os.path.join(folder, "in", "sub", "empty"))
        with open(os.path.join(folder, "in", "a.txt"), "wb") as file:
            file.write(TEXT)
        with open(os.path.join(folder, "in", "sub", "b.bin"), "wb") as file:
            file.write(BINARY)
        out = os.path.join(folder, "seed.zip")
        subprocess.run(["zip", "-q", "-r", "-X"] + flags + [out, "in"], cwd=folder, check=True)
        with open(out, "rb") as file:
            return file.read()


def with_7zz(flags):
    """7-Zip's ZIP of a small tree; None when 7zz is not installed."""
    if shutil.which("7zz") is None:
        return None
    with tempfile.TemporaryDirectory() as folder:
        os.makedirs(os.path.join(folder, "in", "sub"))
        with open(os.path.join(folder, "in", "a.txt"), "wb") as file:
            file.write(TEXT)
        with open(os.path.join(folder, "in", "sub", "b.bin"), "wb") as file:
            file.write(BINARY)
        out = os.path.join(folder, "seed.zip")
        subprocess.run(["7zz", "a", "-bd", "-tzip"] + flags + [out, "in"], cwd=folder, check=True,
                       stdout=subprocess.DEVNULL)
        with open(out, "rb") as file:
            return file.read()


def with_options(data, layout, options):
    """The archive with a two-byte comment that sets the target's options."""
    if data is None:
        return None
    buffer = io.BytesIO(data)
    with zipfile.ZipFile(buffer, "a") as archive:
        archive.comment = bytes((layout, options))
    return buffer.getvalue()


def archives():
    """The seed archives by name; those that need Info-ZIP zip are left out without it."""
    seeds = {
        "stored.zip": with_zipfile(zipfile.ZIP_STORED),
        "deflated.zip": with_zipfile(zipfile.ZIP_DEFLATED),
        "comment.zip": with_zipfile(zipfile.ZIP_DEFLATED, b"an archive comment"),
        # layout byte, option byte: see pass_fuzz.cpp
        "second-pass-no.zip": with_zipfile(zipfile.ZIP_DEFLATED, options=(0x00, 0x0C)),
        "second-pass-cancel.zip": with_zipfile(zipfile.ZIP_STORED, options=(0x00, 0x34)),
        "spanned-exe.zip": with_zipfile(zipfile.ZIP_DEFLATED, options=(0x03, 0x00)),
        "spanned-zip.zip": with_zipfile(zipfile.ZIP_DEFLATED, options=(0x01, 0x00)),
        "streamed.zip": streamed(),
        "info-zip-stored.zip": with_info_zip(["-0"]),
        "info-zip-deflated.zip": with_info_zip(["-6"]),
        "info-zip-encrypted.zip": with_options(with_info_zip(["-P", "pw"]), 0x00, 0x02),
        "info-zip-encrypted-no-password.zip": with_info_zip(["-P", "pw"]),
        "7zz-aes256.zip": with_options(with_7zz(["-ppw", "-mem=AES256"]), 0x00, 0x02),
        "7zz-aes128-stored.zip": with_options(with_7zz(["-ppw", "-mem=AES128", "-mm=Copy"]), 0x00, 0x02),
    }
    return {name: data for name, data in seeds.items() if data is not None}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    for name, data in archives().items():
        with open(os.path.join(out_dir, name), "wb") as file:
            file.write(data)


if __name__ == "__main__":
    main()
