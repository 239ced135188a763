#!/usr/bin/env python3
"""Screenshots of the main dialog and the About box for the read-me.

    scripts/screenshots.py [--build DIR] [--out DIR]

Runs the real vardix.exe of the x86_64 build in DIR (build/win64 unless given) in a Wine session of its own (the
end-to-end tests' harness, in DIR/e2e/screenshots, so that it never disturbs a test run), opens the About box the way
a user does (Alt+Space, End, Enter), closes it with Enter and writes about.png and main.png, each cropped to its
window, to docs/screenshots (or --out); then the same in English, as any but a Chinese UI language has it, to
about-en.png and main-en.png.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
# Wine draws the caption buttons with Marlett; Debian's Wine does not find the copy in its own data folder, and then
# the close box shows an "r".
MARLETT = Path("/usr/share/wine/fonts/marlett.ttf")


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", type=Path, default=ROOT / "build" / "win64", help="x86_64 build folder")
    parser.add_argument("--out", type=Path, default=ROOT / "docs" / "screenshots")
    args = parser.parse_args()
    build, out = args.build.resolve(), args.out.resolve()
    os.environ.update(
        VARDIX_E2E_STATE=str(build / "e2e" / "screenshots"),
        VARDIX_E2E_VTOOL=str(build / "e2e" / "vtool.exe"),
        VARDIX_E2E_PROGRAM=str(build / "vardix.exe"),
    )
    sys.path.insert(0, str(ROOT / "e2e"))
    sys.dont_write_bytecode = True
    import harness as h  # after the environment it reads

    h.setup()
    try:
        prefix = Path(h.env()["WINEPREFIX"])
        if MARLETT.exists():
            shutil.copy(MARLETT, prefix / "drive_c" / "windows" / "Fonts" / MARLETT.name)
        out.mkdir(parents=True, exist_ok=True)
        for lang, about_caption, suffix in ((None, "关于Quorvantel", ""), (h.EN, "About Quorvantel", "-en")):
            vardix = h.Vardix(lang=lang)
            vardix.main()
            h.focus(vardix.hwnd)
            h.press("alt+space", "End", "Return")
            about = h.poll(lambda: h.windows(text=about_caption, pid=vardix.pid, visible=1), 10)
            assert about, "the About box did not open"
            capture(h, about[0]["hwnd"], out / f"about{suffix}.png")
            h.focus(about[0]["hwnd"])
            h.press("Return")
            # Only now: Wine draws a window that was activated as it first appeared with a grey caption until it is
            # activated again.
            h.focus(vardix.hwnd)
            capture(h, vardix.hwnd, out / f"main{suffix}.png")
            vardix.stop()
    finally:
        h.cleanup()
    return 0


def capture(h, hwnd: int, path: Path) -> None:
    """Crops the screen to the window once two shots in a row agree: the window has finished painting."""
    with tempfile.TemporaryDirectory() as scratch:
        shot, previous = Path(scratch) / "shot.png", [None]

        def settled() -> bool:
            left, top, right, bottom = h.window(hwnd)["rect"]
            subprocess.run(
                ["import", "-window", "root", "-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage", shot],
                env=h.env(),
                check=True,
                capture_output=True,
            )
            # Pixels only: the PNG's own time stamps differ from shot to shot.
            pixels = subprocess.run(["convert", shot, "rgb:-"], check=True, capture_output=True).stdout
            same, previous[0] = pixels == previous[0], pixels
            return same

        assert h.poll(settled, 10, 0.3), f"window {hwnd} kept changing on screen"
        # Without the time stamps, an unchanged picture is an unchanged file.
        subprocess.run(["convert", shot, "-strip", path], check=True, capture_output=True)
    print(f"wrote {path}")


if __name__ == "__main__":
    sys.exit(main())
