"""Typing into boxes that a window draws itself (vtool pane), where nothing can be pasted: the pieces are typed, the
clipboard is only read, and consoles, multi-line texts and other windows get nothing."""
import time

from harness import CF_TEXT, CF_UNICODETEXT, WM_CLOSE, Bg, Story, clipboard, focus, poll, post, put
from harness import xdotool

PRESS = "keydown ctrl keydown alt keydown v sleep 0.1 keyup v sleep 0.3 keyup alt keyup ctrl"  # as a person does
RIGHT_ALT = "keydown ctrl keydown Alt_R keydown v sleep 0.1 keyup v sleep 1.5 keyup Alt_R keyup ctrl"
LETTER_HELD = "keydown ctrl keydown alt keydown v sleep 1.5 keyup v keyup alt keyup ctrl"
WIDE = "序列号: AB12-CD34-\u0631\u0645-EF\U0001F511"  # Arabic and emoji are not in code page 936
FOUR, OLD = ["AB12", "CD34", "\u0631\u0645", "EF\U0001F511"], ["OLD0", "", "", "KEEP"]


def row(name, pane, boxes=None, at=0, keys=PRESS, text=WIDE):
    return name, None, [("start",), ("typed", pane, boxes or OLD, keys, at, text)]


ADVANCE, ACC3, CHILD = {"advance": 4, "acc": 1, "list": 50}, {"acc": 1, "boxes": 3}, {"child": 1, "acc": 1}
ONE = FOUR[:1] + OLD[1:]  # acc=1: a button after the boxes, its typed keys as the last text
ROWS = [
    row("four pieces typed, box 1's old text replaced, the clipboard only read", {}, FOUR, at=3),
    row("move on by themselves, say so, a list item 50 ms later: none skipped or typed over", ADVANCE, FOUR + [""], 3),
    row("more pieces than boxes: nothing typed onto the button after them", ACC3, FOUR[:3] + OLD[3:], at=3),
    row(
        "Ctrl and the right Alt held 1.5 s after the letter: let go of, typed, no menu", {"menu": 1}, FOUR, 3, RIGHT_ALT
    ),
    row("a piece with a tab inside: nothing typed", {}, text="SN: AB12-C\tD34-EF56"),
    row("the Remote Desktop client's input window: nothing typed", {"class": "IHWindowClass"}),
    row("the letter held 1.5 s, its auto-repeat among the presses: typed once", {}, FOUR, 3, LETTER_HELD),
    row("another window comes to the front after piece 1: typing stops", {"steal": 1}, ONE, at=1),
    row("the focus goes to another window of the pane's after piece 1: no key reaches it", CHILD, ONE + [""], at=1),
    ("a dialog of Edit boxes: pasted as before", None, [("start",), ("fills", "ctrl+alt+v")]),
]


class Typed(Story):
    def test_rows(self):
        self.stories(ROWS)

    def pane(self, *args):
        pane = Bg("pane", *args)
        self.stack.callback(pane.stop)
        self.stack.callback(lambda: post(pane.get("ready")[0], WM_CLOSE))
        pane.wait("ready")
        return pane

    def do_typed(self, options, boxes, keys, at, text):
        thief = options.get("steal") and self.pane("boxes=1")
        options = dict(options, **({"steal": thief.get("ready")[0]} if thief else {}))
        pane = self.pane(*(f"text{i}={t}" for i, t in enumerate(OLD) if t), *(f"{k}={v}" for k, v in options.items()))
        before = clipboard() if put({CF_TEXT: b"SN: XX-YY", CF_UNICODETEXT: text.encode("utf-16-le")}) else None
        focus(pane.get("ready")[0])
        xdotool(keys)
        poll(lambda: pane.get("boxes")[-1] == boxes != OLD, 5)
        time.sleep(1.5)  # and nothing more comes
        seen = (pane.get("boxes")[-1], pane.get("at")[-1], pane.get("menu"), thief and thief.get("boxes")[1:])
        self.assertEqual(
            (*seen, clipboard()),
            (boxes, at, [], thief and [], before),
            "the boxes, the box with the focus, a menu opened, keys in the other window, the clipboard",
        )
