"""Elevated installers and clipboard owners that render on request: the one-fill copy that `/fill` starts, presses
refused for rights (from a zip's copy, from the package's), and presses while the clipboard's owner hangs."""
import os
import shutil
import time
from pathlib import Path

from harness import CF_TEXT, PIECES, ROOT, SERIAL, Bg, Target, Vardix, clipboard, env, focus, poll, press, put, window
from harness import windows
from test_app import App

# The program built to count every target as higher than itself (e2e/CMakeLists.txt): where the build puts it, as a
# zip's copy anywhere, and copied under Program Files, which that build takes for a folder no standard user can change
# (under Wine every file is the user's own).
HIGHER = os.environ.get("VARDIX_E2E_HIGHER", str(ROOT / "build/win64/e2e/higher/vardix.exe"))
ZIP, PACKAGED = "Z:" + HIGHER.replace("/", "\\"), r"C:\Program Files\VardixHigher\vardix.exe"
V, F7, OLD, CODE = 0x56, 0x76, ["k1", "k2", "k3"], b"XX11-YY22-ZZ33"
LAZY = {CF_TEXT: SERIAL, "Vtool": bytes(range(256))}
NOT_ELEVATED = "以管理员身份运行的安装程序只由安装版 Vardix (Program Files 中的 vardix.exe) 填写."
STOPPED = "安装程序没有填写完: 填写中断了."

ROWS = [  # name, steps after the start of the resident Vardix
    ("/fill of the target in front: filled, the copy back, no window, exit 0", [("copy", "front")]),
    (
        "/fill of a dead handle, another process's id, a box instead of its window: nothing filled, exit 2",
        [("copy", "dead"), ("copy", "pid"), ("copy", "child")],
    ),
    (
        "/fill of a box since destroyed, of another window's box: nothing filled anywhere, exit 5",
        [("copy", "gone box"), ("copy", "other box")],
    ),
    (
        "/fill of a target behind another window: pasted, left behind; boxes a window draws: brought to front, typed",
        [("copy", "behind"), ("copy", "pane")],
    ),
    ("a zip's copy, two presses refused for rights: the message once, no copy started", [("refused", "zip", ZIP)]),
    ("the package's copy, a press refused for rights: the copy fills, the resident writes nothing", [("refused", "")]),
    ("the package's copy, a console refused for rights: no copy started, nothing written", [("refused", "console")]),
    (
        "the package's copy, a press while its copy waits for a hung box: ignored; its stop, past the wait, told once",
        [("refused", "busy")],
    ),
    ("a press while the clipboard's owner hangs: no fill, Vardix answers at once", [("lazy", 5000)]),
    ("a press whose clipboard is rendered on request: filled, every format back", [("lazy", 0)]),
    (
        "a press whose clipboard is rendered on request and holds no code: only its text rendered",
        [("lazy", 0, CODE[:4])],
    ),
]


class Pane(Target):
    """A vtool pane: three boxes drawn by one window, which is its own focus window."""

    def __init__(self, *options):
        self.bg, self.boxes = Bg("pane", "boxes=3", *(f"text{i}={t}" for i, t in enumerate(OLD)), *options), 3
        self.hwnd = self.planned = self.bg.wait("ready")

    def front(self):
        focus(self.hwnd)

    def texts(self):
        return self.bg.get("boxes")[-1]


