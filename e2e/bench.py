#!/usr/bin/env python3
"""The Wine test bench for the end-to-end tests.

As a command:
    bench.py setup     create the session: locale, Xvfb, keymap, Wine prefix
    bench.py cleanup   end the session's Xvfb and the prefix's wineserver
    bench.py shell     print the session's environment as shell exports
The session lives in $VARDIX_E2E_STATE (CTest sets it to a folder of the build
directory); $VARDIX_E2E_VTOOL is the helper program, $VARDIX_E2E_PROGRAM the
vardix.exe under test.

As a module it gives the tests a Session (run Wine programs, press keys, read
and write the clipboard), Vardix (the program under test) and Target (a
dialog of the helper that the program fills).
"""

from __future__ import annotations

import contextlib
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path
from typing import Any, Callable, Iterable

WINE64 = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
HERE = Path(__file__).resolve().parent
KEYMAP = HERE / "plain-fkeys.xkb"
SESSION_FILE = "session.json"

ERROR_HOTKEY_ALREADY_REGISTERED = 1409

# Clipboard format names as the helper knows them.
CF_TEXT = "CF_TEXT"
CF_UNICODETEXT = "CF_UNICODETEXT"
HTML_FORMAT = "HTML Format"


class BenchError(Exception):
    """The bench itself could not do what a test asked of it."""


def log(message: str) -> None:
    print(f"[bench {time.strftime('%H:%M:%S')}] {message}", file=sys.stderr, flush=True)


def poll(probe: Callable[[], Any], timeout: float, interval: float = 0.1) -> Any:
    """Calls probe until it returns something true or timeout seconds pass.

    Returns the last value either way, so a failing test can show what it
    saw last rather than just "timed out"."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


def state_dir() -> Path:
    value = os.environ.get("VARDIX_E2E_STATE")
    if not value:
        raise BenchError("VARDIX_E2E_STATE is not set (run the tests through ctest --preset win64)")
    return Path(value)


def required_env(name: str) -> str:
    value = os.environ.get(name)
    if not value:
        raise BenchError(f"{name} is not set (run the tests through ctest --preset win64)")
    return value


# ---------------------------------------------------------------------------
# Session setup and cleanup


def run_captured(argv: list[str], env: dict[str, str] | None = None,
                 timeout: float = 60) -> subprocess.CompletedProcess[str]:
    """Runs a program to its end and returns its output.

    The output goes through files, not pipes: a Wine program may start
    Wine's own background processes (explorer, services), which inherit its
    handles and keep a pipe open long after the program itself has ended."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        proc = subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                              timeout=timeout)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(argv, proc.returncode,
                                           out.read().decode("utf-8", "replace"),
                                           err.read().decode("utf-8", "replace"))


def _run(argv: list[str], env: dict[str, str] | None = None, timeout: float = 60,
         check: bool = True) -> subprocess.CompletedProcess[str]:
    proc = run_captured(argv, env=env, timeout=timeout)
    if check and proc.returncode != 0:
        raise BenchError(f"{' '.join(argv)} exited with {proc.returncode}:\n{proc.stdout}{proc.stderr}")
    return proc


def _ensure_locale(state: Path) -> str | None:
    """Returns a LOCPATH that holds zh_CN.UTF-8, or None if the system has it.

    Wine takes its ANSI code page from the C library's locale; without a
    compiled zh_CN.UTF-8 the code page silently stays 1252."""
    available = _run(["locale", "-a"], check=False).stdout.split()
    if any(name.lower().replace("-", "") == "zh_cn.utf8" for name in available):
        return None
    locpath = state.parent / "locale"
    compiled = locpath / "zh_CN.UTF-8"
    if not (compiled / "LC_CTYPE").exists():
        log(f"compiling the zh_CN.UTF-8 locale into {locpath}")
        locpath.mkdir(parents=True, exist_ok=True)
        # localedef exits with 1 for mere warnings; the compiled files decide.
        _run(["localedef", "-i", "zh_CN", "-f", "UTF-8", str(compiled)], check=False, timeout=120)
        if not (compiled / "LC_CTYPE").exists():
            raise BenchError("localedef could not compile zh_CN.UTF-8 (is the locales package installed?)")
    return str(locpath)


