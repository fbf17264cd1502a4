#!/usr/bin/env python3
"""Makes the stub's embedded resources from base/messages.py.

The dialogs in base/messages.py name their controls; the ids behind the names
come from ui/controls.h, the header the stub's code uses, so that the
templates and the code cannot disagree about them.

Writes one C++ source file holding:
  - the compressed string table: messages 0-52, each ended by a NUL, then the
    main dialog template and 8 zero bytes (zeros up to 1024 bytes, when later
    messages follow), then the later messages (54 on), each ended by a NUL,
    as one raw DEFLATE stream;
  - the message offset table: where each message (and, as entry 53, the
    template) starts in the unpacked table;
  - the compressed password dialog template (with 8 zero bytes behind it);
  - the compressed and unpacked length of both streams.

The stub finds its appended archive by looking for ZIP record signatures and
its settings block by its marker, so none of those byte sequences may appear
in its image. Compressed data can form them by chance: the generator tries a
few compressor settings and fails when every result holds one.
"""

import argparse
import runpy
import struct
import sys
import zlib

import controls_header

MESSAGE_COUNT = 53
TEMPLATE_TAIL = bytes(8)  # zero bytes behind each template
# What start-up copies of the main template for the dialog manager: the later
# messages start behind it, so the copy holds the template and zeros only.
MAIN_DIALOG_COPY_SIZE = 1024

# Bytes that must never occur in the stub's image: the five ZIP signatures and
# the settings block's marker.
FORBIDDEN = [
    b"PK\x03\x04",
    b"PK\x01\x02",
    b"PK\x05\x06",
    b"PK00",
    b"PK\x07\x08",
    b"QJV\x01sfx\x02",
]

WINDOW_STYLES = {
    "WS_POPUP": 0x80000000,
    "WS_CHILD": 0x40000000,
    "WS_VISIBLE": 0x10000000,
    "WS_CAPTION": 0x00C00000,
    "WS_BORDER": 0x00800000,
    "WS_SYSMENU": 0x00080000,
    "WS_GROUP": 0x00020000,
    "WS_TABSTOP": 0x00010000,
    "DS_MODALFRAME": 0x00000080,
    "DS_SETFONT": 0x00000040,
    "DS_3DLOOK": 0x00000004,
    "SS_LEFT": 0x00000000,
    "SS_CENTER": 0x00000001,
    "SS_NOPREFIX": 0x00000080,
    "ES_PASSWORD": 0x00000020,
    "ES_AUTOHSCROLL": 0x00000080,
    "BS_PUSHBUTTON": 0x00000000,
    "BS_DEFPUSHBUTTON": 0x00000001,
    "BS_AUTOCHECKBOX": 0x00000003,
}

# The system's predefined control classes, written as 0xFFFF and an atom.
CLASS_ATOMS = {"button": 0x0080, "edit": 0x0081, "static": 0x0082}


class ResourceError(Exception):
    pass


def style_value(names):
    value = 0
    for name in names.split("|"):
        name = name.strip()
        if name not in WINDOW_STYLES:
            raise ResourceError(f"unknown style {name!r}")
        value |= WINDOW_STYLES[name]
    return value


def utf16(text):
    if not text.isascii():
        raise ResourceError(f"dialog text is not ASCII: {text!r}")
    return text.encode("utf-16-le") + b"\0\0"


def pad_to_dword(block):
    while len(block) % 4:
        block.append(0)


def check_dialog_ids(dialog_name, dialog, ids):
    """Each control of the dialog is named by a name ui/controls.h declares,
    its id fits the template's 16 bits, and no two controls share an id.
    The names the dialog uses."""
    holders = {}
    for control in dialog["controls"]:
        name = control[0]
        if not isinstance(name, str):
            raise ResourceError(f"{dialog_name} gives a control the id {name!r}; "
                                "name it as ui/controls.h does")
        if name not in ids:
            raise ResourceError(f"{dialog_name} names the control {name}, which ui/controls.h lacks")
        control_id = ids[name]
        if control_id > 0xFFFF:
            raise ResourceError(f"control {name} has the id {control_id}; a template holds 16 bits")
        if control_id in holders:
            raise ResourceError(f"{dialog_name}: controls {holders[control_id]} and {name} "
                                f"share the id {control_id}")
        holders[control_id] = name
    return set(holders.values())


