#!/usr/bin/env python3
"""Checks the include structure of the code that goes into the stub.

Each folder is a layer. Top to bottom:

  stub      the entry point, start-up, the start-of-run checks
  ui        the dialogs, the meter, the pump, the unpacking of what they show
  extract   the pass (the record scanner), one entry's extraction, the output sink
  archive   reading the ZIP: input, volumes, entries, decryption, CRC-32
  paths     output paths, folders, the overwrite decision, the default folder
  inflate   the DEFLATE decoder, standing alone
  base      abort, boxes, messages, settings, run-wide facts, work memory
  platform  the only place that includes OS headers

A file may include its own folder and any folder below it, never one above.
No include cycle may join two folders or hold more than two modules (a module
is a .h and its .cpp).

A function declared below and defined above is an arrow up as well, made at
link time instead of by an include. The ports named in PORTS are the only
ones allowed: the progress port and the program's entry. Fails with one line per fault.
"""
import os
import re
import sys

FOLDERS = ["stub", "ui", "extract", "archive", "paths", "inflate", "base", "platform"]
# The link-time ports: header below -> the folder that defines it. The paths
# and the output sink report progress through the first without knowing the
# dialog that shows it.
PORTS = {"base/progress.h": "ui",
         # The program's entry, as main is for a C program: the platform's
         # start calls up into the start-up.
         "platform/program.h": "stub"}
# Outside platform/ only these system headers may be included.
PORTABLE_SYSTEM_HEADERS = {"stddef.h", "stdint.h"}

INCLUDE = re.compile(r'^\s*#\s*include\s+([<"])([^>"]+)[>"]', re.MULTILINE)
# A function declared or defined at file level: the line starts unindented
# and the name starts with a capital, as every function of the stub's does.
_SIGNATURE = r'^(?![\s#/])(?!return\b)[\w:*&<>,\[\] ]*?\b([A-Z]\w*)\s*\([^;{}]*\)\s*(?:const\s*)?'
DECLARATION = re.compile(_SIGNATURE + ";", re.MULTILINE)
DEFINITION = re.compile(_SIGNATURE + "\\{", re.MULTILINE)


def layer_of(module):
    folder = module.split("/")[0]
    return (FOLDERS.index(folder), folder) if folder in FOLDERS else (None, None)


def module_of(path):
    """platform/win32/ui.cpp and platform/ui.h are different modules."""
    return os.path.splitext(path)[0]


def collect(root):
    """{module: set of included modules}, {function: header declaring it},
    {function: folders defining it}, and the faults found on the way."""
    edges, faults, declared, defined = {}, [], {}, {}
    for folder in FOLDERS:
        for directory, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.relpath(os.path.join(directory, name), root)
                module = module_of(path)
                edges.setdefault(module, set())
                with open(os.path.join(root, path), encoding="utf-8") as source:
                    text = source.read()
                if name.endswith(".h"):
                    for function in DECLARATION.findall(text):
                        declared.setdefault(function, path)
                else:
                    for function in DEFINITION.findall(text):
                        defined.setdefault(function, set()).add(path.split("/")[0])
                for kind, target in INCLUDE.findall(text):
                    if kind == "<":
                        if not module.startswith("platform/") and target not in PORTABLE_SYSTEM_HEADERS:
                            faults.append(f"{path}: <{target}> is for platform/ only")
                        continue
                    if target.split("/")[0] not in FOLDERS:
                        continue  # generated or test-only headers
                    included = module_of(target)
                    if included != module:
                        edges[module].add(included)
    return edges, faults, declared, defined


def upward_definitions(declared, defined):
    """Functions declared in one folder and defined in a folder above it,
    other than through the named ports."""
    faults = []
    for function, header in sorted(declared.items()):
        rank, _ = layer_of(header)
        for folder in sorted(defined.get(function, ())):
            folder_rank, _ = layer_of(folder)
            if folder_rank >= rank or PORTS.get(header) == folder:
                continue
            faults.append(f"{function}, declared in {header}, is defined in {folder}/: a link-time port that "
                          "runs back up")
    return faults


def upward_includes(edges):
    faults = []
    for module, targets in sorted(edges.items()):
        rank, name = layer_of(module)
        for target in sorted(targets):
            target_rank, target_name = layer_of(target)
            if target_rank is not None and rank is not None and target_rank < rank:
                faults.append(f"{module} ({name}) includes {target} ({target_name}): an include that runs back up")
    return faults


def strongly_connected(edges):
    """Tarjan's algorithm, iterative; components of more than one module."""
    index, low, on_stack, stack, components = {}, {}, set(), [], []
    counter = [0]
    for start in sorted(edges):
        if start in index:
            continue
        work = [(start, iter(sorted(edges.get(start, ()))))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            child = next(children, None)
            if child is not None:
                if child not in index:
                    index[child] = low[child] = counter[0]
                    counter[0] += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(edges.get(child, ())))))
                elif child in on_stack:
                    low[node] = min(low[node], index[child])
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    components.append(sorted(component))
    return components


def cycle_faults(edges):
    faults = []
    for component in strongly_connected(edges):
        folders = {module.split("/")[0] for module in component}
        if len(folders) > 1 or len(component) > 2:
            faults.append("include cycle: " + " -> ".join(component))
    return faults


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
    edges, faults, declared, defined = collect(os.path.abspath(root))
    faults += upward_includes(edges) + upward_definitions(declared, defined) + cycle_faults(edges)
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(f"check_layers: {len(edges)} modules, every include runs downward")
    return 0


if __name__ == "__main__":
    sys.exit(main())
