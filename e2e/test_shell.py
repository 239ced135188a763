"""The program's shell under Wine: first start, the single-instance rule and
the reveal, the hidden start, the hotkeys taken by another program, the
system menu and the About box, and how the program ends.

The real vardix.exe, started as a user (or the Run entry) starts it; real key
presses and mouse clicks on the X display, the real registry, real hotkey
registrations of another process and real target dialogs. Run through CTest
(ctest --preset win64), which creates the Wine session first.
"""

from __future__ import annotations

import contextlib
import re
import subprocess
import time
import unittest
from typing import Any, Iterator

from bench import (CF_TEXT, ERROR_HOTKEY_ALREADY_REGISTERED, BenchError, Session, Spawned, Target, log,
                   poll)

SERIAL = b"SN: AB12-CD34-EF56"
FILLED = ["AB12", "CD34", "EF56", "OK"]

MAIN_CAPTION = "Vardix--\u7528\u4e00\u79cd\u65b0\u7684\u65b9\u5f0f\u586b\u5199\u4f60\u7684\u5e8f\u5217\u53f7!"
ABOUT_CAPTION = "\u5173\u4e8eQuorvantel"
ABOUT_TEXT = "Quorvantel \u7248\u672c 1.02"
ABOUT_MENU_TEXT = "\u5173\u4e8e vardix(&A)..."
IDM_ABOUTBOX = 0x0010

# Where a second start puts the running dialog: (400, 300), 372 x 210 pixels.
REVEALED_RECT = [400, 300, 772, 510]

IDC_APPLY, IDC_RUN_STARTUP, IDC_RUN_BACKGROUND, IDC_HOTKEY_LETTER, IDC_HIDE, IDC_EXIT = 1000, 1004, 1005, 1006, 1008, 1009
IDOK = 1
WS_EX_TOOLWINDOW = 0x00000080
WS_EX_APPWINDOW = 0x00040000
BS_TYPEMASK, BS_DEFPUSHBUTTON = 0x0F, 0x01

SETTINGS_KEY = r"HKLM\SOFTWARE\Quorvantel"
RUN_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run"

START_TIMEOUT = 20  # seconds until a started vardix.exe shows its dialog
FILL_TIMEOUT = 10
END_TIMEOUT = 10  # seconds for a process to end once it has been told to


def hex_text(text: str) -> str:
    """A caption for vtool's command line: non-ASCII does not survive Wine's."""
    return "hex:" + text.encode("utf-8").hex()


class Program:
    """One vardix.exe process with the command line a test gives it."""

    def __init__(self, session: Session, *args: str, name: str = "vardix"):
        self.session = session
        self.process = Spawned(session, [session.program, *args], name)

    def exit_code(self, timeout: float) -> int | None:
        try:
            return self.process.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self) -> None:
        if self.process.alive():
            self.session.vtool("close", "--caption", "@vardix-main", "--wait", "5", expect=(0, 1))
            self.exit_code(5)
        self.process.stop()


