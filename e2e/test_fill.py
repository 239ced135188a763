"""Filling a target window from the clipboard: each box gets its own piece, and the user's clipboard comes back byte for
byte and unseen by clipboard monitors, whatever the target, the copy or another program does."""
import time

from harness import CF_TEXT, CF_UNICODETEXT, PIECES, SERIAL, STATE, Bg, Story, Target, clipboard, poll, put, windows
from harness import xdotool

WORLD = "\u0631\u0645\u0632 \U0001F511: AB12-CD34-EF56"  # neither Arabic nor emoji are in code page 936
BIG = STATE / "big.txt"  # 33 MB of text, the code at its very end
FOUR = b"A1A1-B2B2-C3C3-D4D4"
GROUPS = ["A1A1", "B2B2", "C3C3", "D4D4"]
SIX = {CF_TEXT: FOUR + b"-E5E5-F6F6"}
PRESS = "key --clearmodifiers ctrl+alt+v"
HELD = "keydown ctrl keydown alt keydown v sleep 1.2 keyup v keyup alt keyup ctrl"
OLE = ("DataObject", "Ole Private Data")
FILL = dict(
    keys=PRESS,
    clip={CF_TEXT: SERIAL},
    target={},
    texts=PIECES,
    pastes=[0, 1, 2],
    manager=0,
    answers=10,
    newer=None,
)


def row(name, **what):
    """What differs from Ctrl+Alt+V filling SERIAL into three Edit boxes (e2e/README.md): the keys, the clipboard, the
    target's options, the boxes' texts and the boxes that get WM_PASTE after it, a clipboard manager's hold at every
    change (ms), the seconds until Vardix's message loop answers, another program's copy during the fill."""
    return name, None, [("start",), ("fill", {**FILL, **what})]


def four(name, **what):
    """A row of FOUR's four pieces for four boxes."""
    return row(
        name, **{"clip": {CF_TEXT: FOUR}, "target": dict(boxes=4), "texts": GROUPS, "pastes": [0, 1, 2, 3], **what}
    )


ROWS = [
    row("Ctrl+Alt+V fills three Edit boxes in tab order"),
    row(
        "Ctrl+Alt+F7 fills from a copy offered as Unicode text only; a box after the last piece keeps its own",
        keys="key --clearmodifiers ctrl+alt+F7",
        clip={CF_UNICODETEXT: SERIAL.decode().encode("utf-16-le")},
        target=dict(boxes=4, texts=["", "", "", "KEEP"]),
        texts=PIECES + ["KEEP"],
    ),
    row(
        "every format comes back byte for byte: 8-bit and Unicode text that differ, HTML, an application's own, a "
        "picture; OLE's own two, which name a data object released by then, do not",
        clip={
            **{name: b"\1\2\3\4" for name in OLE},
            CF_TEXT: SERIAL,
            CF_UNICODETEXT: WORLD.encode("utf-16-le"),
            "HTML Format": f"<b>{WORLD}</b>".encode() + b"\0",
            "Vtool": bytes(range(256)),
            "emf": 1,
        },
    ),
    # Xvfb repeats a held key, as a keyboard does: the hotkey's message comes again and again.
    four("the keys held 1.2 s: one fill", keys=HELD),
    four("pressed twice 0.4 s apart: the same boxes again", keys=f"{PRESS} sleep 0.4 {PRESS}", pastes=[0, 1, 2, 3] * 2),
    four(
        "six pieces, four boxes, no other tab stop, the first a rich edit box: each box once, in reading order",
        clip=SIX,
        target=dict(boxes=4, buttons=0, class0="RichEdit20W"),
    ),
    four(
        "four framework boxes in ordinary tab order: in reading order",
        target=dict(boxes=4, super="WindowsForms10.EDIT.app.0.2bf8098_r6_ad1"),
    ),
    four(
        "four framework boxes whose window order is reversed, as on a VCL form",
        target=dict(boxes=4, super="TEdit", reverse=1),
    ),
    four(
        "a name box above four key boxes, six pieces: the name is kept, old text in the others replaced",
        clip=SIX,
        target=dict(boxes=5, buttons=0, layout="name", focus=1, texts=["name", "OLD-0", "x", "ZZZZZZ"]),
        texts=["name"] + GROUPS,
        pastes=[1, 2, 3, 4],
    ),
    row(
        "Name, Organization, Serial one under the other, the caret in Serial: the whole code there, the others kept",
        target=dict(super="TNewEdit", layout="column", focus=2, texts=["Name", "Org", ""]),
        texts=["Name", "Org", "AB12-CD34-EF56"],
        pastes=[2],
    ),
    four(
        "from Cancel: nothing pasted or typed, the clipboard untouched",
        target=dict(boxes=4, focus=5),
        texts=[""] * 4,
        pastes=[],
    ),
    four("the label on the line above the code", clip={CF_TEXT: b"Serial number\r\n" + FOUR}),
    row(
        "text without a dash: boxes and clipboard are left alone",
        clip={CF_TEXT: b"HELLO WORLD"},
        target=dict(texts=["k1", "k2", "k3"]),
        texts=["k1", "k2", "k3"],
        pastes=[],
    ),
    # The rich edit box pastes 150 ms late, inside the manager's hold: only a check after its paste gets its piece in.
    row(
        "a clipboard manager holds the clipboard 400 ms after every change; the first box's class is not Edit: each "
        "box still gets its own piece",
        clip={CF_TEXT: b"Key: K1A1-K1B2-K1C3-K1D4"},
        target=dict(boxes=4, class0="RichEdit20W", sleep0=150),
        texts=["K1A1", "K1B2", "K1C3", "K1D4"],
        pastes=[0, 1, 2, 3],
        manager=400,
    ),
    # Box 1 pastes 1 s late, inside the 2 s hold: it cannot read its piece, and Vardix cannot write the next.
    row(
        "the clipboard held 2 s after every change: the fill stops, no box gets another's piece",
        target=dict(texts=["OLD0", "OLD1", "OLD2"], sleep0=1000),
        texts=["OLD0", "OLD1", "OLD2"],
        pastes=[0],
        manager=2000,
    ),
    four(
        "box 2 sleeps 15 s in WM_PASTE: Vardix answers after its time-out, box 2 still gets its own piece, later boxes "
        "are untouched, the copy is back within 2 s of the box waking",
        target=dict(boxes=4, sleep1=15000, texts=["", "", "KEEP2", "KEEP3"]),
        texts=["A1A1", "B2B2", "KEEP2", "KEEP3"],
        pastes=[0, 1],
        answers=4.5,
    ),
    four(
        "another program copies while box 2 sleeps in WM_PASTE: its copy stays, no later box gets it",
        target=dict(boxes=4, sleep1=8000, texts=["", "", "KEEP2", "KEEP3"]),
        texts=["A1A1", None, "KEEP2", "KEEP3"],
        pastes=[0, 1],
        answers=4.5,
        newer=b"NEWER COPY",
    ),
    row("the target destroys itself at the second box's paste", target=dict(close=1), texts=None, pastes=[0, 1]),
    four(
        "33 MB of text, more than Vardix copies whole, with the code at its end: filled, and the text back",
        clip={CF_TEXT: BIG},
        texts=["BIG1", "BIG2", "BIG3", "BIG4"],
    ),
]


