"""The fill is dependable: the user's clipboard comes back whole, clipboard
monitors are told to look away, no box gets a piece that is not its own, and
a target that hangs or closes does not take vardix down with it.

Everything runs for real: vardix.exe under Wine, key presses on the X
display, the Windows clipboard, and helper programs playing the target
dialog, a clipboard monitor and an aggressive clipboard manager. Run through
CTest (ctest --preset win64), which creates the Wine session first.
"""

from __future__ import annotations

import contextlib
import time
import unittest
from pathlib import Path
from typing import Any, Iterator

from bench import BenchError, Session, Spawned, Target, Vardix, log, poll, wait_for_settled_desktop

SERIAL = b"SN: AB12-CD34-EF56"
PIECES = ["AB12", "CD34", "EF56"]

# Neither Arabic nor emoji exist in code page 936, so the 8-bit text Windows
# makes of this is mostly question marks; the code after the colon is ASCII
# and still splits. The label has a dash of its own.
WORLD_TEXT = "\u0631\u0645\u0632-\u0627\u0644\u0645\u0646\u062a\u062c \U0001F511: AB12-CD34-EF56"

# The formats vardix adds to whatever it writes, the restored content included.
QUIET_FORMATS = {"ExcludeClipboardContentFromMonitorProcessing", "CanIncludeInClipboardHistory",
                 "CanUploadToCloudClipboard", "Clipboard Viewer Ignore"}
EXCLUDE_FORMAT = "ExcludeClipboardContentFromMonitorProcessing"

IDC_HIDE = 1008          # the main dialog's Hide button
TARGET_TIMEOUT = 3.0     # how long vardix waits for a target to answer
FILL_TIMEOUT = 10.0      # from the key press until a normal fill has ended
SETTLE_MS = 300          # a clipboard unchanged this long is between fills, not inside one


def utf16(text: str) -> bytes:
    return text.encode("utf-16-le")


def html_clip(fragment: str) -> bytes:
    """A clipboard "HTML Format" block as a browser writes it, offsets and all."""
    body = f"<html><body><!--StartFragment--><b>{fragment}</b><!--EndFragment--></body></html>"
    header = "Version:0.9\r\nStartHTML:{:010d}\r\nEndHTML:{:010d}\r\nStartFragment:{:010d}\r\nEndFragment:{:010d}\r\n"
    size = len(header.format(0, 0, 0, 0))
    data = body.encode("utf-8")
    start = size + data.index(b"-->") + 3
    end = size + data.index(b"<!--EndFragment")
    return header.format(size, size + len(data), start, end).encode("ascii") + data + b"\0"


def rtf_clip(text: str) -> bytes:
    """Rich text as a word processor copies it, non-ASCII as \\u escapes."""
    escaped = "".join(c if ord(c) < 128 else "".join(
        f"\\u{v if v < 32768 else v - 65536}?" for v in (
            [ord(c)] if ord(c) < 0x10000 else
            [0xD800 + ((ord(c) - 0x10000) >> 10), 0xDC00 + ((ord(c) - 0x10000) & 0x3FF)]))
        for c in text)
    return ("{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 "
            + escaped + "\\par}").encode("ascii") + b"\0"


class Clipboard:
    """Every format on the clipboard at one moment, as the helper saw it."""

    def __init__(self, dump: dict[str, Any]):
        self.seq = int(dump["seq"])
        self.formats = dump["formats"]
        # When the clipboard last changed, as far as the helper saw it change.
        self.changed_at = time.monotonic() - dump.get("changed_ms_ago", 0) / 1000

    def names(self) -> list[str]:
        return [f["name"] for f in self.formats]

    def content(self) -> list[tuple[str, Any, Any]]:
        """The user's formats, in order, without vardix's quiet markers.
        A picture's bits and every memory block are compared whole."""
        return [(f["name"], f.get("size"), f.get("digest")) for f in self.formats
                if f["name"] not in QUIET_FORMATS]

    def data(self, name: str) -> bytes | None:
        for f in self.formats:
            if f["name"] == name and "hex" in f:
                return bytes.fromhex(f["hex"])
        return None