def _start_xvfb(state: Path) -> tuple[str, int]:
    read_end, write_end = os.pipe()
    with open(state / "xvfb.log", "wb") as xlog:
        # -displayfd lets the server pick a free display itself: no race with
        # other sessions on the same machine.
        proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             # Without -noreset the server resets, keymap included, whenever
             # its last client disconnects: between any two test steps.
             "-noreset"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=xlog, stderr=xlog,
            start_new_session=True)
    os.close(write_end)
    data = b""
    deadline = time.monotonic() + 20
    while not data.endswith(b"\n") and time.monotonic() < deadline:
        ready, _, _ = select.select([read_end], [], [], 0.5)
        if ready:
            chunk = os.read(read_end, 64)
            if not chunk:
                break
            data += chunk
    os.close(read_end)
    if not data.strip():
        proc.kill()
        raise BenchError(f"Xvfb did not report a display; see {state / 'xvfb.log'}")
    return f":{data.decode().strip()}", proc.pid


def _load_keymap(display: str) -> None:
    env = dict(os.environ, DISPLAY=display)
    _run(["xkbcomp", "-w", "0", "-I/usr/share/X11/xkb", str(KEYMAP), display], env=env)
    dump = _run(["xkbcomp", "-xkb", display, "-"], env=env).stdout
    start = dump.find("key <FK07>")
    f7 = dump[start:dump.find("};", start)] if start >= 0 else ""
    if "Switch_VT" in f7 or "F7" not in f7:
        raise BenchError(f"the keymap did not take: <FK07> is {' '.join(f7.split())!r}")


def _write_session(state: Path, session: dict[str, Any]) -> None:
    (state / SESSION_FILE).write_text(json.dumps(session, indent=2))
    # LOCPATH first: a shell applies LC_ALL as soon as it is exported.
    ordered = sorted(session["env"].items(), key=lambda item: item[0] != "LOCPATH")
    exports = "".join(f"export {key}='{value}'\n" for key, value in ordered)
    (state / "env.sh").write_text(exports)


def setup() -> int:
    started = time.monotonic()
    state = state_dir()
    vtool = required_env("VARDIX_E2E_VTOOL")
    if (state / SESSION_FILE).exists():
        log("ending the session a previous run left behind")
        cleanup()
    state.mkdir(parents=True, exist_ok=True)

    session_env = {
        "WINEPREFIX": str(state / "prefix"),
        "WINEDEBUG": "-all",
        # No Mono or Gecko download prompts while the prefix is created.
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "LC_ALL": "zh_CN.UTF-8",
    }
    locpath = _ensure_locale(state)
    if locpath:
        session_env["LOCPATH"] = locpath

    display, xvfb_pid = _start_xvfb(state)
    session_env["DISPLAY"] = display
    session = {"env": session_env, "xvfb_pid": xvfb_pid}
    # Written before anything else can fail, so that cleanup finds the server.
    _write_session(state, session)
    log(f"Xvfb {xvfb_pid} on {display}")
    _load_keymap(display)

    env = dict(os.environ, **session_env)
    prefix = Path(session_env["WINEPREFIX"])
    shutil.rmtree(prefix, ignore_errors=True)
    prefix.mkdir(parents=True)
    # A persistent server stays up between programs instead of restarting,
    # with Wine's services, each time the last program of a step ends. It is
    # started first (it needs the prefix folder to exist) because a second
    # server cannot start while wineboot's own is still winding down. It
    # detaches, keeping its standard handles.
    _run([WINESERVER, "-p"], env=env)
    _run([WINE64, "wineboot", "-i"], env=env, timeout=180)
    _run([WINE64, "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f"], env=env)

    acp = _run([WINE64, vtool, "acp"], env=env).stdout
    code_page = json.loads(acp.strip().splitlines()[-1]).get("acp")
    if code_page != 936:
        raise BenchError(f"Wine's ANSI code page is {code_page}, not 936: the zh_CN.UTF-8 locale is not in effect")
    session["acp"] = code_page
    _write_session(state, session)
    _check_keys_reach_wine()
    log(f"session ready in {time.monotonic() - started:.1f} s; code page {code_page}; "
        f"'. {state / 'env.sh'}' gives a shell the same environment")
    return 0


