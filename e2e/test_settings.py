"""The settings the program keeps, its autostart entry, the settings panel and
the ways the program ends: the real vardix.exe under Wine, driven with real key
presses and mouse clicks on the X display, its answers read from the real
registry byte for byte, its hotkeys proven by real registrations of another
process and real fills of a target dialog.

Registry refusals are real too: a key's DACL that grants only reading, and a
link key, in the place the program opens, that leads to a key which grants
nothing at all (Wine 8 opens any key for its owner whatever the DACL says, so
only a key owned by someone else refuses RegCreateKeyW; such a key can never
be given back, its link can). Everything changed is put back afterwards.

Run through CTest (ctest --preset win64), which creates the Wine session first.
"""

from __future__ import annotations

import contextlib
import re
import subprocess
import time
import unittest
from typing import Any, Callable, Iterator

from bench import (CF_TEXT, ERROR_HOTKEY_ALREADY_REGISTERED, BenchError, Session, Spawned, Target, log, poll)

SETTINGS_KEY = r"HKLM\SOFTWARE\Quorvantel"
RUN_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
RUN_VALUE = "Quorvantel"
# A key of the tests' own that grants nothing to anybody, once it exists.
LOCKED_KEY = r"HKLM\SOFTWARE\VtoolLocked"
LOCKED_SDDL = "O:SYG:SYD:"  # owned by SYSTEM, which no Wine process is; empty DACL
# Owned by the Administrators the session runs as, who may only read.
READ_ONLY_SDDL = "O:BAG:BAD:(A;;KR;;;BA)"

REG_SZ, REG_BINARY, REG_DWORD, REG_QWORD = 1, 3, 4, 11

IDC_APPLY, IDC_RUN_STARTUP, IDC_RUN_BACKGROUND, IDC_HOTKEY_LETTER, IDC_HIDE, IDC_EXIT = 1000, 1004, 1005, 1006, 1008, 1009
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7
YES_NO, YES_NO_CANCEL, OK = [IDYES, IDNO], [IDYES, IDNO, IDCANCEL], [IDOK]
WS_EX_TOOLWINDOW = 0x00000080

CONFIRM_EXIT = "退出程序, 你确定吗?"
CONFIRM_SAVE = "退出程序, 立即保存设置吗?"
SAVE_FAILED = "不能保存配置."
HOTKEY_FAILED = "热键注册失败!"
AUTOSTART_FAILED = "不能保存配置!"

# Where a second start puts a running dialog: (400, 300), 372 x 210 pixels.
REVEALED_RECT = [400, 300, 772, 510]

SERIAL = b"SN: AB12-CD34-EF56"
FILLED = ["AB12", "CD34", "EF56", "OK"]
EMPTY = ["", "", "", "OK"]

START_TIMEOUT = 20  # seconds until a started vardix.exe answers
UI_TIMEOUT = 5  # seconds for the panel to show the effect of a key press or click
END_TIMEOUT = 10  # seconds for the process to end once it has been told to
QUIET = 1.5  # seconds in which something must not happen


def dword(value: int) -> tuple[int, bytes]:
    return REG_DWORD, (value & 0xFFFFFFFF).to_bytes(4, "little")


def letter_keys(index: int) -> dict[str, int]:
    """The two hotkeys' virtual keys for a letter index: the letter's own key
    and the key 0x20 above it (F7 for V, VK_NUMPAD1 for A)."""
    return {"letter": 0x41 + index, "second": 0x61 + index}


DEFAULTS = {"Run Background": dword(0), "Run Start Up": dword(0), "hotkey": dword(21)}
V_KEYS = letter_keys(21)
A_KEYS = letter_keys(0)