class DependableCase(unittest.TestCase):
    session: Session
    monitor: Spawned

    @classmethod
    def setUpClass(cls) -> None:
        cls.session = Session()
        # A clipboard listener for the whole class. It is one of the tests'
        # witnesses, and it keeps a program of the prefix running between
        # rows: once the last one ends, Wine winds its desktop process down
        # and the next program to start waits for a new one for seconds.
        cls.monitor = cls.session.spawn_vtool(f"{cls.__name__}-monitor", "clip-listen", "--seconds", "900")
        if not cls.monitor.wait_event(lambda e: e.get("event") == "listening", 30):
            raise BenchError(f"the clipboard listener did not start: {cls.monitor.snapshot()}")
        if wait_for_settled_desktop(cls.session):
            cls.monitor.wait_event(lambda e: e.get("event") == "update" and e.get("formats") == [], 3)

    @classmethod
    def tearDownClass(cls) -> None:
        cls.monitor.stop()

    # -- the clipboard

    def put(self, formats: dict[str, bytes], picture: bool = False, files: dict[str, Path] | None = None) -> int:
        """Empties the clipboard and puts these formats on it in one go, as
        an application does; returns the clipboard's sequence number."""
        args = [f"{name}={data.hex()}" for name, data in formats.items()]
        args += [f"{name}=file:Z:{path}" for name, path in (files or {}).items()]
        if picture:
            args.append("--emf")
        return int(self.session.vtool("clip-put", *args)["seq"])

    def dump(self) -> Clipboard:
        return Clipboard(self.session.vtool("clip-dump", "--hex-limit", "4096"))

    def wait_restored(self, before: Clipboard, timeout: float) -> Clipboard:
        """Waits until the clipboard has changed since `before` and holds the
        same content again: the end of a fill. Returns what it saw last.

        The helper watches the sequence number and opens the clipboard only
        once it has kept still for a while: polling with OpenClipboard would
        make the target's own pastes fail now and then."""
        deadline = time.monotonic() + timeout
        seen, since = before, before.seq
        while (remaining := deadline - time.monotonic()) > 0:
            seen = Clipboard(self.session.vtool("clip-settle", "--since", str(since), "--quiet-ms", str(SETTLE_MS),
                                                "--wait", f"{remaining:.2f}", expect=(0, 1)))
            if seen.seq != before.seq and seen.content() == before.content():
                break
            since = seen.seq
        return seen

    def assert_restored(self, before: Clipboard, timeout: float = FILL_TIMEOUT) -> Clipboard:
        after = self.wait_restored(before, timeout)
        self.assertNotEqual(after.seq, before.seq, "the clipboard never changed: no fill took place")
        self.assertEqual(after.content(), before.content(),
                         "the user's clipboard, format by format (name, size, digest of the bytes)")
        return after

    # -- the scenario

    @contextlib.contextmanager
    def scenario(self, name: str, clipboard: dict[str, bytes], picture: bool = False,
                 files: dict[str, Path] | None = None, vardix: Vardix | None = None,
                 **target_args: Any) -> Iterator[tuple[Vardix, Target, Clipboard]]:
        """vardix.exe (fresh unless given), a target dialog with the focus in
        its planned box, and the user's clipboard as it was before the key
        press; all but a given vardix are ended afterwards."""
        started = time.monotonic()
        target: Target | None = None
        with contextlib.ExitStack() as stack:
            if vardix is None:
                vardix = Vardix(self.session)
                stack.callback(vardix.stop)
                vardix.start()
            target = Target(self.session, **target_args)
            stack.callback(target.close)
            target.start()
            self.put(clipboard, picture, files)
            before = self.dump()
            target.focus()
            try:
                yield vardix, target, before
            except BaseException:
                shot = self.session.screenshot(f"{self.id()}_{name}")
                log(f"{name}: failed; screen in {shot}; target events {target.process and target.process.snapshot()}; "
                    f"last clipboard updates {self.monitor.snapshot()[-8:]}")
                raise
        log(f"{name}: {time.monotonic() - started:.1f} s")

    def assert_unharmed(self, vardix: Vardix) -> None:
        self.assertTrue(vardix.alive(), "vardix.exe or its main window is gone after the fill")
        self.assertEqual(self.session.message_boxes(vardix.pid), [], "vardix.exe showed a message box")

    def assert_final_texts(self, target: Target, expected: list[str]) -> None:
        """The fill has ended (the clipboard is back), so the boxes hold
        whatever they will hold: a short wait, not a long one."""
        seen = target.wait_texts(expected, 1.0)
        self.assertEqual(seen, expected, f"texts of the target's controls; WM_PASTE reached boxes {target.pastes()}")