class ShellTestCase(unittest.TestCase):
    session: Session

    @classmethod
    def setUpClass(cls) -> None:
        cls.session = Session()

    # -- set-up and clean-up of one row

    @contextlib.contextmanager
    def scenario(self, name: str) -> Iterator[contextlib.ExitStack]:
        """No settings in the registry, no vardix running; whatever the row
        starts is ended afterwards, and a failure leaves a screenshot."""
        started = time.monotonic()
        self.session.reset_settings()
        leftover = self.session.find("--caption", "@vardix-main")
        if leftover:
            raise BenchError(f"a vardix window from an earlier test is still there: {leftover}")
        with contextlib.ExitStack() as stack:
            stack.callback(self.wait_all_gone)
            try:
                yield stack
            except BaseException:
                shot = self.session.screenshot(f"{self.id()}_{name}")
                log(f"{name}: failed; screen in {shot}")
                raise
        log(f"{name}: {time.monotonic() - started:.1f} s")

    def wait_all_gone(self) -> None:
        self.session.vtool("find", "--caption", "@vardix-main", "--gone", "--wait", "5", expect=(0, 1))

    def start(self, stack: contextlib.ExitStack, *args: str, name: str = "vardix") -> Program:
        program = Program(self.session, *args, name=name)
        stack.callback(program.stop)
        return program

    def start_target(self, stack: contextlib.ExitStack) -> Target:
        target = Target(self.session, preset="three")
        stack.callback(target.close)
        return target.start()

    # -- looking at the program

    def windows(self) -> list[dict[str, Any]]:
        return self.session.vtool("find", "--caption", "@vardix-main", "--all", expect=(0, 1))["windows"]

    def window(self, hwnd: str) -> dict[str, Any] | None:
        return self.session.find("--hwnd", hwnd)

    def wait_ready(self, program: Program, timeout: float = START_TIMEOUT) -> dict[str, Any]:
        """The main dialog once its initialisation is over: its thread answers
        messages only after that, shown or hidden."""
        seen: list[Any] = [None]

        def ready() -> bool:
            seen[0] = self.session.find("--caption", "@vardix-main", "--ready")
            return bool(seen[0] and seen[0]["enabled"])

        if not poll(ready, timeout, interval=0.2):
            self.fail(f"no usable main dialog within {timeout} s (process running: {program.process.alive()}); "
                      f"last seen {seen[0]}; message boxes {self.session.message_boxes()}")
        return seen[0]

    def read(self, hwnd: str) -> dict[str, Any]:
        result = self.session.vtool("read", "--hwnd", hwnd, expect=(0, 1))
        self.assertTrue(result.get("found"), f"window {hwnd} is gone")
        return result

    def controls_by_id(self, hwnd: str) -> dict[int, dict[str, Any]]:
        return {control["id"]: control for control in self.read(hwnd)["controls"]}

    def wait_foreground(self, hwnd: str, timeout: float = 5) -> dict[str, Any] | None:
        seen: list[Any] = [None]

        def foreground() -> bool:
            seen[0] = self.window(hwnd)
            return bool(seen[0] and seen[0]["foreground"])

        poll(foreground, timeout, interval=0.2)
        return seen[0]

    def click(self, hwnd: str, part: str) -> None:
        """A real left click on the window's close box or caption."""
        spot = self.session.vtool("frame-point", "--hwnd", hwnd, "--part", part, expect=(0, 1))
        if spot["_exit"] != 0:
            raise BenchError(f"no uncovered {part} on window {hwnd}: {spot}")
        self.session.xdotool("mousemove", str(spot["x"]), str(spot["y"]), "click", "1")

    def focus_window(self, window: dict[str, Any]) -> None:
        """Brings a window to the front as a user does, with a click on its
        caption, and waits until Windows agrees. (Moving only the X input
        focus does not do: without a window manager Wine activates no window
        for it, and the one that loses it stops being the foreground window.)"""
        self.click(window["hwnd"], "caption")
        seen = self.wait_foreground(window["hwnd"])
        if not (seen and seen["foreground"]):
            raise BenchError(f"a click on its caption did not bring window {window['hwnd']} to the front: {seen}")

    def hotkey_free(self, vk: str) -> bool:
        """Whether another process can register Ctrl+Alt+vk right now."""
        probe = self.session.vtool("hotkey", "--vk", vk, "--seconds", "0", expect=(0, 2))
        if probe["_exit"] == 0:
            return True
        if probe.get("error") != ERROR_HOTKEY_ALREADY_REGISTERED:
            raise BenchError(f"the hotkey probe failed for another reason: {probe}")
        return False

    def registry_has(self, key: str, value: str | None = None) -> bool:
        args = ["reg", "query", key] + (["/v", value] if value else [])
        return self.session.wine(*args).returncode == 0

    def x_size(self, xid: str) -> tuple[int, int]:
        out = self.session.xdotool("getwindowgeometry", str(int(xid, 16)))
        match = re.search(r"Geometry:\s*(\d+)x(\d+)", out)
        if not match:
            raise BenchError(f"xdotool getwindowgeometry said {out!r}")
        return int(match[1]), int(match[2])

    # -- checks shared by the tables

    def assert_nothing_stored(self) -> None:
        self.assertFalse(self.registry_has(SETTINGS_KEY), f"{SETTINGS_KEY} was created")
        self.assertFalse(self.registry_has(RUN_KEY, "Quorvantel"), "the autostart entry was written")

    def assert_holds_both_hotkeys(self) -> None:
        for vk in ("V", "F7"):
            self.assertFalse(self.hotkey_free(vk), f"vardix.exe does not hold Ctrl+Alt+{vk}")

    def assert_fills(self, stack: contextlib.ExitStack, combo: str) -> None:
        """A press of combo, with a target's first box focused, fills the target."""
        target = self.start_target(stack)
        self.session.set_clipboard({CF_TEXT: SERIAL})
        target.focus()
        self.session.press(combo)
        self.assertEqual(target.wait_texts(FILLED, FILL_TIMEOUT), FILLED,
                         f"{combo} did not fill the target; WM_PASTE reached boxes {target.pastes()}")

    def assert_revealed(self, hwnd: str) -> dict[str, Any]:
        """A second start without /runmin has put the one dialog in front."""
        windows = self.windows()
        self.assertEqual([w["hwnd"] for w in windows], [hwnd], "windows with the main caption")
        seen = self.wait_foreground(hwnd)
        assert seen is not None
        self.assertEqual(seen["rect"], REVEALED_RECT, "place and size of the revealed dialog")
        self.assertTrue(seen["visible"], "the revealed dialog is not visible")
        self.assertTrue(seen["foreground"], "the revealed dialog is not the foreground window")
        self.assertEqual(self.x_size(seen["xid"]), (372, 210), "size of its X window")
        return seen

    def start_second(self, stack: contextlib.ExitStack) -> None:
        """Starts vardix.exe again, without /runmin: it must end by itself."""
        second = self.start(stack, name="vardix-second")
        code = second.exit_code(END_TIMEOUT)
        self.assertIsNotNone(code, f"the second vardix.exe still runs after {END_TIMEOUT} s")
        self.assertEqual(code, 0, "exit code of the second vardix.exe")