class Registry:
    """The prefix's registry as exact types and bytes, through vtool."""

    def __init__(self, session: Session):
        self.session = session

    def values(self, key: str) -> dict[str, tuple[int, bytes]] | None:
        """All values of a key, None when the key does not exist."""
        result = self.session.vtool("reg-list", key, expect=(0, 1))
        if not result.get("key"):
            if result.get("status", {}).get("code") != 2:
                raise BenchError(f"{key} cannot be read: {result}")
            return None
        return {v["name"]: (v["type"], bytes.fromhex(v["hex"])) for v in result["values"]}

    def run_entry(self) -> tuple[int, bytes] | None:
        return (self.values(RUN_KEY) or {}).get(RUN_VALUE)

    def write(self, key: str, values: dict[str, tuple[int, bytes]]) -> None:
        for name, (kind, data) in values.items():
            self.session.vtool("reg-set", key, name, str(kind), data.hex())

    def security(self, key: str, sddl: str | None = None) -> dict[str, Any]:
        args = ["reg-security", key] + (["--set", sddl] if sddl else [])
        return self.session.vtool(*args, expect=(0, 1, 2))

    @contextlib.contextmanager
    def read_only(self, key: str) -> Iterator[None]:
        """The key's DACL grants only reading while the block runs."""
        result = self.security(key, READ_ONLY_SDDL)
        if not result.get("set", {}).get("code") == 0:
            raise BenchError(f"could not make {key} read-only: {result}")
        try:
            yield
        finally:
            back = self.security(key, result["before"])
            if back.get("after") != result["before"]:
                raise BenchError(f"could not give {key} its security back: {back}")

    def ensure_locked_key(self) -> None:
        """LOCKED_KEY exists and grants nothing. Once locked it stays so for
        the session: Wine honours no privilege that would let anyone back in."""
        result = self.security(LOCKED_KEY)
        status = result.get("status", {}).get("code")
        if result.get("key") is False and status == 5:
            return
        if result.get("key") is False:
            self.session.vtool("reg-set", LOCKED_KEY, "x", str(REG_DWORD), "00000000")
        locked = self.security(LOCKED_KEY, LOCKED_SDDL)
        if locked.get("after") != LOCKED_SDDL:
            raise BenchError(f"could not lock {LOCKED_KEY}: {locked}")

    @contextlib.contextmanager
    def unopenable(self, key: str) -> Iterator[None]:
        """In the block, key is a link to LOCKED_KEY: RegCreateKeyW on it fails
        with access denied. A key that was there is put back as it was."""
        self.ensure_locked_key()
        before = self.values(key)
        security = self.security(key)["before"] if before is not None else None
        if before is not None:
            self.session.vtool("reg-delete", key)
        try:
            self.session.vtool("reg-link", key, LOCKED_KEY)
            probe = self.session.vtool("reg-probe", key)
            if probe["create"]["code"] != 5:
                raise BenchError(f"the link at {key} does not refuse RegCreateKeyW: {probe}")
            yield
        finally:
            self.session.vtool("reg-unlink", key, expect=(0, 2))
            if before is not None:
                # Created through a scratch value: `reg add` would add a default value.
                self.session.vtool("reg-set", key, "vtool scratch", str(REG_DWORD), "00000000")
                self.session.vtool("reg-delete", key, "vtool scratch")
                self.security(key, security)
                self.write(key, before)
                if self.values(key) != before or self.security(key)["before"] != security:
                    raise BenchError(f"{key} did not come back as it was")