class KeepsEveryFormat(DependableCase):
    """What the user had copied comes back byte for byte, in every format an
    application left, not just the 8-bit text the fill reads."""

    ROWS = [
        # name, the user's clipboard, with a picture
        ("Arabic and emoji text, HTML, rich text and a picture",
         {"CF_UNICODETEXT": utf16(WORLD_TEXT), "HTML Format": html_clip(WORLD_TEXT),
          "Rich Text Format": rtf_clip(WORLD_TEXT)}, True),
        ("8-bit and Unicode text that differ, an Arabic locale, an application's binary format",
         {"CF_TEXT": SERIAL, "CF_UNICODETEXT": utf16(WORLD_TEXT), "CF_LOCALE": (0x0401).to_bytes(4, "little"),
          "Vtool Binary Data": bytes(range(256)) + b"\0\0\x01"}, False),
    ]

    def test_restored_byte_for_byte(self) -> None:
        for name, clipboard, picture in self.ROWS:
            with self.subTest(name), self.scenario(name, clipboard, picture, preset="three") as (vardix, target, before):
                # What an application reading the clipboard gets is what was
                # put there: the comparison below starts from the real thing.
                for fmt, data in clipboard.items():
                    terminator = b"\0\0" if fmt == "CF_UNICODETEXT" else b"\0" if fmt == "CF_TEXT" else b""
                    self.assertEqual(before.data(fmt), data + terminator, f"{fmt} as put on the clipboard")
                if picture:
                    self.assertIn("CF_ENHMETAFILE", before.names())
                self.session.press("ctrl+alt+v")
                self.assert_restored(before)
                self.assert_final_texts(target, PIECES + ["OK"])
                self.assert_unharmed(vardix)


class QuietToClipboardMonitors(DependableCase):
    """A clipboard listener running through a fill sees every piece and the
    restored clipboard marked for exclusion, and nothing unmarked."""

    def test_every_update_carries_the_exclusion(self) -> None:
        # The boxes linger in WM_PASTE, so that every piece is still on the
        # clipboard when the listener looks at it.
        lingering = {box: 150 for box in range(3)}
        with self.scenario("listener", {"CF_TEXT": SERIAL}, preset="three", paste_sleep=lingering) as (vardix, target, before):
            # The listener works: it saw the test's own copy, unmarked.
            own = self.monitor.wait_event(lambda e: e.get("event") == "update" and e["seq"] >= before.seq
                                          and e.get("text_hex") == SERIAL.hex(), 5)
            self.assertIsNotNone(own, f"the listener missed the user's copy: {self.monitor.snapshot()[-3:]}")
            self.assertFalse(own["excluded"])
            seen_before = len(self.monitor.snapshot())

            self.session.press("ctrl+alt+v")
            self.assert_restored(before)
            self.assert_final_texts(target, PIECES + ["OK"])
            # One update for each piece and one for the restored clipboard.
            expected = seen_before + len(PIECES) + 1
            poll(lambda: len(self.monitor.snapshot()) >= expected, 5)
            # And no straggler after the last one.
            poll(lambda: len(self.monitor.snapshot()) > expected, 0.5)
            during = [e for e in self.monitor.snapshot()[seen_before:] if e.get("event") == "update"]
            self.assertEqual(len(during), len(PIECES) + 1, f"clipboard updates during the fill: {during}")
            self.assertEqual([e for e in during if not e["excluded"]], [],
                             "updates a clipboard monitor would have recorded")
            self.assert_unharmed(vardix)