class FirstStart(ShellTestCase):
    """The first start on a machine without settings: the dialog as a new user
    sees it, the default hotkeys, and not a byte written to the registry."""

    ROWS = [
        # name, command line
        ("no arguments", []),
        # The switch is case-sensitive: anything else starts the visible dialog.
        ("/RUNMIN in capitals", ["/RUNMIN"]),
    ]

    def test_fresh_dialog(self) -> None:
        for name, args in self.ROWS:
            with self.subTest(name), self.scenario(name) as stack:
                program = self.start(stack, *args)
                window = self.wait_ready(program)
                self.assertEqual(window["caption"], MAIN_CAPTION)
                self.assertFalse(window["exstyle"] & WS_EX_TOOLWINDOW, "tool-window style on a normal start")
                width, height = window["rect"][2] - window["rect"][0], window["rect"][3] - window["rect"][1]
                self.assertGreater(width * height, 100 * 100, f"dialog size {width} x {height}")

                # The focus lands on the first tab stop once the dialog is up.
                exit_hwnd: list[str] = []

                def exit_focused() -> bool:
                    state = self.read(window["hwnd"])
                    exit_hwnd[:] = [c["hwnd"] for c in state["controls"] if c["id"] == IDC_EXIT]
                    return bool(exit_hwnd) and state["focus"] == exit_hwnd[0]

                self.assertTrue(poll(exit_focused, 5, interval=0.2), "the Exit button does not have the focus")
                state = self.read(window["hwnd"])
                controls = {c["id"]: c for c in state["controls"]}
                tab_stops = [c["id"] for c in state["controls"] if c["tabstop"]]
                self.assertEqual(tab_stops[0], IDC_EXIT, "first tab stop")
                self.assertEqual(controls[IDC_EXIT]["style"] & BS_TYPEMASK, BS_DEFPUSHBUTTON, "Exit is not the default button")
                self.assertFalse(controls[IDC_APPLY]["enabled"], "Apply is enabled")
                self.assertEqual(controls[IDC_RUN_STARTUP]["check"], 0, "start with Windows")
                self.assertEqual(controls[IDC_RUN_BACKGROUND]["check"], 0, "run in background")
                self.assertEqual((controls[IDC_HOTKEY_LETTER]["cursel"], controls[IDC_HOTKEY_LETTER]["text"]), (21, "V"),
                                 "hotkey letter")
                self.assertEqual(self.session.message_boxes(), [], "a message box at start")
                self.assert_holds_both_hotkeys()
                self.assert_nothing_stored()