class Elevated(App):
    def test_rows(self):
        after = {"copy": [("hotkeys", {V: True, F7: True}), ("stored", None, False)]}  # the resident untouched
        self.stories([(name, None, [("start",), *steps, *after.get(steps[0][0], [])]) for name, steps in ROWS])

    def target(self, kind=Target, *options):
        self.stack.callback((t := kind(*options) if kind == Pane else Target(texts=OLD, **dict(options))).close)
        return t

    def do_copy(self, what):
        if what in ("dead", "gone box"):
            (gone := self.target()).close()
        other = what == "other box" and self.target()
        (t := self.target(Pane) if what == "pane" else self.target()).front()
        if behind := what in ("behind", "pane"):
            self.target(Target, ("boxes", 1)).front()
        put({CF_TEXT: SERIAL})
        before, pid, code = clipboard()[1], window(t.hwnd)["pid"], {"dead": 2, "pid": 2, "child": 2}.get(what, 0)
        hwnd = {"dead": what == "dead" and gone.hwnd, "child": t.planned}.get(what, t.hwnd)
        box = {"gone box": what == "gone box" and gone.planned, "other box": other and other.planned}.get(what)
        copy = Vardix("/fill", hwnd, self.v.pid if what == "pid" else pid, box or t.planned)
        self.stack.callback(copy.stop)
        seen = []  # its top-level windows, message boxes included, while it runs
        poll(lambda: seen.extend(windows(pid=copy.pid)) or copy.exit_code() is not None, 20)
        code = 5 if box else code
        self.assertEqual((copy.exit_code(), seen), (code, []), "the copy's exit code and windows")
        self.eventually(
            lambda: [t.texts(), other and other.texts()], [OLD if code else PIECES, other and OLD], 2, "boxes"
        )
        self.assertEqual(clipboard()[1], before, "the user's clipboard")
        self.assertTrue(not behind or window(t.hwnd)["fg"] == (what == "pane"), "the target in front after the copy")

    def do_refused(self, what, program=PACKAGED):
        if program == PACKAGED:
            folder = Path(env()["WINEPREFIX"]) / "drive_c/Program Files/VardixHigher"
            folder.mkdir(exist_ok=True)
            shutil.copy(HIGHER, folder)
            self.stack.callback(shutil.rmtree, folder)
        self.v.stop()
        self.v = Vardix(program=program)
        self.stack.callback(self.v.stop)
        self.v.main()
        self.stack.callback((monitor := Bg("watch")).stop)
        monitor.wait("watching")
        options = {"console": (Pane, "class=ConsoleWindowClass"), "busy": (Target, ("sleep1", 7000))}
        (t := self.target(*options.get(what, (Target,)))).front()
        seq = put({CF_TEXT: SERIAL})
        before = clipboard()[1]
        press("ctrl+alt+v")
        writers = lambda: {u["pid"] for u in monitor.lines if u.get("seq", 0) > seq}
        if what == "":
            self.eventually(t.texts, PIECES, 10, "the target's boxes")
            self.eventually(lambda: clipboard()[1], before, 5, "the user's clipboard")
            self.assertTrue(writers() and self.v.pid not in writers(), f"the clipboard's writers {writers()}")
        elif what == "busy":
            self.assertTrue(poll(lambda: 1 in t.bg.get("paste"), 10), "the copy never reached the second box")
            seq = put({CF_TEXT: CODE})  # another program copies a code meanwhile
            # Wine hands a key press to the thread of the window with the X focus: while that thread hangs, the
            # hotkey would reach Vardix only once the box wakes.
            self.target().front()
            press("ctrl+alt+v")
            # The box wakes after the resident's wait (4 s in the tests' build) has passed.
            t.bg.wait("woke", 15)
            self.do_message(STOPPED)
            written = writers()
            self.assertEqual(written, set(), "the clipboard's writers after the second press")
        else:
            if what == "zip":
                self.do_message(NOT_ELEVATED)
            else:
                self.do_nobox()
            press("ctrl+alt+v")
            self.do_nobox()
            boxes = t.texts()
            written = writers()
            self.assertEqual((boxes, written), (OLD, set()), "the target's boxes, the clipboard's writers")
        self.do_nobox()

    def do_lazy(self, hang, text=SERIAL):
        (t := self.target()).front()
        put(lazy := {**LAZY, CF_TEXT: text})
        before, filled = clipboard()[1], not hang and text == SERIAL
        offer = (f"{k}={v.hex()}{'00' * (k == CF_TEXT)}" for k, v in lazy.items())
        self.stack.callback((owner := Bg("lazy", hang, *offer)).stop)
        owner.wait("ready")
        pressed = time.monotonic()
        press("ctrl+alt+v")
        self.responds(1, pressed)
        self.eventually(t.texts, PIECES if filled else OLD, 10 if filled else 2, "the target's boxes")
        owner.wait("woke", hang / 1000 + 5)
        if hang:
            time.sleep(1)
            self.assertEqual(t.texts(), OLD, "the target's boxes after the owner woke")
        else:
            rendered = len(lazy) if filled else 1  # a text that is no code: nothing else is read
            self.assertEqual(len(set(owner.get("render"))), rendered, "formats rendered on request")
            self.eventually(lambda: clipboard()[1], before, 5, "the user's clipboard")
