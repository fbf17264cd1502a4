"""Reads the dialogs' control ids from ui/controls.h, where they are named once.

The header is plain C++ that the stub compiles. This reader follows only the
forms the header is written in: blank lines, `//` comments, `#pragma once` and
one declaration a line, `const int kName = 123;`. Any other line is an error
rather than skipped, so that an id written some other way cannot go missing
from the dialog templates unnoticed.
"""
import re

DECLARATION = re.compile(r"const\s+int\s+(k[A-Za-z0-9]+)\s*=\s*(0|[1-9][0-9]*)\s*;\s*(//.*)?")


class HeaderError(Exception):
    pass


def read_control_ids(path):
    """{name: id} of every control the header declares, in its order."""
    ids = {}
    with open(path, encoding="utf-8") as header:
        for number, line in enumerate(header, 1):
            line = line.strip()
            if not line or line.startswith("//") or line == "#pragma once":
                continue
            match = DECLARATION.fullmatch(line)
            if match is None:
                raise HeaderError(f"{path}:{number}: not a control id of the form "
                                  f"'const int kName = 123;': {line}")
            name, value = match.group(1), int(match.group(2))
            if name in ids:
                raise HeaderError(f"{path}:{number}: {name} is declared twice")
            ids[name] = value
    return ids