class SecondStart(ShellTestCase):
    """Starting the program again brings the running dialog to the front at
    (400, 300), 372 x 210, and the new process ends without a window."""

    ROWS = [
        # name, how the first instance's dialog is left before the second start
        ("first dialog shown", None),
        ("first dialog hidden with its Hide button", IDC_HIDE),
    ]

    def test_reveals_the_running_instance(self) -> None:
        for name, press in self.ROWS:
            with self.subTest(name), self.scenario(name) as stack:
                first = self.start(stack)
                window = self.wait_ready(first)
                if press:
                    self.session.vtool("press", "--hwnd", window["hwnd"], "--id", str(press))
                    hidden = poll(lambda: not (self.window(window["hwnd"]) or {"visible": True})["visible"], 5)
                    self.assertTrue(hidden, "the Hide button did not hide the dialog")
                # Someone else has the focus when the user starts vardix again.
                target = self.start_target(stack)
                target.focus()
                self.assertFalse(self.window(window["hwnd"])["foreground"])

                self.start_second(stack)
                self.assert_revealed(window["hwnd"])
                self.assertTrue(first.process.alive(), "the first vardix.exe ended")
                self.assert_holds_both_hotkeys()


class HiddenStart(ShellTestCase):
    """/runmin (the autostart entry's switch) or "Run Background" in the
    registry: the dialog is created without a size and without a taskbar
    button, the hotkeys work all the same, and a plain start reveals it."""

    ROWS = [
        # name, command line, "Run Background" stored, hotkey used while hidden
        ("/runmin", ["/runmin"], False, "ctrl+alt+v"),
        ("/runmin after another argument", ["-x", "/runmin"], False, "ctrl+alt+F7"),
        ("Run Background = 1 in the registry", [], True, "ctrl+alt+v"),
    ]

    def test_hidden_then_revealed(self) -> None:
        for name, args, stored, combo in self.ROWS:
            with self.subTest(name), self.scenario(name) as stack:
                if stored:
                    proc = self.session.wine("reg", "add", SETTINGS_KEY, "/v", "Run Background", "/t", "REG_DWORD",
                                             "/d", "1", "/f")
                    self.assertEqual(proc.returncode, 0, proc.stderr)
                # The user is working in another program when the hidden start comes.
                front = self.start_target(stack)
                self.assertTrue((self.wait_foreground(front.hwnd) or {}).get("foreground"), "the target is not in front")
                program = self.start(stack, *args)
                window = self.wait_ready(program)
                rect = window["rect"]
                self.assertEqual((rect[2] - rect[0], rect[3] - rect[1]), (0, 0), "size of the hidden dialog")
                self.assertFalse(window["visible"], "the hidden dialog is shown")
                # An unseen foreground window would swallow the user's keys.
                self.assertTrue(self.window(front.hwnd)["foreground"], "the hidden start took the foreground")
                self.assertTrue(window["exstyle"] & WS_EX_TOOLWINDOW, "no WS_EX_TOOLWINDOW")
                self.assertFalse(window["exstyle"] & WS_EX_APPWINDOW, "WS_EX_APPWINDOW")
                # Wine cannot map an X window of no size; 1 x 1 is what it makes of it.
                width, height = self.x_size(window["xid"])
                self.assertLessEqual(width * height, 1, f"the hidden dialog covers {width} x {height} pixels on screen")
                self.assertEqual(self.controls_by_id(window["hwnd"])[IDC_RUN_BACKGROUND]["check"], 1 if stored else 0)

                self.assert_fills(stack, combo)

                self.start_second(stack)
                revealed = self.assert_revealed(window["hwnd"])
                self.assertTrue(revealed["exstyle"] & WS_EX_TOOLWINDOW, "the tool-window style went away")
                self.assertEqual(self.session.message_boxes(), [], "a message box")


