#!/usr/bin/env python3
"""Drives the demo of scripts/demo.sh for one stub: builds a self-extractor
from the sample folder and runs it under Wine as a user would, then
unattended.

    scripts/demo.py --arch x64|x86
"""
import argparse
import os
import shutil
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "wine"))
import winelib  # noqa: E402  (the Wine session machinery of the end-to-end tests)

BIN = ROOT / "build" / "bin"
DEMO = ROOT / "build" / "demo"
SAMPLE = ROOT / "scripts" / "demo-sample"
TITLE = "Arcula Demo"
CAPTION = "Arcula Self-Extractor"
# Per processor: the self-extractor's name and the cross build's folder.
SETUP_NAMES = {"x64": "setup64.exe", "x86": "setup.exe"}
CROSS_BUILDS = {"x64": "win64", "x86": "win32"}


def step(text):
    print(f"demo: {text}", flush=True)


def drive_c():
    return Path(os.environ["WINEPREFIX"]) / "drive_c"


def build_self_extractor(exe, arch):
    DEMO.mkdir(parents=True, exist_ok=True)
    step(f"making {exe} with the {arch} stub")
    subprocess.run([str(BIN / "arcula-mksfx"), "--arch", arch,
                    "--title", TITLE, "--caption-title",
                    "--info", "The Arcula demo: a few files packed by scripts/demo.sh.",
                    "--folder", "C:\\arcula-demo", "--list",
                    str(SAMPLE), str(exe)], check=True)


def run_attended(exe, shot_name):
    step(f"running {exe.name} as a user would: Unzip, then OK, then Close")
    program = winelib.start(exe)
    dialog = winelib.find_window(TITLE, program=program)
    winelib.screenshot(DEMO / shot_name)
    step(f"screenshot of the dialog: {DEMO / shot_name}")
    winelib.key(dialog, "Return")                 # Unzip is the default button
    box = winelib.find_window(CAPTION, program=program)
    winelib.key(box, "Return")                    # "... file(s) unzipped successfully"
    winelib.wait_window_gone(CAPTION)
    winelib.key(winelib.find_window(TITLE, program=program), "Return")  # Close is the default now
    result = program.wait()
    step(f"attended run: exit code {result.code}")
    return result.code


def run_unattended(exe):
    step(f"running {exe.name} /auto C:\\arcula-demo-auto")
    result = winelib.run(exe, ["/auto", "C:\\arcula-demo-auto"])
    step(f"unattended run (/auto): exit code {result.code}")
    if result.code != 0 and result.stderr.strip():
        print(result.stderr.strip(), file=sys.stderr)
    return result.code


def show(folder):
    print(f"\n{folder}:")
    for path in sorted(folder.rglob("*")):
        kind = "folder" if path.is_dir() else f"{path.stat().st_size} bytes"
        print(f"  {path.relative_to(folder)}  ({kind})")
    print()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--arch", choices=("x64", "x86"), default="x64")
    arch = parser.parse_args().arch
    os.environ.setdefault("ARCULA_WINDOW_PROBE",
                          str(ROOT / "build" / CROSS_BUILDS[arch] / "tests" / "window_probe.exe"))
    exe = DEMO / SETUP_NAMES[arch]
    build_self_extractor(exe, arch)
    winelib.ARCH = arch
    winelib.STUB = BIN / ("arcula-sfx64.exe" if arch == "x64" else "arcula-sfx.exe")
    step(f"starting the display and the {arch} Wine prefix (made the first time)")
    winelib.setup()
    step(f"Wine prefix: {os.environ['WINEPREFIX']}")
    for name in ("arcula-demo", "arcula-demo-auto"):
        shutil.rmtree(drive_c() / name, ignore_errors=True)
    codes = [run_attended(exe, f"dialog-{arch}.png"), run_unattended(exe)]
    show(drive_c() / "arcula-demo")
    show(drive_c() / "arcula-demo-auto")
    return 0 if codes == [0, 0] else 1


if __name__ == "__main__":
    try:
        sys.exit(main())
    except winelib.WineTestError as error:
        print(f"demo: {error}", file=sys.stderr)
        sys.exit(1)
