"""scripts/wine-env.sh for Python: the Wine tests (tests/wine/winelib.py),
the demo and the Wine benchmarks (bench/winebench.py) take the prefix and
Wine's programs of one processor from it, so that the shell file stays the
one place that knows them."""
import os
import subprocess
from pathlib import Path

WINE_ENV_SCRIPT = Path(__file__).resolve().with_name("wine-env.sh")
# What a session takes into its own environment; ARCULA_WINE is the loader
# to run programs with (the plain `wine` script would pick the 32-bit one).
WINE_VARIABLES = ("WINEPREFIX", "WINEARCH", "WINEDEBUG", "WINEDLLOVERRIDES", "WINELOADER",
                  "WINESERVER", "ARCULA_WINE", "ARCULA_WINE_ARCH")


def run(script, arch=None, **kwargs):
    """Runs `script` in bash with wine-env.sh sourced and, given `arch`
    (x86 or x64), its variables pointed at that processor."""
    select = 'arcula_wine_arch "$2" && ' if arch else ""
    return subprocess.run(["bash", "-c", 'source "$1" && ' + select + script, "wine-env",
                           str(WINE_ENV_SCRIPT), arch or ""], env=os.environ, **kwargs)


def take_prefix(arch):
    """Creates `arch`'s prefix once and takes its Wine variables into this
    process, for the programs it starts. False when that failed."""
    script = 'arcula_wine_prefix && printf "%s\\0" ' + " ".join('"$%s"' % name for name in WINE_VARIABLES)
    result = run(script, arch, stdout=subprocess.PIPE)
    values = result.stdout.decode().split("\0")
    if result.returncode != 0 or len(values) < len(WINE_VARIABLES):
        return False
    for name, value in zip(WINE_VARIABLES, values):
        os.environ[name] = value
    return True


def i386_mode():
    """How this machine runs 32-bit x86 programs: native, emulated or none.
    Asked once: wine-env.sh switches the emulator off for a moment to ask,
    which a 32-bit program starting then would not survive. scripts/test.sh
    asks before anything runs and passes the answer on."""
    if not os.environ.get("ARCULA_I386_MODE"):
        result = run("arcula_i386_mode", stdout=subprocess.PIPE, text=True)
        os.environ["ARCULA_I386_MODE"] = result.stdout.strip() or "none"
    return os.environ["ARCULA_I386_MODE"]


def start_wineserver(arch):
    """Starts a persistent wineserver for `arch`'s prefix; True when this
    call started it (then it is the caller's to stop)."""
    return run("arcula_start_wineserver", arch, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
               stderr=subprocess.DEVNULL).returncode == 0