class HotkeyTaken(ShellTestCase):
    """Another program holds one of the two combinations at start: one message
    box names the failure, and the other combination works."""

    ROWS = [
        # name, key held by the other program, the message, the combination that still fills
        ("Ctrl+Alt+V taken", "V", "FAINT", "ctrl+alt+F7"),
        ("Ctrl+Alt+F7 taken", "F7", "\u70ed\u952e\u6ce8\u518c\u5931\u8d25", "ctrl+alt+v"),
    ]

    def test_one_message_and_the_other_key_fills(self) -> None:
        for name, held, message, combo in self.ROWS:
            with self.subTest(name), self.scenario(name) as stack:
                holder = self.session.spawn_vtool("holder", "hotkey", "--vk", held, "--id", "9", "--seconds", "120")
                stack.callback(holder.stop)
                registered = holder.wait_event(lambda e: "registered" in e, 15)
                self.assertTrue(registered and registered["registered"], f"the holder could not register: {registered}")

                self.start(stack)
                result = self.session.vtool("msgbox", "--caption", "@vardix", "--wait", str(START_TIMEOUT),
                                            expect=(0, 1))
                boxes = result.get("boxes", [])
                self.assertEqual(len(boxes), 1, f"message boxes: {boxes}")
                box = boxes[0]
                main = self.session.find("--caption", "@vardix-main")
                self.assertIsNotNone(main, "no main dialog behind the message box")
                assert main is not None
                self.assertEqual(box["caption"], "vardix")
                self.assertEqual(box["texts"], [message])
                self.assertEqual([b["id"] for b in box["buttons"]], [IDOK], "the box's buttons")
                self.assertEqual((box["owner"], box["pid"]), (main["hwnd"], main["pid"]), "owner of the box")

                self.session.vtool("press", "--hwnd", box["hwnd"], "--id", str(IDOK))
                self.session.vtool("find", "--hwnd", box["hwnd"], "--gone", "--wait", "5", expect=(0, 1))

                def settled() -> Any:
                    boxes = self.session.message_boxes()
                    if boxes:
                        return ("another message box", boxes)
                    shown = self.session.find("--hwnd", main["hwnd"])
                    return ("dialog shown", None) if shown and shown["visible"] and shown["enabled"] else None

                self.assertEqual(poll(settled, START_TIMEOUT, interval=0.2), ("dialog shown", None),
                                 "after the message box was closed")
                self.assert_fills(stack, combo)
                self.assertIsNone(holder.wait_event(lambda e: e.get("event") == "hotkey", 0),
                                  "the other program received a key press")


