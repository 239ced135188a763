"""Filling another program's dialog from the clipboard: the real vardix.exe
under Wine, a real key press on the X display, the real clipboard and a real
target dialog of the helper program.

Each row starts from nothing: no settings in the registry, a freshly started
vardix.exe, a new target dialog. Run through CTest (ctest --preset win64),
which creates the Wine session first.
"""

from __future__ import annotations

import contextlib
import time
import unittest
from typing import Any, Iterator

from bench import (CF_TEXT, CF_UNICODETEXT, HTML_FORMAT, BenchError, DesktopKeeper, Session, Target, Vardix,
                   log, poll)

SERIAL = b"SN: AB12-CD34-EF56"
PIECES = ["AB12", "CD34", "EF56"]
FILL_TIMEOUT = 10  # seconds from the key press until every box shows its piece

# "序列号: " in the user's ANSI code page, 936: the label is not ASCII, the code is.
GBK_SERIAL = "\u5e8f\u5217\u53f7: AB12-CD34-EF56".encode("gbk")


def html_fragment(text: str) -> bytes:
    """A clipboard "HTML Format" block as browsers put it, offsets and all."""
    body = f"<html><body><!--StartFragment-->{text}<!--EndFragment--></body></html>"
    header = "Version:0.9\r\nStartHTML:{:010d}\r\nEndHTML:{:010d}\r\nStartFragment:{:010d}\r\nEndFragment:{:010d}\r\n"
    length = len(header.format(0, 0, 0, 0))
    start_fragment = length + body.index("-->") + 3
    end_fragment = length + body.index("<!--EndFragment")
    return (header.format(length, length + len(body), start_fragment, end_fragment) + body).encode() + b"\0"


class FillTestCase(unittest.TestCase):
    session: Session
    keeper: DesktopKeeper

    @classmethod
    def setUpClass(cls) -> None:
        cls.session = Session()
        cls.keeper = DesktopKeeper(cls.session, cls.__name__)

    @classmethod
    def tearDownClass(cls) -> None:
        cls.keeper.stop()

    @contextlib.contextmanager
    def scenario(self, name: str, clipboard: dict[str, bytes],
                 **target_args: Any) -> Iterator[tuple[Vardix, Target]]:
        """vardix.exe fresh, a target dialog with the focus where the user put
        it, and the user's clipboard; everything is ended afterwards."""
        started = time.monotonic()
        with contextlib.ExitStack() as stack:
            vardix = Vardix(self.session)
            stack.callback(vardix.stop)
            vardix.start()
            target = Target(self.session, **target_args)
            stack.callback(target.close)
            target.start()
            self.session.set_clipboard(clipboard)
            target.focus()
            # What the key press will find: if Wine itself changed the
            # clipboard in between, the scenario says so instead of blaming
            # the program.
            before = self.session.clipboard_state()
            for format_name, data in clipboard.items():
                if self.session.clipboard(format_name) != data:
                    raise BenchError(f"the clipboard changed before the key press: {before}")
            try:
                yield vardix, target
            except BaseException:
                shot = self.session.screenshot(f"{self.id()}_{name}")
                log(f"{name}: failed; screen in {shot}; clipboard before the key press {before}, "
                    f"now {self.session.clipboard_state()}; target events {target.process and target.process.snapshot()}")
                raise
        log(f"{name}: {time.monotonic() - started:.1f} s")

    # -- checks shared by the tables

    def assert_texts(self, target: Target, expected: list[str]) -> None:
        seen = target.wait_texts(expected, FILL_TIMEOUT)
        self.assertEqual(seen, expected, f"texts of the target's controls; WM_PASTE reached boxes {target.pastes()}")

    def assert_pastes(self, target: Target, expected: list[int]) -> None:
        seen = poll(lambda: target.pastes() if len(target.pastes()) >= len(expected) else None, FILL_TIMEOUT)
        self.assertEqual(seen or target.pastes(), expected, "the boxes that received WM_PASTE, in order")

    def assert_clipboard(self, expected: dict[str, bytes]) -> None:
        """The user's clipboard is back, byte for byte, in every format given."""
        def restored() -> bool:
            return all(self.session.clipboard(name) == data for name, data in expected.items())

        poll(restored, 5, interval=0.2)
        for name, data in expected.items():
            self.assertEqual(self.session.clipboard(name), data,
                             f"clipboard {name} after the fill; now {self.session.clipboard_state()}")

    def assert_unharmed(self, vardix: Vardix) -> None:
        self.assertTrue(vardix.alive(), "vardix.exe or its main window is gone after the fill")
        self.assertEqual(self.session.message_boxes(vardix.pid), [], "vardix.exe showed a message box")


class FillFromHotkey(FillTestCase):
    """Focus in the first of three Edit boxes: either hotkey fills them in order."""

    ROWS = [
        # name, key combination, the user's clipboard
        ("ctrl+alt+v, CF_TEXT", "ctrl+alt+v", {CF_TEXT: SERIAL}),
        ("ctrl+alt+F7, CF_TEXT", "ctrl+alt+F7", {CF_TEXT: SERIAL}),
        ("ctrl+alt+v, Chinese label in code page 936", "ctrl+alt+v", {CF_TEXT: GBK_SERIAL}),
        ("ctrl+alt+v, Unicode text and HTML", "ctrl+alt+v",
         {CF_UNICODETEXT: SERIAL.decode().encode("utf-16-le"), HTML_FORMAT: html_fragment(SERIAL.decode())}),
    ]

    def test_fills_three_boxes_and_restores_the_clipboard(self) -> None:
        for name, combo, clipboard in self.ROWS:
            with self.subTest(name), self.scenario(name, clipboard, preset="three") as (vardix, target):
                self.session.press(combo)
                self.assert_texts(target, PIECES + ["OK"])
                self.assert_pastes(target, [0, 1, 2])
                self.assert_clipboard(clipboard)
                self.assert_unharmed(vardix)