class SurvivesClipboardManager(DependableCase):
    """A clipboard manager that opens the clipboard on every change and holds
    it for 30 ms, ignoring the exclusion: every box still gets its own piece,
    press after press, and the clipboard comes back."""

    ROWS = [
        # name, the user's CF_TEXT (four pieces)
        ("first press", b"Key: K1A1-K1B2-K1C3-K1D4"),
        ("second press", b"Key: K2A1-K2B2-K2C3-K2D4"),
        ("third press", b"K3A1-K3B2-K3C3-K3D4"),
    ]

    def test_every_box_gets_its_piece(self) -> None:
        hog = self.session.spawn_vtool("clip-hog", "clip-hog", "--hold-ms", "30", "--seconds", "300")
        vardix = Vardix(self.session)
        try:
            self.assertTrue(hog.wait_event(lambda e: e.get("event") == "hogging", 20), "the clipboard manager did not start")
            vardix.start()
            for name, text in self.ROWS:
                pieces = text.decode().split(": ")[-1].split("-")
                with self.subTest(name), self.scenario(name, {"CF_TEXT": text}, vardix=vardix, preset="four") as (_, target, before):
                    # The manager has had its look at the user's copy.
                    self.assertTrue(hog.wait_event(lambda e: e.get("event") == "held" and e["seq"] >= before.seq, 5))
                    self.session.press("ctrl+alt+v")
                    self.assert_restored(before)
                    self.assert_final_texts(target, pieces + ["OK"])
                    self.assert_unharmed(vardix)
        finally:
            vardix.stop()
            hog.stop()


class RecoversFromHungTarget(DependableCase):
    """The second box hangs for 15 s inside WM_PASTE. Within the time-out
    and a second vardix runs its message loop again (a posted Hide takes
    effect), its piece still on the clipboard for the box to read when it
    wakes; then the user's clipboard comes back, and no later box is touched."""

    HANG_MS = 15000
    BOUND = TARGET_TIMEOUT + 1.0

    def test_gives_up_on_the_hung_box(self) -> None:
        old = {2: "KEEP2", 3: "KEEP3"}
        with self.scenario("hung second box", {"CF_TEXT": b"A1A1-B2B2-C3C3-D4D4"}, preset="four",
                           fills=old, paste_sleep={1: self.HANG_MS}) as (vardix, target, before):
            window = self.session.find("--hwnd", vardix.window["hwnd"])
            self.assertTrue(window and window["visible"], "the main window is not visible to begin with")
            pressed = time.monotonic()
            self.session.press("ctrl+alt+v")
            self.assertTrue(target.process.wait_event(lambda e: e.get("event") == "sleeping", 5),
                            f"box 1 never started its paste: {target.pastes()}")
            # Posted while vardix waits for the hung box: only a running
            # message loop hides the window, a thread stuck in SendMessage
            # answers sent messages but never gets to posted ones.
            probe = self.session.spawn_vtool("wait-hidden", "wait-hidden", "--hwnd", vardix.window["hwnd"],
                                             "--post-command", str(IDC_HIDE), "--wait", "20")
            try:
                hidden = probe.wait_event(lambda e: e.get("event") in ("hidden", "visible"), 25)
                answered = time.monotonic() - pressed
            finally:
                probe.stop()
            held = self.dump()
            log(f"hung target: hidden {answered:.2f} s after the key press, clipboard {held.data('CF_TEXT')!r}")
            self.assertEqual(hidden and hidden["event"], "hidden", f"the posted Hide never took effect: {hidden}")
            self.assertLessEqual(answered, self.BOUND, "vardix's message loop ran again only after")
            self.assertEqual(held.data("CF_TEXT"), b"B2B2\0", "the clipboard while the hung box may still paste")

            self.assertTrue(target.process.wait_event(lambda e: e.get("event") == "woke", self.HANG_MS / 1000 + 5))
            self.assert_restored(before, 2.0 + SETTLE_MS / 1000)
            texts = target.texts()
            log(f"hung target: texts after it woke up {texts}")
            self.assertEqual(target.pastes(), [0, 1], "boxes that received WM_PASTE")
            self.assertEqual(texts, ["A1A1", "B2B2", "KEEP2", "KEEP3", "OK"], "the boxes after the hung one woke")
            self.assert_unharmed(vardix)


