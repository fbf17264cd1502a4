"""The Wine session of the benchmarks that run Windows programs
(bench/wine_extract_bench.py, bench/wine_inflate_bench.py).

`session(arch)` is a context manager: it takes the prefix and Wine's
programs of one processor (x86 or x64) from scripts/wine-env.sh (the one
place that knows how to make them), starts an
Xvfb when there is no display, and a persistent wineserver (a launch then
costs tens of milliseconds instead of most of a second) when none runs for
the prefix. On leaving, it stops what it started and nothing else.
"""
import contextlib
import os
import shutil
import subprocess
import sys
from pathlib import Path

TOP = Path(__file__).resolve().parent.parent
WINE_ENV = TOP / "scripts" / "wine-env.sh"
sys.path.insert(0, str(TOP / "scripts"))
import xvfb as virtual_display  # noqa: E402  (scripts/xvfb.py)


def fail(prefix, message):
    print("%s: %s" % (prefix, message), file=sys.stderr)
    sys.exit(1)


def windows_path(path):
    """The name a Windows program sees for a Unix path (drive Z: is /).
    Links on the way are kept, not resolved."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine():
    """The Wine loader of the session's processor (set by session())."""
    found = os.environ.get("ARCULA_WINE") or shutil.which("wine")
    if found is None or not os.path.exists(found):
        fail("winebench", "wine is not installed (scripts/install-deps.sh installs it)")
    return found


def wineserver():
    return os.environ.get("WINESERVER") or "wineserver"


def i386_mode():
    """How this machine runs 32-bit x86 programs: native, emulated or none."""
    if os.environ.get("ARCULA_I386_MODE"):
        return os.environ["ARCULA_I386_MODE"]
    mode = _bash('source "$1" && arcula_i386_mode', stdout=subprocess.PIPE, text=True).stdout.strip()
    os.environ["ARCULA_I386_MODE"] = mode
    return mode


def _bash(script, **kwargs):
    return subprocess.run(["bash", "-c", script, "wine-env", str(WINE_ENV)], env=os.environ, **kwargs)


WINE_VARIABLES = ("WINEPREFIX", "WINEARCH", "WINEDEBUG", "WINEDLLOVERRIDES", "WINELOADER",
                  "WINESERVER", "ARCULA_WINE", "ARCULA_WINE_ARCH")


def _bash_arch(script, arch, **kwargs):
    return subprocess.run(["bash", "-c", 'source "$1" && arcula_wine_arch "$2" && ' + script, "wine-env",
                           str(WINE_ENV), arch], env=os.environ, **kwargs)


def _take_prefix(arch):
    script = 'arcula_wine_prefix && printf "%s\\0" ' + " ".join('"$%s"' % name for name in WINE_VARIABLES)
    values = _bash_arch(script, arch, stdout=subprocess.PIPE, check=True).stdout.decode().split("\0")
    for name, value in zip(WINE_VARIABLES, values):
        os.environ[name] = value


def _start_xvfb():
    try:
        return virtual_display.start()
    except RuntimeError as error:
        fail("winebench", str(error))


@contextlib.contextmanager
def session(arch="x64"):
    _take_prefix(arch)
    xvfb = None if virtual_display.display_answers() else _start_xvfb()
    # Status 0: this call started the server, so it is ours to stop.
    own_server = _bash_arch("arcula_start_wineserver", arch, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
    try:
        yield
    finally:
        if own_server:
            subprocess.run([wineserver(), "-k"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run([wineserver(), "-w"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if xvfb is not None:
            virtual_display.stop(xvfb)
