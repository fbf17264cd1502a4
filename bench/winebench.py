"""The Wine session of the benchmarks that run Windows programs
(bench/wine_extract_bench.py, bench/wine_inflate_bench.py).

`session()` is a context manager: it takes the prefix from
scripts/wine-env.sh (the one place that knows how to make it), starts an
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
    found = shutil.which("wine")
    if found is None:
        fail("winebench", "wine is not installed (scripts/install-deps.sh installs it)")
    return found


def _bash(script, **kwargs):
    return subprocess.run(["bash", "-c", script, "wine-env", str(WINE_ENV)], env=os.environ, **kwargs)


def _take_prefix():
    script = ('source "$1" && arcula_wine_prefix && '
              'printf "%s\\0" "$WINEPREFIX" "$WINEARCH" "$WINEDEBUG" "$WINEDLLOVERRIDES"')
    values = _bash(script, stdout=subprocess.PIPE, check=True).stdout.decode().split("\0")
    for name, value in zip(("WINEPREFIX", "WINEARCH", "WINEDEBUG", "WINEDLLOVERRIDES"), values):
        os.environ[name] = value


def _start_xvfb():
    try:
        return virtual_display.start()
    except RuntimeError as error:
        fail("winebench", str(error))


@contextlib.contextmanager
def session():
    _take_prefix()
    xvfb = None if virtual_display.display_answers() else _start_xvfb()
    # Status 0: this call started the server, so it is ours to stop.
    own_server = _bash("source \"$1\" && arcula_start_wineserver", stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
    try:
        yield
    finally:
        if own_server:
            subprocess.run(["wineserver", "-k"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if xvfb is not None:
            virtual_display.stop(xvfb)
