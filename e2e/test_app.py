"""Vardix's own window: the first start, the single instance and the hidden start, the hotkeys, the settings panel with the
registry and the autostart entry, its message boxes and how it ends."""

from harness import BM_CLICK, EN, IDCANCEL, IDNO, IDOK, IDYES, MAIN, PROGRAM, RUN, SETTINGS, USER, USER_RUN
from harness import WM_COMMAND, Bg, Story, Target, focus, poll, post, press, reg, run_value, tool, window, windows

APPLY, STARTUP, HIDE, EXIT, V, F7, A, NUM1 = 1000, 1004, 1008, 1009, 0x56, 0x76, 0x41, 0x61
DEFAULTS = {"Run Background": 0, "Run Start Up": 0, "hotkey": 21}
SAVED = {"Run Background": 0, "Run Start Up": 1, "hotkey": 0}
SHOWN, REVEALED = dict(visible=1, enabled=1), dict(visible=1, fg=1, rect=[400, 300, 772, 510])
CHOOSE_A = ("keys", "Tab", "Tab", "Tab", "a")  # from Exit, where the focus starts, to the letters
QUIT, SAVE, QUIT_EN = "退出程序, 你确定吗?", "退出程序, 立即保存设置吗?", "Exit the program, are you sure?"
BUTTONS = {QUIT: [IDYES, IDNO], SAVE: [IDYES, IDNO, IDCANCEL], QUIT_EN: [IDYES, IDNO]}
TEXTS_EN = ["&Exit", "&Apply", "Hotkey", "&Start with Windows", "Run in &background", "CTRL  +  ALT  +", "Hide"]
TEXTS_EN += ["Quorvantel version 1.02", "OK"]
FIRST = dict(text=MAIN, visible=1, tool=0, focused=EXIT, default=EXIT, apply=0, start=0, bg=0, letter="V", sel=21)

