"""The Wine session of the benchmarks that run Windows programs
(bench/wine_extract_bench.py, bench/wine_inflate_bench.py).

`session(arch)` is a context manager: it takes the prefix and Wine's
programs of one processor (x86 or x64) from scripts/wine-env.sh (the one
place that knows how to make them), starts an Xvfb when there is no display,
and a persistent wineserver (a launch then costs tens of milliseconds
instead of most of a second) when none runs for the prefix. On leaving, it
stops what it started and nothing else.

`arches(choice)` and `left_out(arch)` hold the rule both benchmarks follow
for --arch: the 64-bit programs always run; the 32-bit ones only where this
machine runs 32-bit programs natively, since under an emulator their figures
would measure the emulator.
"""
import contextlib
import os
import subprocess
import sys
from pathlib import Path

TOP = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(TOP / "scripts"))
import wine_env  # noqa: E402  (scripts/wine_env.py)
import xvfb as virtual_display  # noqa: E402  (scripts/xvfb.py)

# --arch both runs them in this order: the 64-bit side first, as it always runs.
ARCHES = ("x64", "x86")
CROSS_BUILDS = {"x64": "win64", "x86": "win32"}


def fail(prefix, message):
    print("%s: %s" % (prefix, message), file=sys.stderr)
    sys.exit(1)


def windows_path(path):
    """The name a Windows program sees for a Unix path (drive Z: is /).
    Links on the way are kept, not resolved."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def cross_bin(arch):
    """Where the cross build of that processor puts its Windows programs."""
    return TOP / "build" / CROSS_BUILDS[arch] / "bin"


# --- processors -----------------------------------------------------------------

def arches(choice):
    """The processors that --arch x86|x64|both names."""
    return ARCHES if choice == "both" else (choice,)


def i386_mode():
    """How this machine runs 32-bit x86 programs (scripts/wine_env.py)."""
    return wine_env.i386_mode()


def left_out(arch):
    """Why this machine gives no figures for arch's programs, or None when
    it does."""
    if arch != "x86":
        return None
    mode = i386_mode()
    if mode == "native":
        return None
    if mode == "emulated":
        return "this machine runs 32-bit programs only under an emulator, so the figures would measure the emulator"
    return "this machine does not run 32-bit programs"


# --- the session ----------------------------------------------------------------

def wine():
    """The Wine loader of the current session's processor."""
    return _session_variable("ARCULA_WINE")


def wineserver():
    """The wineserver of the current session (it serves both kinds of prefix)."""
    return _session_variable("WINESERVER")


def _session_variable(name):
    value = os.environ.get("ARCULA_WINE_ARCH") and os.environ.get(name)
    if not value:
        fail("winebench", "%s asked for outside a Wine session (winebench.session)" % name)
    if not os.path.exists(value):
        fail("winebench", "%s is not installed (scripts/install-deps.sh installs Wine)" % value)
    return value


def server_cpu_seconds():
    """CPU seconds the wineserver of the session's prefix has used so far,
    or None when it cannot be found. Wine does part of a Windows program's
    work in the server (handles, waits, file information), outside the
    program's own CPU time; the difference across a run is that share (and
    that of any other program the server serves meanwhile)."""
    pid = _server_pid()
    if pid is None:
        return None
    try:
        # Fields after the command name, which may hold spaces: utime and
        # stime are the 12th and 13th.
        fields = Path("/proc/%s/stat" % pid).read_text().rsplit(")", 1)[1].split()
    except OSError:
        return None
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def _server_pid():
    """The wineserver of the session's prefix: the one working in the
    folder Wine names after the prefix's device and inode."""
    status = os.stat(os.environ["WINEPREFIX"])
    folder = "server-%x-%x" % (status.st_dev, status.st_ino)
    server = os.path.realpath(wineserver())
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            if Path(os.readlink(entry / "cwd")).name == folder and os.readlink(entry / "exe") == server:
                return entry.name
        except OSError:
            continue
    return None


def _take_prefix(arch):
    if not wine_env.take_prefix(arch):
        fail("winebench", "could not prepare the Wine prefix for %s (scripts/wine-env.sh)" % arch)


def _start_xvfb():
    try:
        return virtual_display.start()
    except RuntimeError as error:
        fail("winebench", str(error))


def _stop_wineserver():
    for option in ("-k", "-w"):
        subprocess.run([wineserver(), option], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


@contextlib.contextmanager
def session(arch="x64"):
    _take_prefix(arch)
    xvfb = None if virtual_display.display_answers() else _start_xvfb()
    # Status 0: this call started the server, so it is ours to stop.
    own_server = wine_env.start_wineserver(arch)
    try:
        yield
    finally:
        if own_server:
            _stop_wineserver()
        if xvfb is not None:
            virtual_display.stop(xvfb)
