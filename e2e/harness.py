#!/usr/bin/env python3
"""The end-to-end tests' Wine harness (e2e/README.md). `harness.py setup|cleanup|test_fill.Fill|...`"""
import collections, contextlib, datetime, json, os, re, shutil, subprocess, sys, tempfile, threading, time, unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
STATE = Path(os.environ.get("VARDIX_E2E_STATE", ROOT / "build/win64/e2e/session"))
TOOL = os.environ.get("VARDIX_E2E_VTOOL", str(ROOT / "build/win64/e2e/vtool.exe"))
PROGRAM = "Z:" + os.environ.get("VARDIX_E2E_PROGRAM", str(ROOT / "build/win64/vardix.exe")).replace("/", "\\")
WINE, MAIN = "/usr/lib/wine/wine64", "Vardix--用一种新的方式填写你的序列号!"
# Wine gives a program the UI language of its locale (vtool's programs inherit vtool's): C.UTF-8 gives English.
ENGLISH, EN = "Vardix--A new way to fill in your serial numbers!", "C.UTF-8"
# Both builds keep their settings and Run value in the 32-bit view, or per user where the machine's cannot be written.
SETTINGS = r"HKLM\SOFTWARE\WOW6432Node\Quorvantel"
RUN = r"HKLM\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Run"
USER = r"HKCU\Software\Quorvantel"
USER_RUN = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
SETTINGS64 = r"HKLM\SOFTWARE\Quorvantel"
WM_CLOSE, WM_COMMAND, BM_CLICK, CB_SETCURSEL = 16, 273, 245, 334
IDOK, IDCANCEL, IDYES, IDNO, CF_TEXT, CF_UNICODETEXT = 1, 2, 6, 7, 1, 13
SERIAL, PIECES = b"SN: AB12-CD34-EF56", ["AB12", "CD34", "EF56"]
FIELDS = "hwnd id class text pid visible enabled fg focus ready owner style ex value rect".split()
QUIET = {"ExcludeClipboardContentFromMonitorProcessing", "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard"}
QUIET.add("Clipboard Viewer Ignore")
# The last steps with their times, every vardix started, the session's environment.
STEPS, STARTED, ENV = collections.deque(maxlen=10), [], {}


def step(text):
    STEPS.append(f"{datetime.datetime.now():%H:%M:%S.%f}"[:-3] + " " + text[:160])


def env(lang=None):
    if not ENV:
        ENV.update(os.environ, **dict(re.findall(r"export (\w+)='([^']*)'", (STATE / "env.sh").read_text())))
    return dict(ENV, LC_ALL=lang) if lang else ENV


def poll(probe, timeout, interval=0.1):
    end = time.monotonic() + timeout
    while not (value := probe()) and time.monotonic() < end:
        time.sleep(interval)
    return value


def tool(*args, lang=None):
    # Now and then (1 start in 1,500 to 3,000 here) Wine cannot map a new process's shared user data page and ends it
    # with exit code 1 before it runs: a command with no answer at all is started again. Output goes through a file:
    # Wine's own background processes, which a program may start, would hold a pipe open.
    for attempt in range(3):
        with tempfile.TemporaryFile() as out:
            code = subprocess.run([WINE, TOOL, *map(str, args)], env=env(lang), stdout=out, timeout=60).returncode
            out.seek(0)
            lines = [json.loads(line) for line in out.read().decode().splitlines()]
        step(f"vtool {' '.join(map(str, args))}: {lines[-1] if lines else f'no answer, exit code {code}'}")
        if lines:
            return lines
    raise AssertionError(f"vtool {args[0]} gave no answer (exit code {code})")


class Bg:
    """A vtool command that runs on while the test goes on; its JSON lines arrive in .lines."""

    def __init__(self, *args, lang=None):
        for attempt in range(3):  # started again when Wine's loader ends it before it runs (see tool)
            step("vtool " + " ".join(map(str, args)) + " (runs on)")
            self.lines = []
            self.proc = subprocess.Popen(
                [WINE, TOOL, *map(str, args)], env=env(lang), stdout=subprocess.PIPE, text=True
            )
            self.reader = threading.Thread(target=self.read, daemon=True)
            self.reader.start()
            if poll(lambda: self.lines or self.proc.poll() is not None, 20) and self.lines:
                break

    def read(self):
        self.lines.extend(map(json.loads, self.proc.stdout))

    def get(self, key):
        return [line[key] for line in list(self.lines) if key in line]

    def wait(self, key, timeout=20):
        said = f"vtool {self.proc.args[2]} said no {key} within {timeout} s: {self.lines[-3:]}"
        assert poll(lambda: self.get(key), timeout), said
        return self.get(key)[0]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
        self.reader.join(5)
        self.proc.wait(5)
        self.proc.stdout.close()


def windows(parent=0, **match):
    found = (dict(zip(FIELDS, line)) for line in tool("windows", parent)[:-1])
    return [w for w in found if all(w[k] == v for k, v in match.items())]


