"""A virtual display for the programs that need one (the Wine tests and the
Wine benchmarks): Xvfb on a display number it picks itself."""
import os
import subprocess


def display_answers():
    """True when DISPLAY names a display that answers."""
    return bool(os.environ.get("DISPLAY")) and subprocess.run(
        ["xdpyinfo"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def start():
    """Starts Xvfb, points DISPLAY at it and returns the process. Raises
    RuntimeError when it does not start or does not answer."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    if not number.strip().isdigit():
        xvfb.kill()
        raise RuntimeError("Xvfb did not start")
    os.environ["DISPLAY"] = ":" + number.decode().strip()
    if not display_answers():
        stop(xvfb)
        raise RuntimeError(f"Xvfb on {os.environ['DISPLAY']} does not answer")
    return xvfb


def stop(xvfb):
    """Ends an Xvfb that start() returned."""
    xvfb.terminate()
    try:
        xvfb.wait(5)
    except subprocess.TimeoutExpired:
        xvfb.kill()
