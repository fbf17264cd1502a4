#!/usr/bin/env python3
"""Checks on the built stub file itself, run after every cross build.

- The settings block's 8 marker bytes occur exactly once: the builder finds
  the block by searching for them, so a second copy (a literal in .rdata, a
  resource) would make it patch the wrong place.
- No ZIP signature occurs anywhere in the stub: a tool scanning the finished
  self-extractor for the archive must never mistake stub bytes for a record.
  New code or resources can bring one in by chance, hence a check per build.
- It is a GUI program for the processor asked for (a PE32 for i386 or a
  PE32+ for AMD64) importing only the four system libraries the stub may
  rely on (no C runtime, nothing that might be missing).
- It may be loaded at any address (dynamic base, with base relocations that
  land inside the image; a 64-bit stub anywhere in the 64-bit address space,
  high entropy) and runs with data execution prevention (NX): a change of
  section layout or linker options must not lose either.
- It fits in its budget, resources included: every self-extractor carries it.
- Its resources are one icon and a manifest that asks for no elevation
  (asInvoker), and nothing else: the messages and dialogs live in its data.

Usage: check_stub.py [--arch x86|x64] STUB.exe   (default x86)
"""
import struct
import sys

MARKER = b"QJV\x01sfx\x02"
ZIP_SIGNATURES = {
    b"PK\x03\x04": "local file header",
    b"PK\x01\x02": "central directory header",
    b"PK\x05\x06": "end of central directory",
    b"PK00": "spanning marker",
    b"PK\x07\x08": "data descriptor",
}
ALLOWED_IMPORTS = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL"}
FILE_RELOCS_STRIPPED = 0x0001
DLL_HIGH_ENTROPY_VA = 0x0020
DLL_DYNAMIC_BASE = 0x0040
DLL_NX_COMPAT = 0x0100
SUBSYSTEM_WINDOWS_GUI = 2
PE32_MAGIC = 0x10B
PE32_PLUS_MAGIC = 0x20B


class Arch:
    def __init__(self, name, machine, magic, relocation, address_size, size_limit):
        self.name = name
        self.machine = machine
        self.magic = magic
        self.relocation = relocation  # the kind of base relocation its addresses take
        self.address_size = address_size  # bytes a relocated address takes
        self.size_limit = size_limit


# The budgets: 40 KiB for the 32-bit stub and 52 KiB for the 64-bit one, whose
# code is larger (wider instructions, a REX prefix on most). They hold the
# features a self-extractor is asked for (a setup program to run, payloads of
# any size, AES), so that none of them needs a second stub.
ARCHES = {
    "x86": Arch("x86", 0x14C, PE32_MAGIC, 3, 4, 40 * 1024),        # HIGHLOW: a 32-bit address
    "x64": Arch("x64", 0x8664, PE32_PLUS_MAGIC, 10, 8, 52 * 1024),  # DIR64: a 64-bit address
}
IMPORT_DIRECTORY_INDEX = 1
RESOURCE_DIRECTORY_INDEX = 2
BASE_RELOCATION_DIRECTORY_INDEX = 5
RELOCATION_ABSOLUTE = 0  # padding entry
RT_ICON = 3
RT_GROUP_ICON = 14
RT_MANIFEST = 24
EXPECTED_RESOURCE_TYPES = {RT_ICON: 1, RT_GROUP_ICON: 1, RT_MANIFEST: 1}


class StubError(Exception):
    pass


def find_all(data, needle):
    offsets = []
    start = data.find(needle)
    while start >= 0:
        offsets.append(start)
        start = data.find(needle, start + 1)
    return offsets


def check_marker(data):
    offsets = find_all(data, MARKER)
    if len(offsets) != 1:
        places = ", ".join(hex(o) for o in offsets) or "nowhere"
        raise StubError(f"settings marker must occur exactly once, found {len(offsets)} "
                        f"time(s) at {places}")
    return offsets[0]


def check_zip_signatures(data):
    problems = []
    for signature, name in ZIP_SIGNATURES.items():
        for offset in find_all(data, signature):
            problems.append(f"{name} signature {signature.hex(' ')} at file offset {offset:#x}")
    if problems:
        raise StubError("ZIP signature(s) inside the stub:\n  " + "\n  ".join(problems))


