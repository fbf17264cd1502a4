#!/usr/bin/env python3
"""Checks the include structure of the code that goes into the stub.

The layers, top to bottom, and what each may include (its own layer and any
layer below it, never one above):

  top       the user interface and the start-up sequence
            ui/*, stub/startup, stub/checks, stub/resources (unpacking the
            string table needs the decoder)
  middle    archive/*, paths/*, inflate/*
  low       the rest of stub/: abort point, settings, message lookup, work
            memory, run-wide facts, the progress port
  platform  platform/* (the only place that includes OS headers)

Besides the direction, no include cycle may join two folders or hold more
than two modules (a module is a .h and its .cpp). Fails with one line per
fault.
"""
import os
import re
import sys

# (layer, path prefixes of its modules); the first match decides.
LAYERS = [
    ("top", ["ui/", "stub/startup", "stub/checks", "stub/resources"]),
    ("middle", ["archive/", "paths/", "inflate/"]),
    ("low", ["stub/"]),
    ("platform", ["platform/"]),
]
FOLDERS = ["stub", "archive", "inflate", "paths", "ui", "platform"]
# Outside platform/ only these system headers may be included.
PORTABLE_SYSTEM_HEADERS = {"stddef.h", "stdint.h"}

INCLUDE = re.compile(r'^\s*#\s*include\s+([<"])([^>"]+)[>"]', re.MULTILINE)


def layer_of(module):
    for rank, (name, prefixes) in enumerate(LAYERS):
        if any(module.startswith(prefix) for prefix in prefixes):
            return rank, name
    return None, None


def module_of(path):
    """platform/win32/ui.cpp and platform/ui.h are different modules."""
    return os.path.splitext(path)[0]


def collect(root):
    """{module: set of included modules}, plus the faults found on the way."""
    edges, faults = {}, []
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
    return edges, faults


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
    edges, faults = collect(os.path.abspath(root))
    faults += upward_includes(edges) + cycle_faults(edges)
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(f"check_layers: {len(edges)} modules, every include runs downward")
    return 0


if __name__ == "__main__":
    sys.exit(main())