def _check_keys_reach_wine() -> None:
    """A Ctrl+Alt+F7 typed into one Wine window reaches another program's
    hotkey: the keymap took, and focus and key presses work as the tests
    need. A failure here is the bench's, not the program's."""
    session = Session()
    holder = session.spawn_vtool("setup-hotkey", "hotkey", "--vk", "F7", "--id", "7", "--seconds", "60")
    try:
        registered = holder.wait_event(lambda e: "registered" in e, 15)
        if not registered or not registered["registered"]:
            raise BenchError(f"the helper could not register Ctrl+Alt+F7: {registered}")
        with Target(session, preset="three", caption="Vtool Keymap Check") as target:
            target.focus()
            session.press("ctrl+alt+F7")
            if not holder.wait_event(lambda e: e.get("event") == "hotkey", 5):
                raise BenchError("Ctrl+Alt+F7 pressed with xdotool did not reach a Wine program")
    finally:
        holder.stop()


def _is_our_xvfb(pid: int) -> bool:
    try:
        cmdline = Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0")
    except OSError:
        return False
    return bool(cmdline) and cmdline[0].endswith(b"Xvfb")


def cleanup() -> int:
    state = state_dir()
    path = state / SESSION_FILE
    if not path.exists():
        log("no session to end")
        return 0
    session = json.loads(path.read_text())
    env = dict(os.environ, **session["env"])
    # -k ends the servers of this prefix only.
    if Path(session["env"]["WINEPREFIX"]).exists():
        _run([WINESERVER, "-k"], env=env, check=False, timeout=30)
    pid = int(session.get("xvfb_pid", 0))
    if pid and _is_our_xvfb(pid):
        os.kill(pid, signal.SIGTERM)
        if not poll(lambda: not _is_our_xvfb(pid), 5):
            os.kill(pid, signal.SIGKILL)
    path.unlink()
    log("session ended")
    return 0


def shell() -> int:
    print((state_dir() / "env.sh").read_text(), end="")
    return 0


# ---------------------------------------------------------------------------
# What the tests use


class Spawned:
    """A Wine program running in the background; collects its JSON lines."""

    def __init__(self, session: "Session", argv: list[str], name: str):
        self.name = name
        self.events: list[dict[str, Any]] = []
        self._cond = threading.Condition()
        session.log_dir.mkdir(parents=True, exist_ok=True)
        self._stderr = open(session.log_dir / f"{name}.stderr", "w")
        self.proc = subprocess.Popen([WINE64, *argv], env=session.env, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=self._stderr, text=True,
                                     errors="replace")
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self) -> None:
        assert self.proc.stdout is not None
        for line in self.proc.stdout:
            line = line.strip()
            if not line.startswith("{"):
                continue
            try:
                event = json.loads(line)
            except json.JSONDecodeError:
                continue
            with self._cond:
                self.events.append(event)
                self._cond.notify_all()

    def wait_event(self, predicate: Callable[[dict[str, Any]], bool], timeout: float) -> dict[str, Any] | None:
        deadline = time.monotonic() + timeout
        with self._cond:
            while True:
                for event in self.events:
                    if predicate(event):
                        return event
                remaining = deadline - time.monotonic()
                if remaining <= 0 or (self.proc.poll() is not None and not self._reader.is_alive()):
                    return None
                self._cond.wait(min(remaining, 0.2))

    def snapshot(self) -> list[dict[str, Any]]:
        with self._cond:
            return list(self.events)

    def alive(self) -> bool:
        return self.proc.poll() is None

    def stop(self, timeout: float = 5) -> None:
        if self.proc.poll() is None:
            # Ending the Unix process of a Wine program ends the Windows
            # process; the wineserver cleans up its windows and hotkeys.
            self.proc.terminate()
            try:
                self.proc.wait(timeout)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout)
        self._reader.join(timeout)
        if self.proc.stdout:
            self.proc.stdout.close()
        self._stderr.close()