def window(hwnd):
    return (windows(hwnd=hwnd) or [None])[0]


def post(hwnd, message, wparam=0):
    tool("post", hwnd, message, wparam)


def press(*keys):
    xdotool("key --clearmodifiers " + " ".join(keys))


def xdotool(commands):
    """xdotool's commands, such as "keydown v sleep 1.2 keyup v"; returns once they are done."""
    step("xdotool " + commands)
    subprocess.run(["xdotool", *commands.split()], env=env(), check=True)


def dword(value):
    return 4, value.to_bytes(4, "little")


def focus(hwnd):
    answer = tool("focus", hwnd)[0]
    assert answer["fg"], f"window {hwnd} did not come to the front"
    subprocess.run(["xdotool", "windowfocus", "--sync", str(answer["xid"])], env=env(), check=True)


def held(vk):
    assert (answer := tool("hotkey", vk)[0])["error"] in (0, 1409), answer
    return not answer["registered"]


def put(formats):
    def argument(key, value):
        if isinstance(value, Path):
            return f"{key}=@Z:{value}"
        return (
            f"{key}=1"
            if key == "emf"
            else f"{key}={value.hex()}" + {CF_TEXT: "00", CF_UNICODETEXT: "0000"}.get(key, "")
        )

    return tool("put", *(argument(k, v) for k, v in formats.items()))[0]["seq"]


def clipboard():
    """The sequence number, the formats other than the markers, and whether the markers are there."""
    *formats, last = tool("dump")
    return last["seq"], [f for f in formats if f[1] not in QUIET], any(f[1] in QUIET for f in formats)


def reg(*args):
    *values, answer = tool("reg", *args)
    assert answer["status"] in {"get": (0, 2), "del": (0, 2)}.get(args[0], (0,)), f"reg {args}: {answer}"
    return None if answer["status"] else {name: (kind, data.encode("latin-1")) for name, kind, data in values}


def run_value(key):
    return (reg("get", key) or {}).get("Quorvantel")


class Vardix:
    def __init__(self, *args, program=PROGRAM, lang=None):
        self.caption = ENGLISH if lang == EN else MAIN
        for attempt in range(3):  # exit code 1 at once: Wine could not start it (see tool); thrice, it is vardix's own
            self.run, self.hwnd = Bg("run", program, *args, lang=lang), None
            self.pid = self.run.wait("pid")
            if self.exit_code(0.3) != 1:
                break
        STARTED.append(self)

    def exit_code(self, timeout=0):
        return (poll(lambda: self.run.get("exit"), timeout) or [None])[0]

    def status(self):
        code = self.exit_code()
        if code is None:
            return f"pid {self.pid} running"
        return f"pid {self.pid} exit code " + (str(code) if code < 0x10000 else f"0x{code:08X}")

    def main(self):
        found = poll(lambda: windows(text=self.caption, pid=self.pid, ready=1) or self.exit_code() is not None, 20, 0.2)
        assert isinstance(found, list) and found, "no usable main dialog within 20 s"
        self.hwnd = found[0]["hwnd"]

    def stop(self):
        if self.exit_code() is None and self.hwnd:
            post(self.hwnd, WM_CLOSE)
        if self.exit_code(5) is None:
            subprocess.run([WINE, "taskkill", "/f", "/pid", str(self.pid)], env=env(), capture_output=True)
        self.exit_code(5)
        self.run.stop()


class Target:
    """A vtool target: `boxes` controls, then OK and Cancel; every option is vtool's `key=value`."""

    def __init__(self, boxes=3, texts=(), **options):
        texts = (f"text{i}={t}" for i, t in enumerate(texts))
        self.bg = Bg("target", f"boxes={boxes}", *texts, *(f"{k}={v}" for k, v in options.items()))
        self.boxes, self.hwnd = boxes, self.bg.wait("ready")
        self.planned = self.bg.get("box")[options.get("focus", 0)]

    def front(self):
        focus(self.hwnd)
        planned = poll(lambda: windows(self.hwnd, hwnd=self.planned, focus=1), 5)
        assert planned, "the target's planned box did not get the focus"

    def texts(self):
        return [c["text"] for c in sorted(windows(self.hwnd), key=lambda c: c["id"])[: self.boxes]]

    def pastes(self):
        """The boxes that got WM_PASTE, in order, a paste tried again counted once, and whether each paste found
        Vardix's marker on the clipboard (a clipboard monitor would have looked at the piece otherwise)."""
        got = self.bg.get("paste")
        once = [b for i, b in enumerate(got) if i == 0 or b != got[i - 1]]
        return once, all(self.bg.get("marked"))

    def close(self):
        self.bg.proc.poll() is None and post(self.hwnd, WM_CLOSE)
        self.bg.stop()


