"""Filling a target window from the clipboard: each box gets its own piece, and the user's clipboard comes back byte for
byte and unseen by clipboard monitors, whatever the target, the copy or another program does."""
from harness import *

WORLD = "\u0631\u0645\u0632 \U0001F511: AB12-CD34-EF56"  # neither Arabic nor emoji are in code page 936
BIG = STATE / "big.txt"  # 33 MB of text, the code at its very end


def row(name, **what):
    """What differs from Ctrl+Alt+V filling SERIAL into three Edit boxes (e2e/README.md)."""
    fill = dict(
        keys="ctrl+alt+v",
        clip={CF_TEXT: SERIAL},
        target={},
        texts=PIECES,
        pastes=[0, 1, 2],
        manager=0,
        answers=10,
        newer=None,
    )
    return name, None, [("start",), ("fill", dict(fill, **what))]


ROWS = [
    row("Ctrl+Alt+V fills three Edit boxes in tab order"),
    row(
        "Ctrl+Alt+F7 fills from a copy offered as Unicode text only",
        keys="ctrl+alt+F7",
        clip={CF_UNICODETEXT: SERIAL.decode().encode("utf-16-le")},
    ),
    row(
        "every format comes back byte for byte: 8-bit and Unicode text that differ, HTML, an application's own, a picture",
        clip={
            CF_TEXT: SERIAL,
            CF_UNICODETEXT: WORLD.encode("utf-16-le"),
            "HTML Format": f"<b>{WORLD}</b>".encode() + b"\0",
            "Vtool": bytes(range(256)),
            "emf": 1,
        },
    ),
    row(
        "old text is replaced; a box after the last piece keeps its own",
        target=dict(boxes=4, texts=["OLD-0", "x", "ZZZZZZ", "KEEP"]),
        texts=PIECES + ["KEEP"],
    ),
    row(
        "focus in a box whose class is not Edit: backwards in tab order",
        target=dict(boxes=4, focus=2, class2="RichEdit20W", texts=["o0", "o1", "o2", "STAY"]),
        texts=["EF56", "CD34", "AB12", "STAY"],
        pastes=[2, 1, 0],
    ),
    row(
        "more pieces than boxes: the rest go on to the buttons, none is clicked",
        clip={CF_TEXT: b"A1-B2-C3-D4"},
        target=dict(boxes=2),
        texts=["A1", "B2"],
        pastes=[0, 1, 2, 3],
    ),
    row(
        "text without a dash: boxes and clipboard are left alone",
        clip={CF_TEXT: b"HELLO WORLD"},
        target=dict(texts=["k1", "k2", "k3"]),
        texts=["k1", "k2", "k3"],
        pastes=[],
    ),
    row(
        "a clipboard manager opens the clipboard at every change: each box still gets its own piece",
        clip={CF_TEXT: b"Key: K1A1-K1B2-K1C3-K1D4"},
        target=dict(boxes=4),
        texts=["K1A1", "K1B2", "K1C3", "K1D4"],
        pastes=[0, 1, 2, 3],
        manager=30,
    ),
    row(
        "the clipboard held 2 s after every change: the fill stops, no box gets another's piece",
        target=dict(texts=["OLD0", "OLD1", "OLD2"]),
        texts=[("AB12", "OLD0"), "OLD1", "OLD2"],
        pastes=[0],
        manager=2000,
    ),
    row(
        "box 2 sleeps 15 s in WM_PASTE: Vardix answers after its time-out, box 2 still gets its own piece, later boxes are untouched, "
        "the copy is back within 2 s of the box waking",
        clip={CF_TEXT: b"A1A1-B2B2-C3C3-D4D4"},
        target=dict(boxes=4, sleep1=15000, texts=["", "", "KEEP2", "KEEP3"]),
        texts=["A1A1", "B2B2", "KEEP2", "KEEP3"],
        pastes=[0, 1],
        answers=4.5,
    ),
    row(
        "another program copies while box 2 sleeps in WM_PASTE: its copy stays, no later box gets it",
        clip={CF_TEXT: b"A1A1-B2B2-C3C3-D4D4"},
        target=dict(boxes=4, sleep1=8000, texts=["", "", "KEEP2", "KEEP3"]),
        texts=["A1A1", None, "KEEP2", "KEEP3"],
        pastes=[0, 1],
        answers=4.5,
        newer=b"NEWER COPY",
    ),
    row("the target destroys itself at the second box's paste", target=dict(close=1), texts=None, pastes=[0, 1]),
    row(
        "33 MB of text, more than Vardix copies whole, with the code at its end: filled, and the text back",
        clip={CF_TEXT: BIG},
        target=dict(boxes=4),
        texts=["BIG1", "BIG2", "BIG3", "BIG4"],
        pastes=[0, 1, 2, 3],
    ),
]


