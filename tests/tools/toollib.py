"""What the script tests of the host tools share: their command line and the
ZIPs Python's zipfile writes."""
import argparse
import io
import os
import sys
import zipfile


def tool_arguments(test_name):
    """(bin folder, stub file, the arguments left for unittest) from
    `--bin DIR [--stub FILE]`; the stub defaults to arcula-sfx.exe in the bin
    folder, where a host build puts it. Exits when there is none."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder holding the host programs")
    parser.add_argument("--stub", help="the stub (default: arcula-sfx.exe in --bin)")
    args, rest = parser.parse_known_args()
    bin_dir = os.path.abspath(args.bin)
    stub = args.stub or os.path.join(bin_dir, "arcula-sfx.exe")
    if not os.path.isfile(stub):
        sys.exit("%s: no stub at %s; build the host side, which makes one" % (test_name, stub))
    return bin_dir, os.path.abspath(stub), [sys.argv[0]] + rest


def python_zip(tree, target, streamed):
    """Python's zipfile, to a file or to a stream without seek (bit 3 set)."""
    class Unseekable(io.RawIOBase):
        def __init__(self, sink):
            self.sink = sink

        def writable(self):
            return True

        def write(self, data):
            return self.sink.write(data)

    with open(target, "wb") as sink:
        with zipfile.ZipFile(Unseekable(sink) if streamed else sink, "w", zipfile.ZIP_DEFLATED) as z:
            for folder, dirs, names in sorted(os.walk(tree)):
                for name in sorted(dirs) + sorted(names):
                    path = os.path.join(folder, name)
                    z.write(path, os.path.relpath(path, tree))
