"""Shared machinery of the end-to-end tests that run the stub under Wine.

A test script calls `winelib.main()`; it parses `--stub EXE --arch x86|x64
--bin DIR`, makes sure a Wine session of that processor is there, and runs
the script's unittest cases.

The session: scripts/test.sh starts one Xvfb and one persistent wineserver
for each processor's run and exports DISPLAY. A test started on its own
finds neither, so `setup()` creates the prefix (through scripts/wine-env.sh,
the one place that knows the prefixes and Wine's programs for each
processor), starts an Xvfb and a wineserver of its own, and stops both when
the script ends. The helpers a test compiles are built for the stub's
processor (`cross_compiler`): a 64-bit prefix may have no 32-bit side.

Windows: found by their exact title with xdotool (polled); keys and clicks
go through xdotool. Under Wine a dialog's controls are not X windows, so
their texts come from window_probe.exe, a small Win32 helper that asks the
same Wine session (see `controls`).

Waiting: on states, never on the clock. Keys go to a window once it takes
input (`wait_ready`), a box that was answered is waited out before the next
one is looked for (`dismiss`), and what must happen at a given point of a
program's run is held there by stopping the program (`Program.stopped`).
A timeout is only the upper bound of a wait for a state.

When something is not found in time, a screenshot of the whole screen is
saved under the artifacts folder ($ARCULA_WINE_ARTIFACTS, else
./wine-artifacts) and its path is part of the error.
"""
import argparse
import atexit
import contextlib
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from dataclasses import dataclass
from pathlib import Path

REPO_ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO_ROOT / "scripts"))
import wine_env  # noqa: E402  (scripts/wine_env.py)
import xvfb as virtual_display  # noqa: E402  (scripts/xvfb.py)
sys.path.insert(0, str(REPO_ROOT / "tools" / "resgen"))
import controls_header  # noqa: E402  (tools/resgen/controls_header.py)

# What the test script was given on its command line (set by main()).
STUB = None        # Path of the stub (arcula-sfx.exe or arcula-sfx64.exe)
ARCH = "x86"       # its processor: x86 or x64
HOST_BIN = None    # Path of the folder of host programs (builder, tools)
# Wine's programs for the prefix (set by setup() from scripts/wine-env.sh).
WINE = "wine"
WINESERVER = "wineserver"

DEFAULT_RUN_TIMEOUT = 30.0
DEFAULT_WINDOW_TIMEOUT = 15.0
POLL_INTERVAL = 0.1
# Where 32-bit programs run only through an emulator, a 32-bit program takes
# many times as long for everything; the bounds of the waits grow by this.
EMULATED_SLOWDOWN = 40


class WineTestError(AssertionError):
    """A step of an end-to-end test failed (a window missing, a hang)."""


_session = {"ready": False, "xvfb": None, "own_server": False, "slowdown": 1}


# ---------------------------------------------------------------- session

def setup():
    """Makes sure a display, the prefix and a wineserver are there. Idempotent."""
    if _session["ready"]:
        return
    _ensure_display()
    _ensure_prefix()
    _ensure_server()
    _session["ready"] = True


def _ensure_display():
    if virtual_display.display_answers():
        return
    try:
        _session["xvfb"] = virtual_display.start()
    except RuntimeError as error:
        raise WineTestError(str(error))
    atexit.register(_stop_xvfb)


def _stop_xvfb():
    if _session["xvfb"] is not None:
        virtual_display.stop(_session["xvfb"])


def _ensure_prefix():
    """Takes the Wine variables of ARCH from scripts/wine-env.sh and creates the prefix."""
    global WINE, WINESERVER
    if not wine_env.take_prefix(ARCH):
        raise WineTestError(f"could not prepare the Wine prefix for {ARCH}")
    WINE = os.environ["ARCULA_WINE"]
    WINESERVER = os.environ["WINESERVER"]
    if ARCH == "x86" and wine_env.i386_mode() == "emulated":
        _session["slowdown"] = EMULATED_SLOWDOWN


def bound(timeout):
    """The upper bound of a wait of `timeout` seconds on this machine."""
    return timeout * _session["slowdown"]


def _ensure_server():
    # Status 0: this call started the server, so it is ours to stop;
    # otherwise one is already running for the prefix (scripts/test.sh's).
    started = wine_env.start_wineserver(ARCH)
    if started:
        _session["own_server"] = True
        atexit.register(_stop_server)