START = [
    (
        "first start: the dialog as a new user sees it; Exit asks, No keeps it all, Yes saves the defaults",
        None,
        [
            ("start",),
            ("shows", FIRST),
            ("nobox",),
            ("hotkeys", {V: True, F7: True}),
            ("stored", None, False),
            ("asks", "Return", QUIT, IDNO),
            ("shows", SHOWN),
            ("stored", None, False),
            ("asks", "Return", QUIT, IDYES),
            ("ends", 0),
            ("stored", DEFAULTS, False),
        ],
    ),
    (
        "Hide: the hotkey still fills and leaves it hidden; a second start shows it at (400, 300)",
        None,
        [
            ("start",),
            ("cmd", HIDE),
            ("shows", dict(visible=0)),
            ("fills", "ctrl+alt+v"),
            ("shows", dict(visible=0)),
            ("second",),
            ("shows", REVEALED),
            ("hotkeys", {V: True, F7: True}),
        ],
    ),
    *(
        (
            f"hidden start by {how}: no size, no taskbar button, not in front; the hotkey fills; a second start shows it",
            stored,
            [
                ("front",),
                ("start", *args),
                ("shows", dict(visible=0, size=[0, 0], tool=1, app=0, bg=on, start=on)),
                ("infront",),
                ("fills", "ctrl+alt+v"),
                ("second",),
                ("shows", dict(REVEALED, tool=1)),
                ("nobox",),
            ],
        )
        for how, args, stored, on in (
            ("/runmin", ["/runmin"], None, 0),
            ("Run Background = 1", [], {"Run Background": 1, "Run Start Up": 1}, 1),
        )
    ),
    *(
        (
            f"another program holds Ctrl+Alt+{name} at start: one message, the other key fills",
            None,
            [("hold", vk), ("start",), ("message", text), ("shows", SHOWN), ("fills", keys)],
        )
        for name, vk, text, keys in (("V", V, "FAINT", "ctrl+alt+F7"), ("F7", F7, "热键注册失败", "ctrl+alt+v"))
    ),
    (
        "Traditional Chinese UI: the Chinese texts, About while the hotkey fills; a second start in English finds it",
        None,
        [
            ("lang", "zh_TW.UTF-8"),
            ("start",),
            ("shows", FIRST),
            ("keys", "alt+space", "End", "Return"),
            ("box", "关于Quorvantel", "Quorvantel 版本 1.02", [IDOK]),
            ("shows", dict(enabled=0)),
            ("fills", "ctrl+alt+v"),
            ("answer", "Return"),
            ("asks", "Return", QUIT, IDNO),
            ("lang", EN),
            ("second",),
        ],
    ),
    (
        "German UI: the English texts, each whole; English UI: the caption, a hotkey taken, About, the exit question",
        None,
        [
            ("lang", "de_DE.UTF-8"),
            ("texts", TEXTS_EN),
            ("lang", EN),
            ("hold", F7),
            ("start",),
            ("message", "Hotkey registration failed"),
            ("keys", "alt+space", "End", "Return"),
            ("box", "About Quorvantel", "Quorvantel version 1.02", [IDOK]),
            ("answer", "Return"),
            ("asks", "Return", QUIT_EN, IDNO),
        ],
    ),
]
SETTINGS_ROWS = [
    (
        "autostart: Apply with the box ticked writes the Run value and removes a stale one from the user's Run key, "
        "unticked removes it; Enter then still reaches Exit",
        None,
        [
            ("start",),
            ("keys", "alt+s"),
            ("shows", dict(start=1, apply=1)),
            ("stored", None, False),
            ("stale", USER_RUN),
            ("apply", "alt+a"),
            ("stored", dict(DEFAULTS, **{"Run Start Up": 1}), True),
            ("click", STARTUP),
            ("shows", dict(start=0, apply=1)),
            ("apply", "click"),
            ("stored", DEFAULTS, False),
            ("asks", "Return", QUIT, IDNO),
            ("shows", SHOWN),
        ],
    ),
    (
        "hotkey letter A: both keys move to A and stay there after a restart",
        None,
        [
            ("start",),
            CHOOSE_A,
            ("shows", dict(sel=0, letter="A", apply=1)),
            ("apply", "alt+a"),
            ("stored", dict(DEFAULTS, hotkey=0), False),
            ("hotkeys", {A: True, NUM1: True, V: False, F7: False}),
            ("fills", "ctrl+alt+v", False),
            ("fills", "ctrl+alt+a"),
            ("stop",),
            ("start",),
            ("shows", dict(letter="A", sel=0)),
            ("fills", "ctrl+alt+a"),
        ],
    ),
    *(
        (
            f"another program holds Ctrl+Alt+{name} when A is applied: saved, one message, the other key bound",
            None,
            [
                ("hold", taken),
                ("start",),
                CHOOSE_A,
                ("apply", "alt+a", "热键注册失败!"),
                ("stored", dict(DEFAULTS, hotkey=0), False),
                ("hotkeys", {bound: True, V: False, F7: False}),
            ],
        )
        for name, taken, bound in (("A", A, NUM1), ("Numpad1", NUM1, A))
    ),
    *(
        (
            f"a change not applied; {how}",
            DEFAULTS,
            [
                ("start",),
                ("keys", "alt+b"),
                ("shows", dict(bg=1, apply=1)),
                *steps,
                ("ends", 0),
                ("stored", dict(DEFAULTS, **{"Run Background": saved}), False),
            ],
        )
        for how, saved, steps in (
            (
                "Exit, Cancel keeps it running with the change; Exit, No ends without saving",
                0,
                [("asks", "alt+e", SAVE, IDCANCEL), ("shows", dict(bg=1, apply=1)), ("asks", "alt+e", SAVE, IDNO)],
            ),
            ("Exit, Yes saves and ends", 1, [("asks", "alt+e", SAVE, IDYES)]),
            ("Escape ends at once, asking and saving nothing", 0, [("keys", "Escape")]),
            ("Alt+F4 ends at once, asking and saving nothing", 0, [("keys", "alt+F4")]),
        )
    ),
    *(
        (
            f"A and autostart applied while {what}: {text} once",
            stored,
            [
                ("start",),
                CHOOSE_A,
                ("keys", "alt+s"),
                ("shows", dict(start=1, sel=0)),
                ("deny", *keys),
                ("apply", "alt+a", text, after == SAVED),
                ("hotkeys", {A: after == SAVED, V: after != SAVED}),
                ("stored", after, False),
            ],
        )
        for what, keys, stored, text, after in (
            (
                "neither the machine's nor the user's settings can be written",
                (SETTINGS, USER),
                DEFAULTS,
                "不能保存配置.",
                DEFAULTS,
            ),
            ("the Run value cannot be written", (RUN,), None, "不能保存配置!", SAVED),
        )
    ),
    (
        "the machine's settings cannot be written: A and autostart are saved per user without a message, read back at "
        "the next start; autostart off then removes the user's Run value",
        DEFAULTS,
        [
            ("start",),
            CHOOSE_A,
            ("keys", "alt+s"),
            ("deny", SETTINGS),
            ("apply", "alt+a"),
            ("stored", SAVED, True, True),
            ("stop",),
            ("start",),
            ("shows", dict(letter="A", sel=0, start=1)),
            ("fills", "ctrl+alt+a"),
            ("keys", "alt+s"),
            ("apply", "alt+a"),
            ("stored", dict(SAVED, **{"Run Start Up": 0}), False, True),
        ],
    ),
    (
        "a standard user whose machine's Run value starts this vardix.exe (the path in other letters): Apply writes no "
        "Run value of the user's, which would start a second copy",
        DEFAULTS,
        [
            ("start",),
            ("keys", "alt+s"),
            ("stale", RUN, PROGRAM.upper()),
            ("deny", SETTINGS, RUN),
            ("apply", "alt+a"),
            ("runs", False, True),
        ],
    ),
]