class Story(unittest.TestCase):
    """Rows of (name, settings stored before, steps); a step (action, *args) runs the method do_action."""

    def stories(self, rows):
        for name, stored, steps in rows:
            with self.subTest(name), contextlib.ExitStack() as self.stack:
                try:
                    self.reset(stored)
                    for action, *args in steps:
                        step(f"{action} {args}")
                        getattr(self, "do_" + action)(*args)
                except Exception as error:
                    vardix = "; ".join(v.status() for v in STARTED[-3:])
                    steps = "\n  ".join(STEPS)
                    raise self.failureException(f"{error}\nvardix: {vardix}\nlast steps:\n  {steps}") from None

    def reset(self, stored):
        assert not windows(text=MAIN) + windows(text=ENGLISH), "a main dialog of an earlier row is still there"
        self.lang = None
        for key in (SETTINGS, SETTINGS64, USER):
            reg("del", key)
        for key in (RUN, USER_RUN):
            reg("del", key, "Quorvantel")
        for value, data in (stored or {}).items():
            reg("set", SETTINGS, value, 4, dword(data)[1].hex())

    def eventually(self, probe, expected, timeout, what):
        """Waits until probe() gives what is expected, then asserts it: a failure shows what it gave last."""
        self.assertEqual(poll(lambda: (x := probe()) == expected and x, timeout) or probe(), expected, what)

    def responds(self, seconds, since):
        """Vardix's message loop runs again within `seconds` of `since`: a message posted now is handled by a loop that
        runs, not by one stuck in SendMessage or in a clipboard read."""
        letters = windows(self.v.hwnd, id=1006)[0]
        post(letters["hwnd"], CB_SETCURSEL, letters["value"] + 1)
        poll(lambda: windows(self.v.hwnd, id=1006, value=letters["value"] + 1), seconds, 0.05)
        self.assertLess(time.monotonic() - since, seconds, "seconds until Vardix's message loop ran again")

    def do_lang(self, lang):  # for the Vardix started from here on
        self.lang = lang

    def do_start(self, *args):
        self.v = Vardix(*args, lang=self.lang)
        self.stack.callback(self.v.stop)
        self.v.main()

    def do_second(self):
        self.stack.callback((second := Vardix(lang=self.lang)).stop)
        got = (second.exit_code(10), [w["hwnd"] for w in windows(text=self.v.caption)])
        self.assertEqual(got, (0, [self.v.hwnd]), "exit code, main dialogs")

    def do_fills(self, keys, fill=True):
        self.stack.callback((target := Target()).close)
        put({CF_TEXT: SERIAL})
        target.front()
        press(keys)
        texts = poll(lambda: (t := target.texts()) == PIECES and t, 10 if fill else 1.5, 0.2) or target.texts()
        self.assertEqual(texts == PIECES, fill, f"{keys} {'did not fill' if fill else 'filled'} the target: {texts}")

    def do_stop(self):
        self.v.stop()

    def do_ends(self, code):
        self.assertEqual(self.v.exit_code(10), code, "Vardix's exit code")

    def do_stored(self, values, autostart, user=False):
        """The settings and the Run value in the machine's hive (32-bit view), or the user's; the other hive's Run
        value, the 64-bit machine key and, for the machine's, the user's key stay absent or empty."""
        run = (1, f'"{PROGRAM}"  /runmin'.encode("utf-16-le") + b"\0\0") if autostart else None
        key, run_key, other_run = (USER, USER_RUN, RUN) if user else (SETTINGS, RUN, USER_RUN)
        got = [reg("get", key), run_value(run_key), run_value(other_run), reg("get", SETTINGS64)]
        got.append(None if user else reg("get", USER) or None)
        expected = [values and {k: dword(v) for k, v in values.items()}, run, None, None, None]
        self.assertEqual(got, expected, "the settings, the Run value, the other hive's, the 64-bit key, the user's key")

    def do_hotkeys(self, expected):
        self.assertEqual({vk: held(vk) for vk in expected}, expected, "Ctrl+Alt+key held by someone")

    def do_nobox(self):
        self.assertFalse(poll(lambda: windows(pid=self.v.pid, text="vardix"), 1), "a message box of Vardix")


def setup():
    cleanup()
    shutil.rmtree(STATE, ignore_errors=True)
    subprocess.run(["bash", ROOT / "scripts/wine-env.sh", "start", STATE], check=True)
    with open(STATE / "keep.out", "w") as out:
        subprocess.Popen([WINE, TOOL, "watch"], env=env(), stdout=out, stderr=out, start_new_session=True)
    answer = poll(lambda: (STATE / "keep.out").read_text(), 60, 0.2)
    assert '"acp":936' in answer, f"Wine's code page is not 936 (the zh_CN.UTF-8 locale is not in effect): {answer}"


def cleanup():
    subprocess.run(["bash", ROOT / "scripts/wine-env.sh", "stop", STATE], check=True)


if __name__ == "__main__":
    {"setup": setup, "cleanup": cleanup}.get(sys.argv[1], lambda: unittest.main(module=None, verbosity=2))()