def check_control_names(dialogs, ids):
    """The dialogs and ui/controls.h agree: every control of a dialog has its
    id there, and every name declared there is a control of a dialog (the
    code reaches its controls by those names; a name without its control
    would reach nothing)."""
    used = set()
    for dialog_name, dialog in dialogs.items():
        used |= check_dialog_ids(dialog_name, dialog, ids)
    for name in ids:
        if name not in used:
            raise ResourceError(f"ui/controls.h declares {name}, which no dialog has")


def check_accelerators(dialog):
    """Every Alt+letter of a dialog reaches one control: two controls with the
    same letter would leave the second one without a working shortcut."""
    seen = {}
    for name, _, _, _, text in dialog["controls"]:
        plain = text.replace("&&", "")
        at = plain.find("&")
        if at < 0 or at + 1 >= len(plain):
            continue
        letter = plain[at + 1].lower()
        if letter in seen:
            raise ResourceError(f"controls {seen[letter]} and {name} share the accelerator Alt+{letter}")
        seen[letter] = name


def dialog_template(dialog, ids):
    """DLGTEMPLATE and its DLGITEMTEMPLATE records, little-endian, items on
    4-byte boundaries counted from the start of the template. `ids` gives the
    id of each control's name."""
    check_accelerators(dialog)
    style = style_value(dialog["style"])
    if not style & WINDOW_STYLES["DS_SETFONT"]:
        raise ResourceError("the font fields need DS_SETFONT")
    controls = dialog["controls"]
    block = bytearray()
    block += struct.pack("<IIH", style, 0, len(controls))
    block += struct.pack("<hhhh", *dialog["position"], *dialog["size"])
    block += struct.pack("<HH", 0, 0)  # no menu, the standard dialog class
    block += utf16(dialog["caption"])
    point_size, face = dialog["font"]
    block += struct.pack("<H", point_size) + utf16(face)
    for control_name, class_name, names, (x, y, width, height), text in controls:
        pad_to_dword(block)
        control_style = WINDOW_STYLES["WS_CHILD"] | WINDOW_STYLES["WS_VISIBLE"] | style_value(names)
        block += struct.pack("<IIhhhhH", control_style, 0, x, y, width, height, ids[control_name])
        if class_name in CLASS_ATOMS:
            block += struct.pack("<HH", 0xFFFF, CLASS_ATOMS[class_name])
        else:
            block += utf16(class_name)
        block += utf16(text)
        block += struct.pack("<H", 0)  # no creation data
    return bytes(block)


def check_message(number, text):
    if not text.isascii():
        raise ResourceError(f"message {number} is not ASCII")  # the OEM-to-ANSI step must not change it
    if "\0" in text or "\r" in text:
        raise ResourceError(f"message {number} holds a NUL or a carriage return")


def string_table(messages, main_template, later_messages=()):
    """The unpacked table and the offsets of its entries: the 53 messages,
    the template, the later messages."""
    if len(messages) != MESSAGE_COUNT:
        raise ResourceError(f"{len(messages)} messages, expected {MESSAGE_COUNT}")
    table = bytearray()
    offsets = []

    def add(number, text):
        check_message(number, text)
        offsets.append(len(table))
        table.extend(text.encode("ascii") + b"\0")

    for number, text in enumerate(messages):
        add(number, text)
    offsets.append(len(table))
    table += main_template + TEMPLATE_TAIL
    if later_messages:
        table += bytes(max(0, MAIN_DIALOG_COPY_SIZE - len(main_template) - len(TEMPLATE_TAIL)))
    for number, text in enumerate(later_messages, start=MESSAGE_COUNT + 1):
        add(number, text)
    return bytes(table), offsets


def forbidden_sequences(block):
    """Signatures or marker inside `block`, or a part of one at either end
    (two such blocks side by side in the image could form it)."""
    found = []
    for pattern in FORBIDDEN:
        if pattern in block:
            found.append(f"{pattern!r} at offset {block.index(pattern)}")
        # A pattern cut in two leaves at least 2 bytes on one side.
        for part in range(2, len(pattern)):
            if block.endswith(pattern[:part]):
                found.append(f"{pattern[:part]!r} at the end")
            if block.startswith(pattern[-part:]):
                found.append(f"{pattern[-part:]!r} at the start")
    return found


def deflate(data, level, memory_level, strategy):
    compressor = zlib.compressobj(level, zlib.DEFLATED, -15, memory_level, strategy)
    return compressor.compress(data) + compressor.flush()