class Fill(Story):
    def test_rows(self):
        BIG.write_bytes(
            (b"Lorem ipsum dolor sit amet 0123456789.\r\n" * 80000)[: 33 << 20] + b"Serial: BIG1-BIG2-BIG3-BIG4\0"
        )
        self.stories(ROWS)

    def do_fill(self, r):
        if r["manager"]:
            self.stack.callback((manager := Bg("watch", r["manager"])).stop)
        self.stack.callback((t := Target(**r["target"])).close)
        seq = put(r["clip"])
        before = [f for f in clipboard()[1] if f[1] not in OLE]
        if r["manager"]:
            self.assertTrue(poll(lambda: [s for s in manager.get("seq") if s >= seq], 5), "the manager never saw it")
        t.front()
        pressed = time.monotonic()
        xdotool(r["keys"])
        newer = r["newer"] and Bg("put", "after=1000", f"{CF_TEXT}={r['newer'].hex()}00")
        if newer:
            self.stack.callback(newer.stop)
        poll(lambda: t.pastes()[0], 2)  # the fill runs
        self.responds(r["answers"], pressed)
        pastes = r["pastes"]
        what = "the boxes that got WM_PASTE, and whether each paste found the marker"
        self.eventually(t.pastes, (pastes, True), 10 if pastes else 1.5, what)
        woke = [t.bg.wait("woke", 20) for k in r["target"] if k.startswith("sleep") and int(r["target"][k]) > 1000]
        if newer:
            self.assertEqual(clipboard()[0], newer.wait("seq"), "someone wrote over the other program's newer copy")
        else:
            back = lambda: ((c := clipboard())[1], c[2], c[0] != seq)
            what = "the user's clipboard, its marker, whether it was written"
            self.eventually(back, (before, bool(pastes), bool(pastes)), 2 if woke else 15, what)
        texts = r["texts"] and (poll(lambda: self.matches(g := t.texts(), r["texts"]) and g, 2) or t.texts())
        self.assertTrue(self.matches(texts, r["texts"]), f"the boxes hold {texts}, not {r['texts']}")
        closed = t.bg.get("closed") if "close" in r["target"] else not t.bg.get("click")
        self.assertTrue(closed, "the target closed, or a button was clicked")
        got = (self.v.exit_code(), windows(pid=self.v.pid, text="vardix"))
        self.assertEqual(got, (None, []), "Vardix ended, or showed a message box")

    @staticmethod
    def matches(texts, expected):
        return expected is None or all(e is None or t == e for t, e in zip(texts, expected))