def matches(texts, expected):
    return expected is None or all(
        e is None or t in (e if isinstance(e, tuple) else (e,)) for t, e in zip(texts, expected)
    )


class Fill(Story):
    def test_rows(self):
        BIG.write_bytes(
            (b"Lorem ipsum dolor sit amet 0123456789.\r\n" * 80000)[: 33 << 20] + b"Serial: BIG1-BIG2-BIG3-BIG4\0"
        )
        self.addCleanup((monitor := Bg("watch")).stop)  # a clipboard listener throughout
        self.monitor, _ = monitor, monitor.wait("watching")
        self.stories(ROWS)

    def do_fill(self, r):
        if r["manager"]:
            self.stack.callback((manager := Bg("watch", r["manager"])).stop)
        self.stack.callback((t := Target(**r["target"])).close)
        seq, before = put(r["clip"]), clipboard()[1]
        self.assertTrue(
            not r["manager"] or poll(lambda: [s for s in manager.get("seq") if s >= seq], 5),
            "the manager never saw the copy",
        )
        t.front()
        pressed = time.monotonic()
        press(r["keys"])
        newer = r["newer"] and Bg("put", "after=1000", f"{CF_TEXT}={r['newer'].hex()}00")
        # Posted once the fill runs: a message loop that runs gets to it, one stuck in SendMessage does not.
        poll(t.pastes, 2)
        post((letters := windows(self.v.hwnd, id=1006)[0])["hwnd"], CB_SETCURSEL, letters["value"] + 1)
        poll(lambda: windows(self.v.hwnd, id=1006, value=letters["value"] + 1), r["answers"])
        self.assertLess(time.monotonic() - pressed, r["answers"], "seconds until Vardix's message loop ran again")
        self.assertEqual(
            poll(lambda: t.pastes() == r["pastes"] and r["pastes"], 10 if r["pastes"] else 1.5) or t.pastes(),
            r["pastes"],
            "the controls that got WM_PASTE, in order",
        )
        woke = [t.bg.wait("woke", 20) for k in r["target"] if k.startswith("sleep")]
        if newer:
            self.stack.callback(newer.stop)
            self.assertEqual(
                clipboard()[0],
                newer.wait("seq"),
                "the sequence number: someone wrote over the other program's newer copy",
            )
        else:
            now, content = poll(lambda: (c := clipboard())[1] == before and c, 2 if woke else 15) or clipboard()
            self.assertEqual(
                (content, now != seq),
                (before, bool(r["pastes"])),
                "the user's clipboard (format, name, size, digest), and whether it was written",
            )
        got = r["texts"] and (poll(lambda: matches(g := t.texts(), r["texts"]) and g, 2) or t.texts())
        self.assertTrue(matches(got, r["texts"]), f"the boxes hold {got}, not {r['texts']}")
        self.assertTrue(
            t.bg.get("closed") if "close" in r["target"] else not t.bg.get("click"),
            "the target closed, or a button was clicked",
        )
        theirs = newer.get("seq") if newer else []
        self.assertEqual(
            [u for u in self.monitor.lines if u.get("seq", 0) > seq and not u["excluded"] and u["seq"] not in theirs],
            [],
            "updates a clipboard monitor would see",
        )
        self.assertEqual(
            (self.v.exit_code(), windows(pid=self.v.pid, text="vardix")),
            (None, []),
            "Vardix ended, or showed a message box",
        )
