#!/usr/bin/env python3
"""Drives the demo of scripts/demo.sh: builds a self-extractor from the sample
folder and runs it under Wine as a user would, then unattended."""
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


def drive_c():
    return Path(winelib.os.environ["WINEPREFIX"]) / "drive_c"


def build_self_extractor(exe):
    DEMO.mkdir(parents=True, exist_ok=True)
    subprocess.run([str(BIN / "arcula-mksfx"), "--stub", str(BIN / "arcula-sfx.exe"),
                    "--title", TITLE, "--caption-title",
                    "--info", "The Arcula demo: a few files packed by scripts/demo.sh.",
                    "--folder", "C:\\arcula-demo", "--list",
                    str(SAMPLE), str(exe)], check=True)


def run_attended(exe):
    program = winelib.start(exe)
    dialog = winelib.find_window(TITLE, program=program)
    winelib.screenshot(DEMO / "dialog.png")
    print(f"screenshot of the dialog: {DEMO / 'dialog.png'}")
    winelib.key(dialog, "Return")                 # Unzip is the default button
    box = winelib.find_window(CAPTION, program=program)
    winelib.screenshot(DEMO / "done.png")
    winelib.key(box, "Return")                    # "... file(s) unzipped successfully"
    winelib.wait_window_gone(CAPTION)
    winelib.key(winelib.find_window(TITLE, program=program), "Return")  # Close is the default now
    result = program.wait()
    print(f"attended run: exit code {result.code}")


def run_unattended(exe):
    result = winelib.run(exe, ["/auto", "C:\\arcula-demo-auto"])
    print(f"unattended run (/auto): exit code {result.code}")


def show(folder):
    print(f"\n{folder}:")
    for path in sorted(folder.rglob("*")):
        kind = "folder" if path.is_dir() else f"{path.stat().st_size} bytes"
        print(f"  {path.relative_to(folder)}  ({kind})")


def main():
    winelib.setup()
    exe = DEMO / "setup.exe"
    build_self_extractor(exe)
    for name in ("arcula-demo", "arcula-demo-auto"):
        shutil.rmtree(drive_c() / name, ignore_errors=True)
    run_attended(exe)
    run_unattended(exe)
    show(drive_c() / "arcula-demo")
    show(drive_c() / "arcula-demo-auto")


if __name__ == "__main__":
    main()
