"""Elevated installers and clipboard owners that render on request: the one-fill copy that `/fill` starts, a press that
is refused for rights, and a press while the clipboard's owner hangs."""
from harness import *

# The same program built to count every target as higher than itself (e2e/CMakeLists.txt).
HIGHER = "Z:" + os.environ.get("VARDIX_E2E_HIGHER", str(ROOT / "build/win64/e2e/higher/vardix.exe")).replace("/", "\\")
V, F7, OLD = 0x56, 0x76, ["k1", "k2", "k3"]
LAZY = {CF_TEXT: SERIAL, "Vtool": bytes(range(256))}


ROWS = [  # name, steps after the start of the resident Vardix
    ("/fill of the target in front: filled, the copy back, no window, exit 0", [("copy", "front")]),
    (
        "/fill of a dead handle, another process's id, a window that cannot be in front",
        [("copy", "dead"), ("copy", "pid"), ("copy", "child")],
    ),
    ("a press refused for rights: the elevated copy fills, the resident writes nothing", [("refused",)]),
    ("a press while the clipboard's owner hangs: no fill, Vardix answers at once", [("lazy", 5000)]),
    ("a press whose clipboard is rendered on request: filled, every format back", [("lazy", 0)]),
]


class Elevated(Story):
    def test_rows(self):
        after = {"copy": [("hotkeys", {V: True, F7: True}), ("stored", None, False)]}  # the resident untouched
        self.stories([(name, None, [("start",), *steps, *after.get(steps[0][0], [])]) for name, steps in ROWS])

    def target(self):
        self.stack.callback((t := Target(texts=OLD)).close)
        return t

    def do_copy(self, what):
        if what == "dead":
            (gone := self.target()).close()
        t = self.target()
        hwnd = {"dead": what == "dead" and gone.hwnd, "child": t.bg.get("box")[0]}.get(what, t.hwnd)
        t.front()
        put({CF_TEXT: SERIAL})
        before, pid = clipboard()[1], window(t.hwnd)["pid"]
        copy = Vardix("/fill", hwnd, self.v.pid if what == "pid" else pid)
        self.stack.callback(copy.stop)
        seen = []  # its top-level windows, message boxes included, while it runs
        poll(lambda: seen.extend(windows(pid=copy.pid)) or copy.exit_code() is not None, 20)
        self.assertEqual((copy.exit_code(), seen), (0, []), "the copy's exit code and windows")
        self.eventually(t.texts, PIECES if what == "front" else OLD, 2, "the target's boxes")
        self.assertEqual(clipboard()[1], before, "the user's clipboard")

    def do_refused(self):
        self.v.stop()
        self.v = Vardix(program=HIGHER)
        self.stack.callback(self.v.stop)
        self.v.main()
        self.stack.callback((monitor := Bg("watch")).stop)
        monitor.wait("watching")
        (t := self.target()).front()
        seq, before = put({CF_TEXT: SERIAL}), clipboard()[1]
        press("ctrl+alt+v")
        self.eventually(t.texts, PIECES, 10, "the target's boxes")
        self.eventually(lambda: clipboard()[1], before, 5, "the user's clipboard")
        writers = {u["pid"] for u in monitor.lines if u.get("seq", 0) > seq}
        self.assertTrue(writers and self.v.pid not in writers, f"the clipboard's writers {writers}, the resident's pid")
        self.do_nobox()

    def do_lazy(self, hang):
        (t := self.target()).front()
        put(LAZY)
        before = clipboard()[1]
        offer = (f"{k}={v.hex()}{'00' * (k == CF_TEXT)}" for k, v in LAZY.items())
        self.stack.callback((owner := Bg("lazy", hang, *offer)).stop)
        owner.wait("ready")
        pressed = time.monotonic()
        press("ctrl+alt+v")
        self.responds(1, pressed)
        self.eventually(t.texts, OLD if hang else PIECES, 2 if hang else 10, "the target's boxes")
        owner.wait("woke", hang / 1000 + 5)
        if hang:
            time.sleep(1)
            self.assertEqual(t.texts(), OLD, "the target's boxes after the owner woke")
        else:
            self.assertEqual(len(set(owner.get("render"))), len(LAZY), "formats rendered on request")
            self.eventually(lambda: clipboard()[1], before, 5, "the user's clipboard")