class SurvivesClosingTarget(DependableCase):
    """The dialog destroys itself when a box receives WM_PASTE: the fill
    ends without a crash or a message, and the clipboard comes back."""

    ROWS = [
        # name, the box whose paste closes the dialog
        ("closes at the first box", 0),
        ("closes at the second box", 1),
        ("closes at the last box", 2),
    ]

    def test_ends_quietly(self) -> None:
        for name, box in self.ROWS:
            with self.subTest(name), self.scenario(name, {"CF_TEXT": SERIAL}, preset="three",
                                                   paste_destroy=box) as (vardix, target, before):
                self.session.press("ctrl+alt+v")
                self.assertTrue(target.process.wait_event(lambda e: e.get("event") == "closed", FILL_TIMEOUT),
                                "the target never closed")
                self.assert_restored(before)
                self.assertEqual(target.pastes(), list(range(box + 1)), "boxes that received WM_PASTE")
                self.assert_unharmed(vardix)


class StopsWhenClipboardIsHeld(DependableCase):
    """Another program holds the clipboard for 2 s after every change, far
    beyond vardix's wait: the fill stops, no box gets a piece that was meant
    for another, and the user's clipboard is what is left in the end."""

    def test_no_stale_piece_and_clipboard_back(self) -> None:
        hog = self.session.spawn_vtool("clip-hog-long", "clip-hog", "--hold-ms", "2000", "--seconds", "120")
        try:
            self.assertTrue(hog.wait_event(lambda e: e.get("event") == "hogging", 20), "the clipboard holder did not start")
            old = {0: "OLD0", 1: "OLD1", 2: "OLD2"}
            with self.scenario("clipboard held 2 s", {"CF_TEXT": SERIAL}, preset="three", fills=old) as (vardix, target, before):
                # Its hold on the user's own copy is over before the key press.
                self.assertTrue(hog.wait_event(lambda e: e.get("event") == "held" and e["seq"] >= before.seq, 5))
                self.session.press("ctrl+alt+v")
                self.assertTrue(poll(lambda: target.pastes(), 5), "the fill never started")
                # The holder's 2 s on the first piece and vardix's retries
                # are over by then; nothing else is going to restore anything.
                after = self.wait_restored(before, 6)
                texts = target.texts()
                self.assertIn(texts and texts[0], ("AB12", "OLD0"), "the first box")
                self.assertEqual(texts and texts[1:3], ["OLD1", "OLD2"], "the boxes after the first")
                self.assertEqual(target.pastes(), [0], "boxes that received WM_PASTE")
                self.assertEqual(after.content(), before.content(),
                                 f"the user's clipboard in the end (it holds {after.names()}, "
                                 f"CF_TEXT {after.data('CF_TEXT')!r})")
                self.assert_unharmed(vardix)
        finally:
            hog.stop()


class BigClipboardText(DependableCase):
    """3 MB of copied text with a four-piece code at its very end: the fill
    ends in bounded time, the text comes back whole, vardix still answers."""

    SIZE = 3 * 1024 * 1024
    BOUND = 10.0

    def test_three_megabytes(self) -> None:
        line = b"Lorem ipsum dolor sit amet, consectetur adipiscing elit 0123456789.\r\n"
        tail = b"Serial: BIG1-BIG2-BIG3-BIG4"
        text = (line * (self.SIZE // len(line) + 1))[: self.SIZE - len(tail)] + tail
        path = self.session.state / "big-clipboard.txt"
        path.write_bytes(text + b"\0")
        try:
            with self.scenario("3 MB text", {}, files={"CF_TEXT": path}, preset="four") as (vardix, target, before):
                self.assertEqual(next(f["size"] for f in before.formats if f["name"] == "CF_TEXT"), len(text) + 1)
                pressed = time.monotonic()
                self.session.press("ctrl+alt+v")
                took = self.assert_restored(before, self.BOUND).changed_at - pressed
                self.assert_final_texts(target, ["BIG1", "BIG2", "BIG3", "BIG4", "OK"])
                hidden = self.session.vtool("wait-hidden", "--hwnd", vardix.window["hwnd"],
                                            "--post-command", str(IDC_HIDE), "--wait", "2", expect=(0, 1))
                log(f"3 MB text: fill and restore {took:.2f} s; a posted Hide took {hidden.get('ms')} ms")
                self.assertLess(took, self.BOUND)
                self.assertEqual(hidden.get("event"), "hidden", "vardix does not answer after the fill")
                self.assert_unharmed(vardix)
        finally:
            path.unlink(missing_ok=True)


if __name__ == "__main__":
    unittest.main()