class PeImage:
    """The parts of a PE32 or PE32+ file these checks need."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise StubError("not an executable: no MZ header")
        self.pe_offset = self.u32(0x3C)
        if data[self.pe_offset:self.pe_offset + 4] != b"PE\0\0":
            raise StubError("no PE signature at e_lfanew")
        coff = self.pe_offset + 4
        self.machine = self.u16(coff)
        section_count = self.u16(coff + 2)
        optional_size = self.u16(coff + 16)
        self.characteristics = self.u16(coff + 18)
        self.optional = coff + 20
        self.magic = self.u16(self.optional)
        if self.magic not in (PE32_MAGIC, PE32_PLUS_MAGIC):
            raise StubError(f"optional header magic {self.magic:#x}, expected PE32 (0x10b) "
                            f"or PE32+ (0x20b)")
        self.subsystem = self.u16(self.optional + 68)
        self.dll_characteristics = self.u16(self.optional + 70)
        # The 64-bit header's four stack and heap sizes are 8 bytes each.
        self.directories = self.optional + (96 if self.magic == PE32_MAGIC else 112)
        self.directory_count = self.u32(self.directories - 4)
        self.sections = []
        table = self.optional + optional_size
        for index in range(section_count):
            entry = table + 40 * index
            name = data[entry:entry + 8].rstrip(b"\0").decode("ascii", "replace")
            virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from(
                "<IIII", data, entry + 8)
            self.sections.append((name, virtual_address, max(virtual_size, raw_size),
                                  raw_offset, raw_size))

    def u16(self, offset):
        return self.unpack("<H", offset)

    def u32(self, offset):
        return self.unpack("<I", offset)

    def unpack(self, fmt, offset):
        if offset < 0 or offset + struct.calcsize(fmt) > len(self.data):
            raise StubError(f"truncated file: read at {offset:#x} past its end")
        return struct.unpack_from(fmt, self.data, offset)[0]

    def directory(self, index):
        if index >= self.directory_count:
            return 0, 0
        entry = self.directories + 8 * index
        return self.u32(entry), self.u32(entry + 4)

    def file_offset(self, rva):
        for name, virtual_address, size, raw_offset, raw_size in self.sections:
            if virtual_address <= rva < virtual_address + size:
                delta = rva - virtual_address
                if delta >= raw_size:
                    raise StubError(f"RVA {rva:#x} lies in the uninitialised part of {name}")
                return raw_offset + delta
        raise StubError(f"RVA {rva:#x} lies in no section")

    def c_string(self, rva):
        start = self.file_offset(rva)
        end = self.data.find(b"\0", start)
        if end < 0:
            raise StubError(f"unterminated name at RVA {rva:#x}")
        return self.data[start:end].decode("ascii", "replace")

    def imported_libraries(self):
        rva, size = self.directory(IMPORT_DIRECTORY_INDEX)
        if rva == 0 or size == 0:
            return []
        names = []
        descriptor = self.file_offset(rva)
        while True:
            fields = struct.unpack_from("<IIIII", self.data, descriptor)
            if fields == (0, 0, 0, 0, 0):
                return names
            if fields[3] == 0:
                raise StubError(f"import descriptor {len(names) + 1} names no library")
            names.append(self.c_string(fields[3]))
            descriptor += 20

    def relocation_targets(self, address_kind):
        """The RVA of every address that the base relocations fix up; all
        must be of `address_kind`."""
        rva, size = self.directory(BASE_RELOCATION_DIRECTORY_INDEX)
        if rva == 0 or size == 0:
            return []
        start = self.file_offset(rva)
        end = start + size
        targets = []
        block = start
        while block < end:
            if block + 8 > end:
                raise StubError(f"base relocation block at {block:#x} runs past the directory")
            page, block_size = struct.unpack_from("<II", self.data, block)
            if block_size < 8 or block_size % 2 or block + block_size > end:
                raise StubError(f"base relocation block at {block:#x} has a bad size {block_size}")
            for entry in range(block + 8, block + block_size, 2):
                kind, offset = divmod(self.u16(entry), 0x1000)
                if kind == address_kind:
                    targets.append(page + offset)
                elif kind != RELOCATION_ABSOLUTE:
                    raise StubError(f"base relocation of type {kind} at {entry:#x}")
            block += block_size
        return targets

    def resources(self):
        """{type id: [data bytes of each resource of that type]}; named
        types are listed under their name's offset, negated."""
        rva, size = self.directory(RESOURCE_DIRECTORY_INDEX)
        if rva == 0 or size == 0:
            return {}
        root = self.file_offset(rva)
        found = {}
        for type_id, type_offset in self.directory_entries(root, root):
            leaves = []
            self.collect_leaves(root, type_offset, leaves, depth=1)
            found[type_id] = leaves
        return found

    def directory_entries(self, root, table):
        named, numbered = struct.unpack_from("<HH", self.data, table + 12)
        entries = []
        for index in range(named + numbered):
            name, offset = struct.unpack_from("<II", self.data, table + 16 + 8 * index)
            key = -(name & 0x7FFFFFFF) if name & 0x80000000 else name
            entries.append((key, offset))
        return entries

    def collect_leaves(self, root, offset, leaves, depth):
        if offset & 0x80000000:
            if depth > 3:
                raise StubError("resource directory nested too deep")
            for _, child in self.directory_entries(root, root + (offset & 0x7FFFFFFF)):
                self.collect_leaves(root, child, leaves, depth + 1)
            return
        data_rva, data_size = struct.unpack_from("<II", self.data, root + offset)
        start = self.file_offset(data_rva)
        leaves.append(self.data[start:start + data_size])