class Session:
    """The shared Wine session that bench.py setup created."""

    def __init__(self) -> None:
        self.state = state_dir()
        path = self.state / SESSION_FILE
        if not path.exists():
            raise BenchError(f"no session in {self.state}: run the e2e.setup test first")
        self.session = json.loads(path.read_text())
        self.env = dict(os.environ, **self.session["env"])
        self.vtool_path = required_env("VARDIX_E2E_VTOOL")
        self.program = os.environ.get("VARDIX_E2E_PROGRAM", "")
        self.log_dir = self.state / "logs"

    # -- running things

    def wine(self, *argv: str, timeout: float = 60) -> subprocess.CompletedProcess[str]:
        return run_captured([WINE64, *argv], env=self.env, timeout=timeout)

    def vtool(self, *args: str, expect: Iterable[int] = (0,), timeout: float = 60) -> dict[str, Any]:
        """Runs one helper command; returns its last JSON line."""
        proc = self.wine(self.vtool_path, *args, timeout=timeout)
        if proc.returncode not in tuple(expect):
            raise BenchError(f"vtool {' '.join(args)} exited with {proc.returncode}: "
                             f"{proc.stdout.strip()} {proc.stderr.strip()}")
        lines = [line for line in proc.stdout.splitlines() if line.startswith("{")]
        result = json.loads(lines[-1]) if lines else {}
        result["_exit"] = proc.returncode
        return result

    def spawn_vtool(self, name: str, *args: str) -> Spawned:
        return Spawned(self, [self.vtool_path, *args], name)

    def xdotool(self, *args: str, timeout: float = 10) -> str:
        proc = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True,
                              timeout=timeout, stdin=subprocess.DEVNULL)
        if proc.returncode != 0:
            raise BenchError(f"xdotool {' '.join(args)} exited with {proc.returncode}: {proc.stderr.strip()}")
        return proc.stdout

    def press(self, combo: str) -> None:
        """A real key press on the X display, as a user's keyboard makes it."""
        self.xdotool("key", "--clearmodifiers", combo)

    def screenshot(self, name: str) -> Path:
        self.log_dir.mkdir(parents=True, exist_ok=True)
        path = self.log_dir / (re.sub(r"\W+", "_", name) + ".png")
        subprocess.run(["import", "-window", "root", str(path)], env=self.env, capture_output=True, timeout=20)
        return path

    # -- registry

    def reset_settings(self) -> None:
        """Every scenario starts as on a machine where vardix never ran."""
        reg = self.state / "reset.reg"
        reg.write_text(
            "REGEDIT4\r\n\r\n"
            "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvantel]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
            "\"Quorvantel\"=-\r\n", encoding="ascii")
        proc = self.wine("regedit", "/s", str(reg))
        if proc.returncode != 0:
            raise BenchError(f"regedit could not reset the settings: {proc.stderr.strip()}")

    # -- clipboard

    def set_clipboard(self, formats: dict[str, bytes]) -> None:
        """Empties the clipboard and puts exactly these formats on it."""
        self.vtool("clip-put", *(f"{name}={data.hex()}" for name, data in formats.items()))

    def clipboard(self, name: str) -> bytes | None:
        result = self.vtool("clip-get", name, expect=(0, 1))
        return bytes.fromhex(result["hex"]) if result.get("present") else None

    def clipboard_state(self) -> dict[str, Any]:
        """Sequence number, owner window and process, formats: for messages."""
        return self.vtool("clip-formats")

    # -- windows

    def find(self, *query: str, wait: float = 0) -> dict[str, Any] | None:
        deadline = time.monotonic() + wait
        while True:
            left = max(deadline - time.monotonic(), 0.0)
            result = self.vtool("find", *query, "--wait", f"{left:.1f}", expect=(0, 1))
            if result.get("found"):
                return result["windows"][0]
            # Now and then Wine runs the helper without its output reaching
            # us (seen right after a program of the prefix ended); only an
            # answer of "not found" means the window is not there.
            if "found" in result or time.monotonic() >= deadline:
                return None
            log(f"vtool find {' '.join(query)} gave no answer; asking again")

    def message_boxes(self, pid: int | None = None) -> list[dict[str, Any]]:
        args = ["msgbox", "--caption", "@vardix"] + (["--pid", str(pid)] if pid else [])
        return self.vtool(*args, expect=(0, 1)).get("boxes", [])