class SystemMenu(ShellTestCase):
    """The About entry at the end of the system menu, chosen with the keys,
    opens the About box; the hotkeys fill while it is open."""

    def test_about_box(self) -> None:
        with self.scenario("about") as stack:
            program = self.start(stack)
            window = self.wait_ready(program)

            menu = self.session.vtool("sysmenu", "--hwnd", window["hwnd"])
            items = menu["items"]
            self.assertGreaterEqual(len(items), 2, f"system menu {items}")
            self.assertEqual(items[-2]["type"], "separator", f"the item before the last: {items[-2]}")
            self.assertEqual((items[-1]["type"], items[-1]["id"], items[-1]["text"]),
                             ("string", IDM_ABOUTBOX, ABOUT_MENU_TEXT), "the last item")
            self.assertEqual([i["index"] for i in items if i["id"] == IDM_ABOUTBOX], [len(items) - 1],
                             "About entries")

            # As a user: Alt+Space opens the menu, End goes to its last item.
            self.focus_window(window)
            self.session.press("alt+space")
            popup = self.session.vtool("find", "--class", "#32768", "--pid", str(window["pid"]), "--wait", "5",
                                       expect=(0, 1))
            self.assertTrue(popup.get("found") and popup["windows"][0]["visible"], "the system menu did not open")
            self.session.press("End")
            self.session.press("Return")
            about = self.session.find("--caption", hex_text(ABOUT_CAPTION), "--pid", str(window["pid"]), wait=10)
            self.assertIsNotNone(about, "the About box did not open")
            assert about is not None
            self.assertEqual(about["owner"], window["hwnd"], "owner of the About box")
            texts = [c["text"] for c in self.read(about["hwnd"])["controls"] if c["class"] == "Static"]
            self.assertIn(ABOUT_TEXT, texts)
            buttons = [(c["id"], c["text"]) for c in self.read(about["hwnd"])["controls"] if c["class"] == "Button"]
            self.assertEqual(buttons, [(IDOK, "\u786e\u5b9a")])
            self.assertFalse(self.window(window["hwnd"])["enabled"], "the main dialog takes input behind the About box")

            self.assert_fills(stack, "ctrl+alt+v")
            self.assertIsNotNone(self.window(about["hwnd"]), "the About box closed during the fill")

            self.focus_window(about)
            self.session.press("Return")
            gone = self.session.vtool("find", "--hwnd", about["hwnd"], "--gone", "--wait", "5", expect=(0, 1))
            self.assertFalse(gone["found"], "Enter did not close the About box")
            self.assertTrue(poll(lambda: (self.window(window["hwnd"]) or {}).get("enabled"), 5),
                            "the main dialog stays disabled after the About box")


class Ending(ShellTestCase):
    """Escape, Alt+F4 and the close box end the program at once: no question,
    nothing saved even with a changed setting, both hotkeys free again."""

    ROWS = [
        # name, what the user does to the focused dialog
        ("Escape", "key", "Escape"),
        ("Alt+F4", "key", "alt+F4"),
        ("the close box", "click", None),
    ]

    def test_ends_at_once(self) -> None:
        for name, how, key in self.ROWS:
            with self.subTest(name), self.scenario(name) as stack:
                program = self.start(stack)
                window = self.wait_ready(program)
                self.assert_holds_both_hotkeys()
                # A changed, unsaved setting: ending must not store it, nor ask.
                self.session.vtool("press", "--hwnd", window["hwnd"], "--id", str(IDC_RUN_STARTUP), "--click")
                self.assertTrue(poll(lambda: self.controls_by_id(window["hwnd"])[IDC_APPLY]["enabled"], 5),
                                "ticking the check box did not enable Apply")
                self.focus_window(window)
                if how == "key":
                    self.session.press(key)
                else:
                    self.click(window["hwnd"], "close")

                code = program.exit_code(END_TIMEOUT)
                self.assertIsNotNone(code, f"vardix.exe still runs {END_TIMEOUT} s later; "
                                           f"message boxes {self.session.message_boxes()}")
                self.assertEqual(self.windows(), [], "a main dialog is left")
                self.assert_nothing_stored()
                for vk in ("V", "F7"):
                    self.assertTrue(self.hotkey_free(vk), f"Ctrl+Alt+{vk} is still taken")


if __name__ == "__main__":
    unittest.main()