def _stop_server():
    if _session["own_server"]:
        subprocess.run([WINESERVER, "-k"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run([WINESERVER, "-w"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def cross_compiler(tool):
    """The MinGW-w64 `tool` ("gcc", "g++") that builds helpers for the
    stub's processor: a 64-bit stub loads only 64-bit DLLs, and a 64-bit
    prefix may have no 32-bit side."""
    prefix = {"x86": "i686", "x64": "x86_64"}[ARCH]
    return f"{prefix}-w64-mingw32-{tool}"


def windows_path(path):
    """The name a Windows program sees for a Unix path (drive Z: is /)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


# ---------------------------------------------------------------- programs

@dataclass
class RunResult:
    code: int
    stdout: str
    stderr: str
    seconds: float


class Program:
    """A Windows program started under Wine and still running."""

    def __init__(self, exe, args=(), cwd=None, env=None):
        setup()
        self.command = [WINE, str(exe), *[str(a) for a in args]]
        # Output goes to files, not pipes: Wine's own background processes
        # (services started by the first program of a session) inherit the
        # handles and would keep a pipe open long after the program ended.
        self._stdout = tempfile.TemporaryFile()
        self._stderr = tempfile.TemporaryFile()
        self.started = time.monotonic()
        self.process = subprocess.Popen(
            self.command, cwd=cwd, env=_merged_env(env), stdin=subprocess.DEVNULL,
            stdout=self._stdout, stderr=self._stderr, start_new_session=True)

    def wait(self, timeout=DEFAULT_RUN_TIMEOUT):
        """Waits for the exit; kills the program and fails after `timeout` s."""
        timeout = bound(timeout)
        try:
            code = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            shot = screenshot_on_failure("hang")
            self.kill()
            raise WineTestError(f"{' '.join(self.command)} still running after {timeout} s "
                                f"(killed; screenshot {shot})")
        return RunResult(code, _read_all(self._stdout), _read_all(self._stderr),
                         time.monotonic() - self.started)

    def running(self):
        return self.process.poll() is None

    def error_output(self):
        """What the program (or Wine, for it) wrote to its standard error so far."""
        self._stderr.seek(0)
        return self._stderr.read().decode(errors="replace").strip()

    def stop(self):
        """Stops the program (SIGSTOP) and returns once all its threads have
        stopped: until resume() it handles no message, draws nothing and
        takes no timer tick, while the Wine server, the X server and the
        clock go on. Only the program's own process: Wine's desktop process
        may have been started by it, in its process group, and every Wine
        program (window_probe too) needs that one running."""
        os.kill(self.process.pid, signal.SIGSTOP)
        wait_until(lambda: _all_threads_stopped(self.process.pid), "program stopped")

    def resume(self):
        os.kill(self.process.pid, signal.SIGCONT)

    @contextlib.contextmanager
    def stopped(self):
        """`with program.stopped():` holds the program still for the block."""
        self.stop()
        try:
            yield
        finally:
            self.resume()

    def kill(self):
        if self.process.poll() is None:
            try:
                os.killpg(self.process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.process.wait()
        self._stdout.close()
        self._stderr.close()


def _all_threads_stopped(pid):
    """Whether every thread of process `pid` is stopped (or gone)."""
    for stat in Path(f"/proc/{pid}/task").glob("[0-9]*/stat"):
        try:
            state = stat.read_text().rsplit(")", 1)[1].split()[0]
        except (OSError, IndexError):
            continue  # ended meanwhile
        if state not in ("T", "t", "Z", "X"):
            return False
    return True


def _read_all(stream):
    stream.seek(0)
    text = stream.read().decode(errors="replace")
    stream.close()
    return text


def _merged_env(extra):
    env = dict(os.environ)
    if extra:
        env.update(extra)
    return env


def start(exe, args=(), cwd=None, env=None):
    """Starts a Windows program and returns at once (for interactive tests)."""
    return Program(exe, args, cwd, env)


def run(exe, args=(), timeout=DEFAULT_RUN_TIMEOUT, cwd=None, env=None):
    """Runs a Windows program to its end; fails if it does not end in time."""
    return start(exe, args, cwd, env).wait(timeout)


# ---------------------------------------------------------------- waiting

def wait_until(condition, what, timeout=DEFAULT_WINDOW_TIMEOUT):
    """Polls `condition` until it returns something true, and returns that.
    `timeout` is an upper bound on waiting for a state; reaching it fails,
    naming `what`."""
    timeout = bound(timeout)
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            shot = screenshot_on_failure("condition")
            raise WineTestError(f"{what}: not reached within {timeout} s (screenshot {shot})")
        time.sleep(POLL_INTERVAL)


# ---------------------------------------------------------------- windows

def _xdotool(*args, check=True):
    result = subprocess.run(["xdotool", *[str(a) for a in args]], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True)
    if check and result.returncode != 0:
        raise WineTestError(f"xdotool {' '.join(map(str, args))} failed: {result.stderr.strip()}")
    return result


def _ere_escaped(text):
    return re.sub(r"([.^$|?*+()\[\]{}\\])", r"\\\1", text)


def windows_titled(title):
    """Ids of the visible X windows whose title is exactly `title` (case counts)."""
    # xdotool matches names case-insensitively, so each hit is checked again.
    result = _xdotool("search", "--onlyvisible", "--name", f"^{_ere_escaped(title)}$", check=False)
    return [wid for wid in result.stdout.split() if window_title(wid) == title]


def find_window(title, timeout=DEFAULT_WINDOW_TIMEOUT, program=None):
    """Polls for a visible window titled exactly `title`; returns its X id.
    It may not take input yet: `key` and `type_text` wait for that.

    With `program`, stops early (and says so) if that program has exited."""
    setup()
    timeout = bound(timeout)
    deadline = time.monotonic() + timeout
    while True:
        found = windows_titled(title)
        if found:
            return found[0]
        if program is not None and not program.running():
            # Wine's own refusal (a bad image, a missing library) is on the
            # program's standard error: pass it on.
            said = program.error_output()
            raise WineTestError(f'program exited with code {program.process.returncode} '
                                f'before a window "{title}" appeared'
                                + (f"; it said: {said}" if said else ""))
        if time.monotonic() >= deadline:
            shot = screenshot_on_failure("missing-window")
            raise WineTestError(f'no window "{title}" within {timeout} s; on screen: '
                                f'{visible_titles()} (screenshot {shot})')
        time.sleep(POLL_INTERVAL)


def wait_window_gone(title, timeout=DEFAULT_WINDOW_TIMEOUT):
    """Waits until no visible window is titled `title`."""
    wait_until(lambda: not windows_titled(title), f'window "{title}" gone', timeout)


def is_shown(wid):
    """Whether X window `wid` still exists and is mapped."""
    result = subprocess.run(["xwininfo", "-id", str(wid)], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)
    return result.returncode == 0 and "IsViewable" in result.stdout


def wait_closed(wid, timeout=DEFAULT_WINDOW_TIMEOUT):
    """Waits until window `wid` is gone, so that a window of the same title
    found afterwards is a new one."""
    wait_until(lambda: not is_shown(wid), f"window {wid} closed", timeout)


def window_title(wid):
    return _xdotool("getwindowname", wid, check=False).stdout.rstrip("\n")


def visible_titles():
    """Titles of every visible named window: for error messages."""
    result = _xdotool("search", "--onlyvisible", "--name", ".", check=False)
    return sorted({window_title(wid) for wid in result.stdout.split()} - {""})


def window_size(wid):
    values = dict(line.split("=", 1) for line in
                  _xdotool("getwindowgeometry", "--shell", wid).stdout.split())
    return int(values["WIDTH"]), int(values["HEIGHT"])


def by_x_id(wid):
    """Names for window_probe the top-level window whose X window is `wid`,
    where a title could also match an older window closing."""
    return f"x:{wid}"


@dataclass
class WindowState:
    visible: bool
    enabled: bool
    active: bool    # the active window of its thread and the foreground window
    focused: bool   # its thread's keyboard focus is the window or one of its controls

    def takes_input(self):
        return self.visible and self.enabled and self.active and self.focused


def window_state(wid):
    """The WindowState of the top-level window whose X window is `wid`
    (None when there is none). Asks the Wine server only, so it works while
    the program is stopped."""
    result = _probe("state", by_x_id(wid))
    fields = result.stdout.split()
    if result.code != 0 or len(fields) != 4:
        return None
    return WindowState(*(field == "1" for field in fields))


def wait_ready(wid, timeout=DEFAULT_WINDOW_TIMEOUT):
    """Waits until window `wid` takes keys: shown, enabled, active, with the
    keyboard focus inside. A window that has just appeared, or an owner that
    a closing box gives back, is not there yet at once; a key pressed before
    goes to another window or is lost."""
    last = {}

    def ready():
        last["state"] = window_state(wid)
        return last["state"] is not None and last["state"].takes_input()

    try:
        wait_until(ready, f"window {wid} ready for input", timeout)
    except WineTestError as error:
        raise WineTestError(f"{error}; last state {last.get('state')}") from None


def focus(wid):
    wait_ready(wid)
    _xdotool("windowfocus", "--sync", wid)


def type_text(wid, text):
    """Types `text` into the focused control of window `wid`, once it takes input."""
    focus(wid)
    _xdotool("type", "--delay", 20, text)


def key(wid, *keys):
    """Presses keys in order (xdotool names: Return, Escape, alt+y, Tab...),
    once window `wid` takes input."""
    focus(wid)
    _xdotool("key", "--delay", 50, *keys)


def dismiss(wid, *keys):
    """Answers window `wid` (a box) with keys and waits until it has closed:
    the next box of the same title is then a new one."""
    key(wid, *keys)
    wait_closed(wid)


def click(wid, from_right, from_bottom):
    """Clicks a point given from the window's bottom-right corner: the
    caption's height differs with and without a window manager. Does not
    wait for the window to take input: the caller may click into a stopped
    program, which then finds the click when it goes on."""
    width, height = window_size(wid)
    _xdotool("mousemove", "--window", wid, width - from_right, height - from_bottom, "click", 1)


def screenshot(path):
    path = Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["import", "-window", "root", str(path)], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True)
    return path


def artifacts_dir():
    return Path(os.environ.get("ARCULA_WINE_ARTIFACTS", "wine-artifacts")).resolve()


def screenshot_on_failure(reason):
    """Best effort: a failing test must report its own fault, not the camera's."""
    name = f"{Path(sys.argv[0]).stem}-{reason}-{time.strftime('%H%M%S')}.png"
    try:
        return screenshot(artifacts_dir() / name)
    except (OSError, subprocess.CalledProcessError):
        return "not taken"


# ---------------------------------------------------------------- controls

@dataclass
class Control:
    id: int
    class_name: str
    visible: bool
    enabled: bool
    check: object   # None without a check state, else 0, 1 or 2
    text: str


def _probe_exe():
    candidates = []
    if os.environ.get("ARCULA_WINDOW_PROBE"):
        candidates.append(Path(os.environ["ARCULA_WINDOW_PROBE"]))
    if STUB is not None:
        candidates.append(STUB.parent / "window_probe.exe")
    for candidate in candidates:
        if candidate.is_file():
            return candidate
    raise WineTestError("window_probe.exe not found (built by the cross build; "
                        "set ARCULA_WINDOW_PROBE to its path)")


def _probe(*args):
    return run(_probe_exe(), args, timeout=DEFAULT_RUN_TIMEOUT)


def _unescaped(text):
    replacements = {"\\\\": "\\", "\\t": "\t", "\\r": "\r", "\\n": "\n"}
    return re.sub(r"\\[\\trn]", lambda m: replacements[m.group(0)], text)


def controls(window):
    """The child controls of a top-level window (its exact title, or
    by_x_id), in Z order, with their texts as the program set them. The
    program has finished what it was in the middle of when they are read."""
    result = _probe("list", window)
    if result.code != 0:
        raise WineTestError(result.stderr.strip() or f'no window "{window}"')
    found = []
    for line in result.stdout.splitlines()[1:]:
        fields = line.split("\t")
        if len(fields) != 6:
            continue
        control_id, class_name, visible, enabled, check, text = fields
        found.append(Control(int(control_id), class_name, visible == "1", enabled == "1",
                             None if check == "-" else int(check), _unescaped(text)))
    return found


def control_ids():
    """{name: id} of the stub's dialog controls, read from ui/controls.h as
    the stub's code and its dialog templates take them."""
    return controls_header.read_control_ids(REPO_ROOT / "ui" / "controls.h")


def control_text(window, control_id):
    for control in controls(window):
        if control.id == control_id:
            return control.text
    raise WineTestError(f'window "{window}" has no control {control_id}')


def press_command(window, control_id):
    """Posts the window the command a click on button `control_id` would.
    Works while the program is stopped: it finds the command when it goes on."""
    if _probe("command", window, control_id).code != 0:
        raise WineTestError(f'window "{window}" has no control {control_id}')


def set_control_text(window, control_id, text):
    if _probe("settext", window, control_id, text).code != 0:
        raise WineTestError(f'window "{window}" has no control {control_id}')


def wait_idle(window, timeout=DEFAULT_WINDOW_TIMEOUT):
    """Waits until the program of `window` waits for input with nothing left
    in its queue (timer ticks that are due included)."""
    timeout = bound(timeout)
    result = _probe("idle", window, int(timeout * 1000))
    if result.code != 0:
        raise WineTestError(f'the program of window "{window}" not idle within {timeout} s '
                            f'({result.stderr.strip() or "still busy"})')


# ---------------------------------------------------------------- test scripts

def main(argv=None):
    """Entry point of a test script: `--stub EXE --arch x86|x64 --bin DIR`,
    then unittest."""
    global STUB, ARCH, HOST_BIN
    parser = argparse.ArgumentParser()
    parser.add_argument("--stub", required=True, type=Path, help="the built stub")
    parser.add_argument("--arch", choices=("x86", "x64"), default="x86", help="the stub's processor")
    parser.add_argument("--bin", required=True, type=Path, help="folder of the host programs")
    args, rest = parser.parse_known_args(argv)
    STUB = args.stub.resolve()
    ARCH = args.arch
    HOST_BIN = args.bin.resolve()
    if not STUB.is_file():
        parser.error(f"no stub at {STUB}")
    setup()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