class TextWithoutDash(FillTestCase):
    """Copied text that is not a serial code leaves boxes and clipboard alone."""

    QUIET_PERIOD = 2.0  # seconds in which nothing may happen after the key press

    ROWS = [
        ("plain words", b"HELLO WORLD"),
        ("label and code without dashes", b"SN: AB12CD34EF56"),
        ("Chinese text in code page 936", "\u5e8f\u5217\u53f7\uff1a\u65e0".encode("gbk")),
        ("only blanks", b"  \t  "),
        ("empty text", b""),
    ]
    OLD = ["keep1", "keep2", "keep3", "OK"]

    def test_nothing_changes(self) -> None:
        fills = {i: text for i, text in enumerate(self.OLD[:3])}
        for name, text in self.ROWS:
            with self.subTest(name), self.scenario(name, {CF_TEXT: text}, preset="three", fills=fills) as (vardix, target):
                self.session.press("ctrl+alt+v")
                # Waiting for something not to happen: the one bounded wait.
                changed = poll(lambda: target.pastes() or target.events("change"), self.QUIET_PERIOD)
                self.assertFalse(changed, "the target was written to")
                self.assertEqual(target.texts(), self.OLD)
                self.assertEqual(self.session.clipboard(CF_TEXT), text,
                                 f"clipboard CF_TEXT; now {self.session.clipboard_state()}")
                self.assertTrue(vardix.alive(), "vardix.exe ended")

                # The same key press with a real code does fill: the quiet
                # above was vardix's decision, not a lost key press.
                self.session.set_clipboard({CF_TEXT: SERIAL})
                target.focus()
                self.session.press("ctrl+alt+v")
                self.assert_texts(target, PIECES + ["OK"])
                self.assert_clipboard({CF_TEXT: SERIAL})


class NonEditFirstBox(FillTestCase):
    """Focus in a box whose class is not exactly "Edit": the pieces go to that
    box and then backwards in tab order, never forwards."""

    ROWS = [
        # name, preset (focus in box 2, Edit boxes on both sides)
        ("superclassed Edit named MyEdit", "myedit-back"),
        ("RichEdit20W", "rich-back"),
    ]

    def test_fills_backwards(self) -> None:
        fills = {0: "old0", 1: "old1", 2: "old2", 3: "STAY"}
        for name, preset in self.ROWS:
            with self.subTest(name), self.scenario(name, {CF_TEXT: SERIAL}, preset=preset, fills=fills) as (vardix, target):
                self.assertNotEqual(target.boxes[2]["class"], "Edit")
                self.session.press("ctrl+alt+v")
                self.assert_texts(target, ["EF56", "CD34", "AB12", "STAY", "OK"])
                self.assert_pastes(target, [2, 1, 0])
                self.assert_clipboard({CF_TEXT: SERIAL})
                self.assert_unharmed(vardix)


class ReplacesOldText(FillTestCase):
    """Text already in a box is replaced, not extended. The helper leaves the
    caret at the end of the old text, so a paste that only inserts shows."""

    ROWS = [
        # name, preset, old texts, expected texts
        ("three boxes, all with text", "three",
         {0: "OLD-TEXT-0", 1: "x", 2: "ZZZZZZZZZZZZ"}, PIECES + ["OK"]),
        ("Chinese old text", "three",
         {0: "\u65e7\u6587\u672c", 1: "\u65e7", 2: "\u65e7\u6587"}, PIECES + ["OK"]),
        ("four boxes, three pieces: the fourth keeps its text", "four",
         {0: "a", 1: "b", 2: "c", 3: "KEEP"}, PIECES + ["KEEP", "OK"]),
    ]

    def test_replaces(self) -> None:
        for name, preset, fills, expected in self.ROWS:
            with self.subTest(name), self.scenario(name, {CF_TEXT: SERIAL}, preset=preset, fills=fills) as (vardix, target):
                self.session.press("ctrl+alt+v")
                self.assert_texts(target, expected)
                self.assert_pastes(target, [0, 1, 2])
                self.assert_clipboard({CF_TEXT: SERIAL})
                self.assert_unharmed(vardix)


class FewerBoxesThanPieces(FillTestCase):
    """Two Edit boxes, then OK and Cancel: the extra pieces go on through the
    tab order to the buttons, which ignore them; nothing is clicked or closed."""

    ROWS = [
        # name, the user's CF_TEXT, expected texts, boxes that get WM_PASTE
        ("three pieces", SERIAL, ["AB12", "CD34", "OK", "Cancel"], [0, 1, 2]),
        ("four pieces", b"A1-B2-C3-D4", ["A1", "B2", "OK", "Cancel"], [0, 1, 2, 3]),
    ]

    def test_extra_pieces_go_on_through_tab_order(self) -> None:
        for name, text, expected, pastes in self.ROWS:
            with self.subTest(name), self.scenario(name, {CF_TEXT: text}, preset="two-then-ok") as (vardix, target):
                self.session.press("ctrl+alt+v")
                self.assert_pastes(target, pastes)
                self.assert_texts(target, expected)
                self.assert_clipboard({CF_TEXT: text})
                self.assert_unharmed(vardix)
                self.assertTrue(target.alive(), "the target dialog closed")
                self.assertEqual(target.events("command"), [], "a button of the target was clicked")


if __name__ == "__main__":
    unittest.main()