def compress_clean(data, what):
    """The smallest raw DEFLATE stream of `data`, at the best level, that holds
    no forbidden sequence."""
    candidates = []
    for memory_level in (9, 8):
        for strategy in (zlib.Z_DEFAULT_STRATEGY, zlib.Z_FILTERED):
            packed = deflate(data, 9, memory_level, strategy)
            if not forbidden_sequences(packed):
                candidates.append(packed)
    if not candidates:
        raise ResourceError(f"every compression of the {what} holds a ZIP signature or the marker")
    packed = min(candidates, key=len)
    check_round_trip(packed, data, what)
    return packed


def check_round_trip(packed, data, what):
    decompressor = zlib.decompressobj(-15)
    if decompressor.decompress(packed) != data or not decompressor.eof or decompressor.unused_data:
        raise ResourceError(f"the compressed {what} does not unpack to itself exactly")


def c_bytes(block):
    lines = []
    for start in range(0, len(block), 16):
        lines.append("    " + ", ".join(f"0x{byte:02X}" for byte in block[start:start + 16]) + ",")
    return "\n".join(lines)


def c_source(table, offsets, packed_table, password, packed_password):
    offset_lines = []
    for start in range(0, len(offsets), 8):
        offset_lines.append("    " + ", ".join(str(value) for value in offsets[start:start + 8]) + ",")
    offset_text = "\n".join(offset_lines)
    return f"""\
// Generated by tools/resgen/resgen.py from base/messages.py. Do not edit.
#include "base/resource_data.h"

#include "ui/resources.h"

// Messages 0-52: {offsets[MESSAGE_COUNT]} bytes; then the main dialog template and the later messages.
const uint32_t kMessageOffsets[kMessageTableEntries] = {{
{offset_text}
}};

// {len(table)} bytes unpacked.
const uint8_t kPackedStringTable[{len(packed_table)}] = {{
{c_bytes(packed_table)}
}};
const uint32_t kPackedStringTableLength = {len(packed_table)};
const uint32_t kStringTableLength = {len(table)};

// {len(password)} bytes unpacked.
const uint8_t kPackedPasswordTemplate[{len(packed_password)}] = {{
{c_bytes(packed_password)}
}};
const uint32_t kPackedPasswordTemplateLength = {len(packed_password)};
const uint32_t kPasswordTemplateLength = {len(password)};

static_assert({len(table)} + kGuardByteCount <= kStringTableBlockSize,
              "the string table and its guard bytes fit the block");
static_assert({len(offsets)} == kMessageTableEntries, "base/messages.h counts the later messages");
static_assert({MAIN_DIALOG_COPY_SIZE} == kMainDialogCopySize, "the later messages start behind the template's copy");
static_assert({offsets[MESSAGE_COUNT]} + kMainDialogCopySize + kGuardByteCount <= kStringTableBlockSize,
              "the copy of the main dialog template stays inside the block");
static_assert({len(password)} <= kPasswordTemplateBlockSize, "the password template fits its buffer");
"""


def generate(source_path, controls_path):
    source = runpy.run_path(source_path)
    ids = controls_header.read_control_ids(controls_path)
    check_control_names({name: source[name] for name in ("MAIN_DIALOG", "PASSWORD_DIALOG")}, ids)
    main_template = dialog_template(source["MAIN_DIALOG"], ids)
    table, offsets = string_table(source["MESSAGES"], main_template, source["LATER_MESSAGES"])
    password = dialog_template(source["PASSWORD_DIALOG"], ids) + TEMPLATE_TAIL
    packed_table = compress_clean(table, "string table")
    packed_password = compress_clean(password, "password template")
    constants = b"".join(struct.pack("<I", value) for value in offsets)
    lengths = struct.pack("<IIII", len(packed_table), len(table), len(packed_password), len(password))
    for block, what in ((constants, "message offset table"), (lengths, "lengths")):
        if forbidden_sequences(block):
            raise ResourceError(f"the {what} holds a ZIP signature or the marker")
    summary = (f"string table {len(table)} -> {len(packed_table)} bytes, "
               f"password template {len(password)} -> {len(packed_password)} bytes")
    return c_source(table, offsets, packed_table, password, packed_password), summary


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--source", required=True, help="base/messages.py")
    parser.add_argument("--controls", required=True, help="ui/controls.h")
    parser.add_argument("--output", required=True, help="the C++ file to write")
    arguments = parser.parse_args()
    try:
        text, summary = generate(arguments.source, arguments.controls)
    except (ResourceError, controls_header.HeaderError) as error:
        print(f"resgen: {error}", file=sys.stderr)
        return 1
    with open(arguments.output, "w", encoding="ascii") as output:
        output.write(text)
    print(f"resgen: {summary}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