class App(Story):
    """The steps of the main dialog's stories (e2e/README.md)."""

    def panel(self):
        w, c = window(self.v.hwnd), {x["id"]: x for x in windows(self.v.hwnd)}
        return dict(
            w,
            tool=w["ex"] >> 7 & 1,
            app=w["ex"] >> 18 & 1,
            size=[w["rect"][2] - w["rect"][0], w["rect"][3] - w["rect"][1]],
            start=c[1004]["value"],
            bg=c[1005]["value"],
            letter=c[1006]["text"],
            sel=c[1006]["value"],
            apply=c[1000]["enabled"],
            focused=next((i for i, x in c.items() if x["focus"]), None),
            default=next(i for i, x in c.items() if x["style"] & 15 == 1),
        )

    def do_shows(self, expected):
        seen = poll(lambda: all((p := self.panel())[k] == v for k, v in expected.items()) and p, 5, 0.2) or self.panel()
        self.assertEqual({k: seen[k] for k in expected}, expected, "what the main dialog shows")

    def do_box(self, caption, text, buttons):
        dialogs = lambda: windows(pid=self.v.pid, visible=1, **{"class": "#32770"})
        boxes = poll(lambda: [w for w in dialogs() if w["hwnd"] != self.v.hwnd], 5) or []
        self.assertEqual(len(boxes), 1, f"message boxes {boxes}")
        self.box, controls = boxes[0]["hwnd"], windows(boxes[0]["hwnd"])
        texts = [c["text"] for c in controls if c["class"] == "Static" and c["text"][:1] not in ("", "\uffff")]
        buttons_seen = [c["id"] for c in controls if c["class"] == "Button"]
        got = (boxes[0]["text"], texts, buttons_seen, boxes[0]["owner"])
        self.assertEqual(got, (caption, [text], buttons, self.v.hwnd), "the message box: caption, text, buttons, owner")

    def do_answer(self, answer):
        self.assertTrue(window(self.box), "the box closed before it was answered")
        if isinstance(answer, int):
            post(self.box, WM_COMMAND, answer)
        else:
            focus(self.box)
            press(answer)
        self.assertTrue(poll(lambda: not window(self.box), 5), "the box stayed after its answer")

    def do_asks(self, keys, question, answer):
        """Keys that bring an exit question, which gets the answer; any answer that ends Vardix ends it with 0."""
        self.do_keys(keys)
        self.do_box("vardix", question, BUTTONS[question])
        self.do_answer(answer)

    def do_message(self, text):
        """One message box with OK, owned by the main dialog, and none after it."""
        self.do_box("vardix", text, [IDOK])
        self.do_answer(IDOK)
        self.do_nobox()

    def do_apply(self, how, message=None, saved=True):
        """Apply by its key or a click: the message it shows, if any; Apply disabled once the settings are saved."""
        self.do_click(APPLY) if how == "click" else self.do_keys(how)
        self.do_message(message) if message else self.do_nobox()
        self.do_shows(dict(apply=0 if saved else 1))

    def do_texts(self, expected):
        """The dialogs' texts in the row's language, each measured in its font: all fit their controls."""
        measured = tool("fit", PROGRAM, 102, 100, lang=self.lang)[:-1]
        self.assertEqual([text for id, text, width, room in measured], expected, "the dialogs' texts")
        self.assertEqual([m for m in measured if m[2] > m[3]], [], "texts too wide: [id, text, width, room]")

    def do_hold(self, vk):
        self.stack.callback((holder := Bg("hotkey", vk, 600)).stop)
        self.assertEqual(holder.wait("registered"), 1, "the other program's hotkey")

    def do_front(self):
        self.stack.callback((front := Target()).close)
        front.front()
        self.front = front.hwnd

    def do_infront(self):
        self.assertEqual(window(self.front)["fg"], 1, "the other program is still in front")

    def do_deny(self, *keys):
        for key in keys:
            reg("sddl", key, "D:P(A;;KR;;;WD)")
            self.stack.callback(reg, "sddl", key, "D:P(A;;KA;;;WD)")

    def do_stale(self, run_key, program=PROGRAM):
        """A Run value of an earlier save in the other hive: left there, it would start a second copy at logon."""
        reg("set", run_key, "Quorvantel", 1, f'"{program}"  /runmin'.encode("utf-16-le").hex() + "0000")

    def do_runs(self, user, machine):
        self.assertEqual(
            [bool(run_value(USER_RUN)), bool(run_value(RUN))], [user, machine], "Run values: user, machine"
        )

    def do_keys(self, *keys):
        focus(self.v.hwnd)
        press(*keys)

    def do_click(self, control):
        focus(self.v.hwnd)
        post(windows(self.v.hwnd, id=control)[0]["hwnd"], BM_CLICK)

    def do_cmd(self, control):
        post(self.v.hwnd, WM_COMMAND, control)


class Start(App):
    def test_rows(self):
        self.stories(START)


class Settings(App):
    def test_rows(self):
        self.stories(SETTINGS_ROWS)
