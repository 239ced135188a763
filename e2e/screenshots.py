#!/usr/bin/env python3
"""Screenshots of the main dialog and the About box for the read-me.

    e2e/screenshots.py [--build DIR] [--out DIR]

Runs the real vardix.exe of the x86_64 build in DIR (build/win64 unless
given) in a Wine session of its own (its own Xvfb and prefix, in
DIR/e2e/screenshots, so it never disturbs a test run), opens the About box
the way a user does (Alt+Space, End, Enter), closes it with Enter and
writes about.png and main.png, each cropped to its window, to
docs/screenshots (or --out).
"""

from __future__ import annotations

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent

ABOUT_CAPTION_HEX = "hex:" + "\u5173\u4e8eQuorvantel".encode("utf-8").hex()
# Wine draws the caption buttons with Marlett; Debian's Wine does not find
# the copy in its own data folder, and then the close box shows an "r".
MARLETT = Path("/usr/share/wine/fonts/marlett.ttf")


def main(argv: list[str]) -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", type=Path, default=ROOT / "build" / "win64",
                        help="x86_64 build directory with vardix.exe and e2e/vtool.exe")
    parser.add_argument("--out", type=Path, default=ROOT / "docs" / "screenshots")
    args = parser.parse_args(argv[1:])
    build = args.build.resolve()
    program, vtool = build / "vardix.exe", build / "e2e" / "vtool.exe"
    for path in (program, vtool):
        if not path.exists():
            print(f"{path} does not exist: build first (cmake --build {build})", file=sys.stderr)
            return 1
    os.environ.update(VARDIX_E2E_STATE=str(build / "e2e" / "screenshots"), VARDIX_E2E_VTOOL=str(vtool),
                      VARDIX_E2E_PROGRAM=str(program))
    sys.path.insert(0, str(HERE))
    sys.dont_write_bytecode = True  # no __pycache__ in the source tree
    import bench  # after the environment it reads

    try:
        bench.setup()
        return shoot(bench, args.out.resolve())
    except bench.BenchError as error:
        bench.log(f"error: {error}")
        return 1
    finally:
        bench.cleanup()


def shoot(bench, out: Path) -> int:
    session = bench.Session()
    prefix = Path(session.env["WINEPREFIX"])
    if MARLETT.exists():
        shutil.copy(MARLETT, prefix / "drive_c" / "windows" / "Fonts" / MARLETT.name)
    session.reset_settings()
    out.mkdir(parents=True, exist_ok=True)

    vardix = bench.Spawned(session, [session.program], "screenshots-vardix")
    try:
        main = ready_window(bench, session, ["--caption", "@vardix-main"])
        session.press("alt+space")
        if not session.find("--class", "#32768", "--pid", str(main["pid"]), wait=5):
            raise bench.BenchError("the system menu did not open")
        session.press("End")
        session.press("Return")
        about = ready_window(bench, session, ["--caption", ABOUT_CAPTION_HEX, "--pid", str(main["pid"])])
        capture(bench, session, about["hwnd"], out / "about.png")
        session.press("Return")
        session.vtool("find", "--hwnd", about["hwnd"], "--gone", "--wait", "5", expect=(0, 1))
        # Only now: without a window manager, Wine draws a window activated
        # as it first appears with a grey caption, until it is activated again.
        ready_window(bench, session, ["--hwnd", main["hwnd"]])
        capture(bench, session, main["hwnd"], out / "main.png")
    finally:
        session.vtool("close", "--caption", "@vardix-main", "--wait", "5", expect=(0, 1))
        vardix.stop()
    return 0


def ready_window(bench, session, query: list[str]) -> dict:
    """The window once it is shown, enabled and in front."""
    seen: list[dict | None] = [None]

    def ready() -> bool:
        seen[0] = session.find(*query)
        return bool(seen[0] and seen[0]["visible"] and seen[0]["enabled"] and seen[0]["foreground"])

    if not bench.poll(ready, 20, interval=0.2):
        raise bench.BenchError(f"window {query} not ready: {seen[0]}")
    return seen[0]


def capture(bench, session, hwnd: str, path: Path) -> None:
    """Crops the screen to the window once two shots in a row agree: the
    window has finished painting."""
    with tempfile.TemporaryDirectory() as scratch:
        previous: bytes | None = None
        shot = Path(scratch) / "shot.png"

        def settled() -> bool:
            nonlocal previous
            rect = session.find("--hwnd", hwnd)["rect"]
            geometry = f"{rect[2] - rect[0]}x{rect[3] - rect[1]}+{rect[0]}+{rect[1]}"
            subprocess.run(["import", "-window", "root", "-crop", geometry, "+repage", str(shot)],
                           env=session.env, check=True, capture_output=True, timeout=20)
            # Pixels only: the PNG's own time stamps differ from shot to shot.
            pixels = subprocess.run(["convert", str(shot), "rgb:-"], check=True, capture_output=True,
                                    timeout=20).stdout
            same, previous = pixels == previous, pixels
            return same

        if not bench.poll(settled, 10, interval=0.3):
            raise bench.BenchError(f"window {hwnd} kept changing on screen")
        # Strip the time stamps, so that an unchanged picture is an unchanged file.
        subprocess.run(["convert", str(shot), "-strip", str(path)], check=True, capture_output=True, timeout=20)
    bench.log(f"wrote {path}")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