def wait_for_settled_desktop(session: Session) -> str | None:
    """Waits until Wine's clipboard manager runs in the current desktop
    process. Returns the window of a new one that took over meanwhile (it
    empties the clipboard right after it starts and owns it from then on),
    None when the manager was in place all along."""
    turned_over = False
    last: dict[str, Any] = {}

    def settled() -> bool:
        nonlocal turned_over, last
        last = session.vtool("desktop")
        current = [m["pid"] for m in last["clipboard_managers"]] == [last["desktop_pid"]]
        turned_over = turned_over or not current
        return current

    if not poll(settled, 30, interval=0.2):
        raise BenchError(f"Wine's clipboard manager is not in the desktop process: {last}")
    if not turned_over:
        return None
    log("waited for Wine's new desktop process to take the clipboard over")
    return last["clipboard_managers"][0]["hwnd"]


class DesktopKeeper:
    """Keeps one program of the prefix running, so that Wine's desktop
    process, and the clipboard manager inside it, stay the same.

    About a second after the prefix's last program ends, Wine winds the
    desktop process down. A program started meanwhile gets a new one, whose
    clipboard manager waits for the old one's to go and then empties the
    clipboard: seconds later, in the middle of a scenario. Between rows the
    program under test and the target both end, so without a keeper this
    happens whenever the rows are slow enough (as under load)."""

    def __init__(self, session: "Session", name: str):
        self.session = session
        # A windowless helper that waits in GetMessage; the combination is
        # one that no test presses.
        self.process = session.spawn_vtool(f"{name}-keeper", "hotkey", "--vk", "F24",
                                           "--mods", "ctrl+alt+shift+win", "--id", "49151")
        if not self.process.wait_event(lambda e: "registered" in e, 30):
            raise BenchError(f"the desktop keeper did not start: {self.process.snapshot()}")
        manager = wait_for_settled_desktop(session)
        if manager:
            poll(lambda: session.clipboard_state()["owner"] == manager, 3, interval=0.1)

    def stop(self) -> None:
        self.process.stop()


class Vardix:
    """The program under test, started fresh with no settings."""

    def __init__(self, session: Session):
        self.session = session
        self.process: Spawned | None = None
        self.window: dict[str, Any] | None = None

    def start(self) -> "Vardix":
        if not self.session.program or not Path(self.session.program).exists():
            raise BenchError(f"{self.session.program} does not exist: build it first "
                             "(cmake --build --preset win64)")
        self.session.reset_settings()
        self.process = Spawned(self.session, [self.session.program], "vardix")
        # Ready, not just there: the window exists before its initialisation
        # registers the hotkeys, and a probe in between would take one.
        self.window = self.session.find("--caption", "@vardix-main", "--ready", wait=20)
        if not self.window:
            raise BenchError("vardix.exe showed no main window within 20 s "
                             f"(still running: {self.process.alive()})")
        # Its own window is up; now make sure it holds both hotkeys, which a
        # second registration of the same combination proves.
        for vk in ("V", "F7"):
            probe = self.session.vtool("hotkey", "--vk", vk, "--seconds", "0", expect=(0, 2))
            if probe.get("registered", True) or probe.get("error") != ERROR_HOTKEY_ALREADY_REGISTERED:
                raise BenchError(f"vardix.exe does not hold Ctrl+Alt+{vk}: {probe}")
        return self

    @property
    def pid(self) -> int:
        assert self.window is not None
        return int(self.window["pid"])

    def alive(self) -> bool:
        if not self.process or not self.process.alive() or not self.window:
            return False
        return self.session.find("--hwnd", self.window["hwnd"]) is not None

    def stop(self) -> None:
        if not self.process:
            return
        if self.process.alive() and self.window:
            # The close box ends the program at once, unless a message box of
            # its own is still open; then ending the process is all that is left.
            self.session.vtool("close", "--hwnd", self.window["hwnd"], "--wait", "5", expect=(0, 1))
            try:
                self.process.proc.wait(5)
            except subprocess.TimeoutExpired:
                pass
        self.process.stop()