class Program:
    """One vardix.exe process, driven as a user drives it."""

    def __init__(self, session: Session, *args: str, name: str = "vardix"):
        self.session = session
        self.process = Spawned(session, [session.program, *args], name)
        self.window: dict[str, Any] = {}

    @property
    def hwnd(self) -> str:
        return self.window["hwnd"]

    def wait_ready(self) -> "Program":
        """Waits for the main dialog and for its message loop: a control
        answers another process only then, after the settings were read and
        the hotkeys registered."""
        window = self.session.find("--caption", "@vardix-main", wait=START_TIMEOUT)
        if not window:
            raise BenchError(f"vardix.exe showed no main dialog within {START_TIMEOUT} s "
                             f"(still running: {self.process.alive()})")
        self.window = window
        if not poll(self.panel, START_TIMEOUT, interval=0.2):
            raise BenchError(f"the main dialog does not answer; message boxes: {self.session.message_boxes()}")
        return self

    # -- what the user sees

    def panel(self) -> dict[str, Any] | None:
        """The dialog and its controls by id; None while it does not answer."""
        result = self.session.vtool("read", "--hwnd", self.hwnd, expect=(0, 1))
        if not result.get("found") or any(c["hung"] for c in result["controls"]):
            return None
        return {"window": result["window"], "controls": {c["id"]: c for c in result["controls"]}}

    def shown(self) -> dict[str, Any]:
        """The settings as the panel shows them."""
        panel = self.panel()
        if not panel:
            raise BenchError("the main dialog is gone or does not answer")
        controls = panel["controls"]
        return {
            "start up": controls[IDC_RUN_STARTUP]["check"],
            "background": controls[IDC_RUN_BACKGROUND]["check"],
            "letter": controls[IDC_HOTKEY_LETTER]["text"],
            "selection": controls[IDC_HOTKEY_LETTER]["cursel"],
            "apply enabled": controls[IDC_APPLY]["enabled"],
        }

    def wait_shown(self, **expected: Any) -> dict[str, Any]:
        """Polls until the panel shows what is expected (keys with blanks
        spelled with underscores); returns what it showed last."""
        want = {key.replace("_", " "): value for key, value in expected.items()}
        seen: dict[str, Any] = {}

        def probe() -> bool:
            nonlocal seen
            seen = self.shown()
            return all(seen[key] == value for key, value in want.items())

        poll(probe, UI_TIMEOUT, interval=0.2)
        return seen

    def window_now(self) -> dict[str, Any] | None:
        return self.session.find("--hwnd", self.hwnd)

    # -- what the user does

    def focus(self) -> None:
        """The X input focus on the dialog, as a click on its caption gives."""
        for _ in range(3):
            self.session.xdotool("windowfocus", "--sync", self.window["xid"])
            if poll(lambda: (self.window_now() or {}).get("foreground"), UI_TIMEOUT, interval=0.2):
                return
        raise BenchError("the main dialog never became the foreground window")

    def click(self, control_id: int) -> None:
        """A real left click in the middle of a control."""
        rect = self.session.vtool("rect", "--hwnd", self.hwnd, "--id", str(control_id))["rect"]
        self.click_at((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)

    def click_close_box(self) -> None:
        point = self.session.vtool("frame-point", "--hwnd", self.hwnd, "--part", "close")
        self.click_at(point["x"], point["y"])

    def click_at(self, x: int, y: int) -> None:
        # No --sync: it waits for the pointer to move, forever when it is there
        # already. The X server keeps the motion and the press in order anyway.
        self.session.xdotool("mousemove", str(x), str(y), "click", "1")

    def tab_to(self, control_id: int) -> None:
        """Tab until the control has the focus, as a user looking at the screen does."""
        for _ in range(10):
            panel = self.panel()
            if panel and panel["controls"][control_id]["focused"]:
                return
            self.session.press("Tab")
        raise BenchError(f"Tab never reached control {control_id}")

    def choose_letter(self, letter: str) -> None:
        """Tab to the drop-down list and type the letter, which selects it."""
        self.focus()
        self.tab_to(IDC_HOTKEY_LETTER)
        self.session.press(letter.lower())

    # -- message boxes

    def message_boxes(self, wait: float = 0) -> list[dict[str, Any]]:
        result = self.session.vtool("msgbox", "--caption", "@vardix", "--pid", str(self.window["pid"]),
                                    "--wait", str(wait), expect=(0, 1))
        return result.get("boxes", [])

    def message_box(self) -> dict[str, Any]:
        """The one message box the program shows now: its texts and button ids."""
        boxes = self.message_boxes(UI_TIMEOUT)
        if len(boxes) != 1:
            raise AssertionError(f"expected one message box of vardix.exe, found {boxes}")
        box = boxes[0]
        return {"hwnd": box["hwnd"], "texts": box["texts"], "buttons": [b["id"] for b in box["buttons"]],
                "owner": box["owner"]}

    def answer(self, box: dict[str, Any], key: str) -> None:
        """A real key press in the message box; waits until it is gone."""
        window = self.session.find("--hwnd", box["hwnd"])
        if window:
            self.session.xdotool("windowfocus", "--sync", window["xid"])
            poll(lambda: (self.session.find("--hwnd", box["hwnd"]) or {}).get("foreground"), UI_TIMEOUT,
                 interval=0.1)
        self.session.press(key)
        result = self.session.vtool("find", "--hwnd", box["hwnd"], "--gone", "--wait", str(UI_TIMEOUT),
                                    expect=(0, 1))
        if result["_exit"] != 0:
            raise AssertionError(f"the message box is still there after {key}")

    # -- the process

    def alive(self) -> bool:
        return self.process.alive() and self.window_now() is not None

    def wait_end(self) -> int | None:
        """The exit code once the process has ended, None if it still runs."""
        try:
            return self.process.proc.wait(END_TIMEOUT)
        except subprocess.TimeoutExpired:
            return None

    def stop(self) -> None:
        """Ends the program if it still runs, without saving: WM_CLOSE is the
        close box, which ends it at once."""
        if self.process.alive() and self.window:
            self.session.vtool("close", "--hwnd", self.hwnd, "--wait", "5", expect=(0, 1))
            self.wait_end()
        self.process.stop()


class SettingsTestCase(unittest.TestCase):
    session: Session
    registry: Registry
    run_command: bytes

    @classmethod
    def setUpClass(cls) -> None:
        cls.session = Session()
        cls.registry = Registry(cls.session)
        proc = cls.session.wine("winepath", "-w", cls.session.program)
        path = proc.stdout.strip()
        if proc.returncode != 0 or not re.fullmatch(r"[A-Za-z]:\\.+\.exe", path):
            raise BenchError(f"winepath gave {path!r} for {cls.session.program}")
        # What the Run value must hold: REG_SZ, UTF-16, with its terminating NUL.
        cls.run_command = f'"{path}"  /runmin'.encode("utf-16-le") + b"\0\0"

    @contextlib.contextmanager
    def scenario(self, name: str, stored: dict[str, tuple[int, bytes]] | None = None,
                 args: tuple[str, ...] = ()) -> Iterator[Program]:
        """No settings but `stored`, no autostart entry, a freshly started
        vardix.exe; it is ended afterwards, and a failure leaves a screenshot."""
        started = time.monotonic()
        leftover = self.session.find("--caption", "@vardix-main")
        if leftover:
            raise BenchError(f"a vardix window from an earlier test is still there: {leftover}")
        self.session.reset_settings()
        if stored:
            self.registry.write(SETTINGS_KEY, stored)
        with contextlib.ExitStack() as stack:
            program = Program(self.session, *args)
            stack.callback(program.stop)
            try:
                yield program.wait_ready()
            except BaseException:
                shot = self.session.screenshot(f"{self.id()}_{name}")
                log(f"{name}: failed; screen in {shot}")
                raise
        log(f"{name}: {time.monotonic() - started:.1f} s")

    # -- checks shared by the tables

    def hotkey_held(self, vk: int) -> bool:
        """Whether Ctrl+Alt+vk is taken: another process cannot register it."""
        probe = self.session.vtool("hotkey", "--vk", str(vk), "--seconds", "0", expect=(0, 2))
        if probe["_exit"] == 0:
            return False
        if probe.get("error") != ERROR_HOTKEY_ALREADY_REGISTERED:
            raise BenchError(f"the hotkey probe failed for another reason: {probe}")
        return True

    def assert_hotkeys(self, held: dict[str, int], free: dict[str, int] | None = None) -> None:
        seen = {f"Ctrl+Alt+0x{vk:02X} held": self.hotkey_held(vk) for vk in held.values()}
        seen.update({f"Ctrl+Alt+0x{vk:02X} held": self.hotkey_held(vk) for vk in (free or {}).values()})
        want = {f"Ctrl+Alt+0x{vk:02X} held": True for vk in held.values()}
        want.update({f"Ctrl+Alt+0x{vk:02X} held": False for vk in (free or {}).values()})
        self.assertEqual(seen, want, "hotkey registrations")

    def assert_box(self, program: Program, text: str, buttons: list[int]) -> dict[str, Any]:
        box = program.message_box()
        self.assertEqual((box["texts"], box["buttons"]), ([text], buttons), "the message box's text and buttons")
        self.assertEqual(box["owner"], program.hwnd, "the message box belongs to the main dialog")
        return box

    def assert_no_box(self, program: Program, wait: float = 0) -> None:
        self.assertEqual(program.message_boxes(wait), [], "vardix.exe showed a message box")

    def assert_ended(self, program: Program) -> None:
        code = program.wait_end()
        self.assertIsNotNone(code, f"vardix.exe still runs {END_TIMEOUT} s after it was told to end")
        self.assertIsNone(program.window_now(), "the main dialog outlived its process")

    def assert_settings(self, expected: dict[str, tuple[int, bytes]] | None) -> None:
        self.assertEqual(self.registry.values(SETTINGS_KEY), expected, f"the values under {SETTINGS_KEY}")

    def assert_run_entry(self, present: bool) -> None:
        self.assertEqual(self.registry.run_entry(), (REG_SZ, self.run_command) if present else None,
                         f"the value {RUN_VALUE} under {RUN_KEY}")

    def assert_fills(self, stack: contextlib.ExitStack, combo: str, *, fills: bool = True) -> Target:
        """A press of combo with a target's first box focused fills the target,
        or (fills=False) leaves it alone."""
        target = Target(self.session, preset="three")
        stack.callback(target.close)
        target.start()
        self.session.set_clipboard({CF_TEXT: SERIAL})
        target.focus()
        self.session.press(combo)
        if fills:
            self.assertEqual(target.wait_texts(FILLED, UI_TIMEOUT * 2), FILLED,
                             f"{combo} did not fill the target; WM_PASTE reached boxes {target.pastes()}")
        else:
            self.assertFalse(poll(target.pastes, QUIET), f"{combo} made something paste into the target")
            self.assertEqual(target.texts(), EMPTY, f"{combo} changed the target")
        return target


class FirstExit(SettingsTestCase):
    """On a machine where vardix never ran, Exit with nothing changed asks
    whether to quit. No changes nothing and writes nothing; Yes saves the
    defaults (and no autostart entry) and ends the program."""

    ROWS: list[tuple[str, Callable[[Program], None]]] = [
        # name, how the user asks for Exit
        ("Enter: Exit is the default button", lambda p: p.session.press("Return")),
        ("a click on Exit", lambda p: p.click(IDC_EXIT)),
    ]

    def test_asks_then_saves_the_defaults(self) -> None:
        for name, ask in self.ROWS:
            with self.subTest(name), self.scenario(name) as program:
                program.focus()
                ask(program)
                box = self.assert_box(program, CONFIRM_EXIT, YES_NO)
                program.answer(box, "n")
                self.assertTrue(program.alive(), "No ended the program")
                self.assert_no_box(program)
                self.assert_settings(None)
                self.assert_run_entry(False)

                program.focus()
                ask(program)
                box = self.assert_box(program, CONFIRM_EXIT, YES_NO)
                program.answer(box, "y")
                self.assert_ended(program)
                self.assert_settings(DEFAULTS)
                self.assert_run_entry(False)


class AutostartEntry(SettingsTestCase):
    """Ticking 系统启动时运行 makes Apply write the Run value: exactly a double
    quote, vardix.exe's full Windows path, a double quote, two blanks and
    /runmin, with its NUL. Unticking and applying removes it again."""

    def test_apply_writes_and_removes_the_run_value(self) -> None:
        with self.scenario("tick, apply, untick, apply") as program:
            program.focus()
            self.session.press("alt+s")
            self.assertEqual(program.wait_shown(start_up=1, apply_enabled=True)["start up"], 1,
                             "Alt+S did not tick the box")
            self.assertTrue(program.shown()["apply enabled"], "ticking the box did not enable Apply")
            self.assert_settings(None)

            self.session.press("alt+a")
            self.assertFalse(program.wait_shown(apply_enabled=False)["apply enabled"], "Apply stayed enabled")
            self.assert_no_box(program)
            self.assert_settings({**DEFAULTS, "Run Start Up": dword(1)})
            self.assert_run_entry(True)

            program.click(IDC_RUN_STARTUP)
            self.assertEqual(program.wait_shown(start_up=0, apply_enabled=True),
                             {"start up": 0, "background": 0, "letter": "V", "selection": 21, "apply enabled": True})
            program.click(IDC_APPLY)
            self.assertFalse(program.wait_shown(apply_enabled=False)["apply enabled"], "Apply stayed enabled")
            self.assert_no_box(program)
            self.assert_settings(DEFAULTS)
            self.assert_run_entry(False)

            # The clicked Apply button had the focus and is now disabled: Enter
            # still reaches Exit, the default button.
            self.session.press("Return")
            box = self.assert_box(program, CONFIRM_EXIT, YES_NO)
            program.answer(box, "n")
            self.assertTrue(program.alive(), "No ended the program")


class HotkeyLetter(SettingsTestCase):
    """Choosing A and applying moves both hotkeys to A: Ctrl+Alt+A fills,
    Ctrl+Alt+V and F7 are free for others; after a restart the panel shows A
    and Ctrl+Alt+A still fills."""

    def test_letter_a(self) -> None:
        with contextlib.ExitStack() as stack:
            with self.scenario("choose A and apply") as program:
                program.choose_letter("A")
                self.assertEqual(program.wait_shown(selection=0, apply_enabled=True),
                                 {"start up": 0, "background": 0, "letter": "A", "selection": 0, "apply enabled": True})
                program.click(IDC_APPLY)
                self.assertFalse(program.wait_shown(apply_enabled=False)["apply enabled"], "Apply stayed enabled")
                self.assert_no_box(program)
                self.assert_settings({**DEFAULTS, "hotkey": dword(0)})
                self.assert_hotkeys(held=A_KEYS, free=V_KEYS)

                target = self.assert_fills(stack, "ctrl+alt+v", fills=False)
                # The same target, the same clipboard: the letter now fills.
                self.session.press("ctrl+alt+a")
                self.assertEqual(target.wait_texts(FILLED, UI_TIMEOUT * 2), FILLED,
                                 f"Ctrl+Alt+A did not fill; WM_PASTE reached boxes {target.pastes()}")
                stack.close()

            started = time.monotonic()
            program = Program(self.session)
            stack.callback(program.stop)
            program.wait_ready()
            self.assertEqual(program.shown()["letter"], "A", "the letter after a restart")
            self.assertEqual(program.shown()["selection"], 0)
            self.assert_hotkeys(held=A_KEYS, free=V_KEYS)
            self.assert_fills(stack, "ctrl+alt+a")
            log(f"restart with A: {time.monotonic() - started:.1f} s")


class HotkeyTakenAtApply(SettingsTestCase):
    """Another program holds one of the two keys of the chosen letter: Apply
    still saves, says "热键注册失败!" once, binds the other key and goes clean;
    the old keys are released."""

    ROWS = [
        # name, the key another program holds, the key vardix gets
        ("Ctrl+Alt+A taken", A_KEYS["letter"], A_KEYS["second"]),
        ("Ctrl+Alt+Numpad1 taken", A_KEYS["second"], A_KEYS["letter"]),
    ]

    def test_one_message_and_the_other_key(self) -> None:
        for name, taken, bound in self.ROWS:
            with self.subTest(name), self.scenario(name) as program:
                holder = self.session.spawn_vtool("holder", "hotkey", "--vk", str(taken), "--id", "9",
                                                  "--seconds", "60")
                try:
                    registered = holder.wait_event(lambda e: "registered" in e, UI_TIMEOUT)
                    self.assertTrue(registered and registered["registered"], f"the holder: {registered}")
                    program.choose_letter("A")
                    self.assertEqual(program.wait_shown(selection=0)["selection"], 0, "typing a did not choose A")
                    self.session.press("alt+a")
                    box = self.assert_box(program, HOTKEY_FAILED, OK)
                    program.answer(box, "Return")
                    self.assert_no_box(program, wait=QUIET)
                    self.assertFalse(program.shown()["apply enabled"], "Apply stayed enabled")
                    self.assert_settings({**DEFAULTS, "hotkey": dword(0)})
                finally:
                    holder.stop()
                self.assert_hotkeys(held={"bound": bound}, free={"taken": taken, **V_KEYS})


class ExitWithChangesPending(SettingsTestCase):
    """With a change not yet applied (后台运行 ticked), Exit asks whether to
    save: Cancel keeps the program and the change, No ends without saving, Yes
    saves and ends. Escape and the close box end at once, asking nothing and
    saving nothing."""

    # Stored before the start; different from what a save would write.
    OLD = {"Run Background": dword(0), "Run Start Up": dword(0), "hotkey": dword(21)}
    NEW = {**OLD, "Run Background": dword(1)}

    ROWS: list[tuple[str, Callable[[Program], None], str | None, bool, Any]] = [
        # name, how the user ends, answer to the question (None: no question),
        # still running, the settings afterwards
        ("Exit, Cancel", lambda p: p.session.press("alt+e"), "Escape", True, OLD),
        ("Exit, No", lambda p: p.session.press("alt+e"), "n", False, OLD),
        ("Exit, Yes", lambda p: p.session.press("alt+e"), "y", False, NEW),
        ("Escape", lambda p: p.session.press("Escape"), None, False, OLD),
        ("close box", lambda p: p.click_close_box(), None, False, OLD),
    ]

    def test_exit_flow(self) -> None:
        for name, end, answer, running, settings in self.ROWS:
            with self.subTest(name), self.scenario(name, stored=self.OLD) as program:
                program.focus()
                self.session.press("alt+b")
                self.assertEqual(program.wait_shown(background=1, apply_enabled=True)["background"], 1,
                                 "Alt+B did not tick the box")
                end(program)
                if answer:
                    box = self.assert_box(program, CONFIRM_SAVE, YES_NO_CANCEL)
                    program.answer(box, answer)
                if running:
                    self.assertTrue(program.alive(), "the program ended")
                    self.assert_no_box(program)
                    self.assertEqual(program.shown(), {"start up": 0, "background": 1, "letter": "V",
                                                       "selection": 21, "apply enabled": True})
                else:
                    self.assert_ended(program)
                self.assert_settings(settings)
                self.assert_run_entry(False)


class StoredValues(SettingsTestCase):
    """What a start makes of the stored values: only exactly 1 is on, "hotkey"
    171 means not stored, any other index is used as it is, and a value longer
    than four bytes counts as not stored. A start writes nothing."""

    ROWS: list[tuple[str, dict[str, tuple[int, bytes]], dict[str, Any], dict[str, int], dict[str, int]]] = [
        # name, stored values, what the dialog shows, hotkeys held, hotkeys free
        ("Run Background 1 starts hidden", {"Run Background": dword(1)},
         {"hidden": True, "start up": 0, "background": 1, "letter": "V", "selection": 21}, V_KEYS, {}),
        ("Run Background 2 is off", {"Run Background": dword(2)},
         {"hidden": False, "start up": 0, "background": 0, "letter": "V", "selection": 21}, V_KEYS, {}),
        ("Run Background as 8 bytes is not stored", {"Run Background": (REG_QWORD, (1).to_bytes(8, "little"))},
         {"hidden": False, "start up": 0, "background": 0, "letter": "V", "selection": 21}, V_KEYS, {}),
        ("Run Start Up 1 ticks its box", {"Run Start Up": dword(1)},
         {"hidden": False, "start up": 1, "background": 0, "letter": "V", "selection": 21}, V_KEYS, {}),
        ("Run Start Up 2 is off", {"Run Start Up": dword(2)},
         {"hidden": False, "start up": 0, "background": 0, "letter": "V", "selection": 21}, V_KEYS, {}),
        ("hotkey 171 is not stored", {"hotkey": dword(171)},
         {"hidden": False, "start up": 0, "background": 0, "letter": "V", "selection": 21}, V_KEYS, {}),
        ("hotkey 30 is used unchanged", {"hotkey": dword(30)},
         {"hidden": False, "start up": 0, "background": 0, "letter": "", "selection": -1}, letter_keys(30), V_KEYS),
        ("hotkey -1 is used unchanged", {"hotkey": dword(-1)},
         {"hidden": False, "start up": 0, "background": 0, "letter": "", "selection": -1}, letter_keys(-1), V_KEYS),
        ("hotkey as 8 bytes is not stored", {"hotkey": (REG_BINARY, bytes(8))},
         {"hidden": False, "start up": 0, "background": 0, "letter": "V", "selection": 21}, V_KEYS, A_KEYS),
    ]

    def test_reads(self) -> None:
        for name, stored, shown, held, free in self.ROWS:
            with self.subTest(name), self.scenario(name, stored=stored) as program:
                window = program.window_now()
                assert window is not None
                width = window["rect"][2] - window["rect"][0]
                height = window["rect"][3] - window["rect"][1]
                seen = program.shown()
                seen.pop("apply enabled")
                if shown["hidden"]:
                    seen["hidden"] = (width, height) == (0, 0) and bool(window["exstyle"] & WS_EX_TOOLWINDOW)
                else:
                    seen["hidden"] = not (window["visible"] and width > 0 and height > 0)
                self.assertEqual(seen, shown, f"window {window}")
                self.assert_hotkeys(held, free)
                self.assert_no_box(program)
                self.assert_settings(stored)
                self.assert_run_entry(False)


class HiddenWithHide(SettingsTestCase):
    """隐藏 hides the dialog; the hotkey still fills; a second start shows it
    again at (400, 300), 372 x 210 pixels, and ends by itself."""

    def test_hide_fill_reveal(self) -> None:
        with contextlib.ExitStack() as stack, self.scenario("hide, fill, second start") as program:
            program.focus()
            program.click(IDC_HIDE)
            hidden = poll(lambda: not (program.window_now() or {"visible": True})["visible"], UI_TIMEOUT)
            self.assertTrue(hidden, "the dialog is still visible")
            self.assert_fills(stack, "ctrl+alt+v")
            self.assertFalse((program.window_now() or {}).get("visible"), "the fill showed the dialog")

            second = Program(self.session, name="vardix-second")
            stack.callback(second.stop)
            try:
                code = second.process.proc.wait(END_TIMEOUT)
            except subprocess.TimeoutExpired:
                code = None
            self.assertEqual(code, 0, "the second vardix.exe did not end by itself")
            window = poll(lambda: (w := program.window_now()) and w["visible"] and w, UI_TIMEOUT)
            self.assertTrue(window, "the dialog was not shown again")
            self.assertEqual(window["rect"], REVEALED_RECT, "place and size of the dialog shown again")
            windows = self.session.vtool("find", "--caption", "@vardix-main", "--all")["windows"]
            self.assertEqual([w["hwnd"] for w in windows], [program.hwnd], "main dialogs")
            self.assertTrue(program.alive())


class RegistryRefusals(SettingsTestCase):
    """Apply when the registry refuses, produced for real under Wine. The user
    has chosen A and ticked 系统启动时运行, so every step of a save would show.

    A refused settings key or settings value: "不能保存配置." once, nothing
    saved, the hotkeys stay on V, no Run value, the panel stays dirty. A
    refused Run key or Run value: the settings are saved and the hotkeys
    moved to A, the panel goes clean, then "不能保存配置." (key) or
    "不能保存配置!" (value) once, and there is no Run value."""

    SAVED = {"Run Background": dword(0), "Run Start Up": dword(1), "hotkey": dword(0)}

    def refusals(self) -> list[tuple[str, dict[str, tuple[int, bytes]] | None, Callable[[], Any], str, bool, Any]]:
        registry = self.registry
        return [
            # name, stored before the start, the refusal, message, settings
            # saved, settings afterwards
            ("settings key cannot be opened", None, lambda: registry.unopenable(SETTINGS_KEY), SAVE_FAILED,
             False, None),
            ("settings values cannot be written", DEFAULTS, lambda: registry.read_only(SETTINGS_KEY), SAVE_FAILED,
             False, DEFAULTS),
            ("Run key cannot be opened", None, lambda: registry.unopenable(RUN_KEY), SAVE_FAILED, True, self.SAVED),
            ("Run value cannot be written", None, lambda: registry.read_only(RUN_KEY), AUTOSTART_FAILED, True,
             self.SAVED),
        ]

    def test_refused(self) -> None:
        for name, stored, refusal, message, saved, settings in self.refusals():
            with self.subTest(name), self.scenario(name, stored=stored) as program:
                program.choose_letter("A")
                self.session.press("alt+s")
                self.assertEqual(program.wait_shown(start_up=1, selection=0),
                                 {"start up": 1, "background": 0, "letter": "A", "selection": 0,
                                  "apply enabled": True})
                with refusal():
                    self.session.press("alt+a")
                    box = self.assert_box(program, message, OK)
                    program.answer(box, "Return")
                    self.assert_no_box(program, wait=QUIET)
                    self.assertEqual(program.shown(), {"start up": 1, "background": 0, "letter": "A",
                                                       "selection": 0, "apply enabled": not saved})
                    self.assert_hotkeys(*((A_KEYS, V_KEYS) if saved else (V_KEYS, A_KEYS)))
                self.assert_settings(settings)
                self.assert_run_entry(False)
                self.assertTrue(program.alive(), "the program ended")


if __name__ == "__main__":
    unittest.main()