def check_size(data, arch):
    if len(data) > arch.size_limit:
        raise StubError(f"{len(data)} bytes, {len(data) - arch.size_limit} over the limit of "
                        f"{arch.size_limit}")


def check_pe(data, arch):
    image = PeImage(data)
    problems = []
    if image.machine != arch.machine or image.magic != arch.magic:
        problems.append(f"machine {image.machine:#x} with optional header {image.magic:#x}, "
                        f"expected {arch.machine:#x} with {arch.magic:#x} for {arch.name}")
    if image.subsystem != SUBSYSTEM_WINDOWS_GUI:
        problems.append(f"subsystem {image.subsystem}, expected Windows GUI (2)")
    libraries = image.imported_libraries()
    unexpected = [name for name in libraries if name.upper() not in ALLOWED_IMPORTS]
    if unexpected:
        problems.append(f"imports beyond the four system libraries: {', '.join(unexpected)}")
    if problems:
        raise StubError("; ".join(problems))
    return libraries


def check_relocatable(data, arch):
    image = PeImage(data)
    problems = []
    if image.characteristics & FILE_RELOCS_STRIPPED:
        problems.append("its relocations are stripped")
    if not image.dll_characteristics & DLL_DYNAMIC_BASE:
        problems.append("it does not ask to be loaded at a random address (no DYNAMIC_BASE)")
    if not image.dll_characteristics & DLL_NX_COMPAT:
        problems.append("it does not run with data execution prevention (no NX_COMPAT)")
    if arch.magic == PE32_PLUS_MAGIC and not image.dll_characteristics & DLL_HIGH_ENTROPY_VA:
        problems.append("it does not take a random address above 4 GiB (no HIGH_ENTROPY_VA)")
    targets = image.relocation_targets(arch.relocation)
    if not targets:
        problems.append("it has no base relocations")
    for target in targets:
        # Each fixed-up address lies wholly in the file's data of a section.
        try:
            image.file_offset(target)
            image.file_offset(target + arch.address_size - 1)
        except StubError as error:
            problems.append(f"a base relocation at RVA {target:#x} points outside the data: {error}")
            break
    if problems:
        raise StubError("; ".join(problems))


def check_resources(data, arch):
    found = PeImage(data).resources()
    counts = {type_id: len(leaves) for type_id, leaves in found.items()}
    if counts != EXPECTED_RESOURCE_TYPES:
        raise StubError(f"resources by type {counts}, expected one icon, its group and one "
                        f"manifest {EXPECTED_RESOURCE_TYPES}")
    manifest = found[RT_MANIFEST][0]
    if b'level="asInvoker"' not in manifest:
        raise StubError("the manifest does not ask to run as the invoker")


def main(argv):
    arch_name = "x86"
    if len(argv) == 4 and argv[1] == "--arch" and argv[2] in ARCHES:
        arch_name = argv[2]
        argv = argv[:1] + argv[3:]
    if len(argv) != 2:
        print("usage: check_stub.py [--arch x86|x64] STUB.exe", file=sys.stderr)
        return 2
    arch = ARCHES[arch_name]
    path = argv[1]
    try:
        with open(path, "rb") as stub:
            data = stub.read()
    except OSError as error:
        print(f"check_stub: cannot read {path}: {error}", file=sys.stderr)
        return 2

    failures = []
    marker_offset = None
    libraries = []
    for check in (check_marker, check_zip_signatures, check_size, check_pe, check_relocatable,
                  check_resources):
        try:
            needs_arch = check not in (check_marker, check_zip_signatures)
            result = check(data, arch) if needs_arch else check(data)
        except StubError as error:
            failures.append(str(error))
            continue
        if check is check_marker:
            marker_offset = result
        elif check is check_pe:
            libraries = result

    if failures:
        for failure in failures:
            print(f"check_stub: FAIL: {failure}", file=sys.stderr)
        return 1
    print(f"{arch.name} stub size: {len(data)} bytes of {arch.size_limit}; "
          f"settings marker at {marker_offset:#x}; "
          f"imports: {', '.join(libraries)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