class Target:
    """A dialog of the helper program for vardix to fill."""

    def __init__(self, session: Session, preset: str | None = None, fills: dict[int, str] | None = None,
                 paste_sleep: dict[int, int] | None = None, paste_destroy: int | None = None,
                 caption: str = "Vtool Target"):
        self.session = session
        args = ["target", "--caption", caption]
        if preset:
            args += ["--preset", preset]
        for index, text in (fills or {}).items():
            args += ["--fill", f"{index}={text.encode('utf-8').hex()}"]
        for index, ms in (paste_sleep or {}).items():
            args += ["--paste-sleep", f"{index}={ms}"]
        if paste_destroy is not None:
            args += ["--paste-destroy", str(paste_destroy)]
        self.args = args
        self.process: Spawned | None = None
        self.ready: dict[str, Any] = {}

    def start(self) -> "Target":
        self.process = self.session.spawn_vtool("target", *self.args)
        ready = self.process.wait_event(lambda e: e.get("event") == "ready", 20)
        if not ready:
            raise BenchError(f"the target dialog did not come up: {self.process.snapshot()}")
        if ready["xid"] == "0x0":
            raise BenchError("the target dialog has no X window")
        self.ready = ready
        return self

    def __enter__(self) -> "Target":
        return self.start()

    def __exit__(self, *exc: object) -> None:
        self.close()

    @property
    def hwnd(self) -> str:
        return self.ready["hwnd"]

    @property
    def boxes(self) -> list[dict[str, Any]]:
        return self.ready["boxes"]

    def read(self) -> dict[str, Any] | None:
        result = self.session.vtool("read", "--hwnd", self.hwnd, expect=(0, 1))
        return result if result.get("found") else None

    def texts(self) -> list[str] | None:
        """The texts of all controls, in tab order; None once the dialog is gone."""
        result = self.read()
        if not result:
            return None
        by_hwnd = {control["hwnd"]: control["text"] for control in result["controls"]}
        return [by_hwnd.get(box["hwnd"], "<gone>") for box in self.boxes]

    def wait_texts(self, expected: list[str], timeout: float = 10) -> list[str] | None:
        seen: list[list[str] | None] = [None]

        def probe() -> bool:
            seen[0] = self.texts()
            return seen[0] == expected

        poll(probe, timeout, interval=0.2)
        return seen[0]

    def focus(self) -> None:
        """Gives the dialog the X input focus and waits until Windows agrees:
        the dialog is the foreground window and the planned box has the focus."""
        want = self.boxes[self.ready["focus"]]["hwnd"]
        last: dict[str, Any] | None = None

        def focused() -> bool:
            nonlocal last
            last = self.read()
            return bool(last and last["window"]["foreground"] and last["focus"] == want)

        for _ in range(3):
            self.session.xdotool("windowfocus", "--sync", self.ready["xid"])
            if poll(focused, 5, interval=0.2):
                return
        raise BenchError(f"the target never got the focus; last state: {last}")

    def events(self, kind: str) -> list[dict[str, Any]]:
        assert self.process is not None
        return [e for e in self.process.snapshot() if e.get("event") == kind]

    def pastes(self) -> list[int]:
        """The boxes that received WM_PASTE, in order."""
        return [e["box"] for e in self.events("paste")]

    def alive(self) -> bool:
        return bool(self.process and self.process.alive())

    def close(self) -> None:
        if not self.process:
            return
        if self.process.alive():
            self.session.vtool("close", "--hwnd", self.hwnd, "--wait", "5", expect=(0, 1))
            try:
                self.process.proc.wait(5)
            except subprocess.TimeoutExpired:
                pass
        self.process.stop()


def main(argv: list[str]) -> int:
    commands = {"setup": setup, "cleanup": cleanup, "shell": shell}
    if len(argv) != 2 or argv[1] not in commands:
        print(__doc__, file=sys.stderr)
        return 64
    try:
        return commands[argv[1]]()
    except BenchError as error:
        log(f"error: {error}")
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
