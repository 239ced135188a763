#!/usr/bin/env python3
"""The vardix benchmark, under Wine.

    python3 bench/run.py           full run (about four minutes), writes bench/results.md
    python3 bench/run.py --quick   fewer presses, a 10 s idle window; writes
                                   build/bench/results-quick.md instead

Needs the x86_64 build in build/bench and the i686 build in build/bench32
(bench/run.sh builds both, then runs this). It starts its own Wine session
(Xvfb, prefix, code page 936) in build/bench/session with e2e/bench.py, and
ends it when done.

What it measures, each time taken inside Windows by bench's own driver
program (benchdrv.exe) with QueryPerformanceCounter:
  - vardix's fill, from the Ctrl+Alt+V press to the last box holding its piece
    and the user's clipboard text back, for 4 and for 99 pieces;
  - the same fills typed as auto-type tools do, one Unicode keystroke per
    character and a Tab between pieces;
  - the processor time of a hidden, idle vardix over 60 s (Windows and /proc);
  - the time from CreateProcess to both hotkeys held;
  - the size of both executables.
"""

from __future__ import annotations

import argparse
import datetime
import json
import os
import platform
import statistics
import subprocess
import sys
import time
from pathlib import Path
from typing import Any, Callable

ROOT = Path(__file__).resolve().parent.parent
BUILD = ROOT / "build" / "bench"
BUILD32 = ROOT / "build" / "bench32"
PROGRAM = BUILD / "vardix.exe"
PROGRAM32 = BUILD32 / "vardix.exe"
VTOOL = BUILD / "e2e" / "vtool.exe"
DRIVER = BUILD / "bench" / "benchdrv.exe"
STATE = BUILD / "session"
RESULTS = ROOT / "bench" / "results.md"
QUICK_RESULTS = BUILD / "results-quick.md"

CODE4 = "SN: AB12-CD34-EF56-GH78"
CODE99 = "-".join(f"AA{i:02d}" for i in range(99))

# This benchmark's own session, whatever the calling shell has set: other
# developers' tests run their own sessions on the same machine.
os.environ["VARDIX_E2E_STATE"] = str(STATE)
os.environ["VARDIX_E2E_VTOOL"] = str(VTOOL)
os.environ["VARDIX_E2E_PROGRAM"] = str(PROGRAM)
sys.dont_write_bytecode = True
sys.path.insert(0, str(ROOT / "e2e"))
import bench as e2e  # noqa: E402  (e2e/bench.py: the Wine session of the end-to-end tests)


def log(message: str) -> None:
    print(f"[run {time.strftime('%H:%M:%S')}] {message}", file=sys.stderr, flush=True)


def windows_path(path: Path) -> str:
    # Wine maps the Unix root to drive Z:.
    return "Z:" + str(path).replace("/", "\\")


# ---------------------------------------------------------------------------
# Running the driver


def run_driver(session: e2e.Session, name: str, args: list[str], timeout: float,
               on_event: Callable[[dict[str, Any]], None] | None = None) -> list[dict[str, Any]]:
    """Runs benchdrv.exe to its end; on_event sees each JSON line as it comes."""
    proc = e2e.Spawned(session, [str(DRIVER), *args], name)
    seen = 0
    deadline = time.monotonic() + timeout
    try:
        while True:
            events = proc.snapshot()
            for event in events[seen:]:
                if on_event:
                    on_event(event)
            seen = len(events)
            if not proc.alive() or any(e.get("event") == "end" for e in events):
                break
            if time.monotonic() > deadline:
                raise e2e.BenchError(f"benchdrv {args[0]} did not finish within {timeout:.0f} s")
            time.sleep(0.05)
        try:
            proc.proc.wait(10)
        except subprocess.TimeoutExpired:
            pass
        events = proc.snapshot()
        for event in events[seen:]:
            if on_event:
                on_event(event)
        for event in events:
            if event.get("event") == "error":
                log(f"benchdrv {args[0]}: {event}")
        return events
    finally:
        proc.stop()


def stats(values: list[float]) -> dict[str, float]:
    return {"median": statistics.median(values), "worst": max(values)} if values else {}


# ---------------------------------------------------------------------------
# Measurements


def measure_fill(session: e2e.Session, code: str, presses: int) -> dict[str, Any]:
    """vardix's own fill, started by its hotkey."""

    def on_event(event: dict[str, Any]) -> None:
        # Only when Wine does not turn injected keys into a hotkey: then the
        # key is pressed on the X display, into the focused target.
        if event.get("event") == "ready":
            on_event.xid = event["xid"]  # type: ignore[attr-defined]
        elif event.get("event") == "press-request":
            session.xdotool("windowfocus", "--sync", on_event.xid)  # type: ignore[attr-defined]
            session.press("ctrl+alt+v")

    events = run_driver(session, "benchdrv-fill", ["fill", "--code", code, "--presses", str(presses)],
                        timeout=60 + presses * 20, on_event=on_event)
    probe = next((e for e in events if e.get("event") == "sendinput-hotkey"), {})
    runs = [e for e in events if e.get("event") == "fill" and e.get("label") == "fill"]
    ok = [e for e in runs if e["ok"]]
    return {
        "pieces": len(code.split("-")),
        "press": runs[0]["press"] if runs else "?",
        "sendinput_hotkey": probe.get("works"),
        "runs": len(runs),
        "ok": len(ok),
        "total": stats([e["total_ms"] for e in ok]),
        "first_paste": stats([e["first_paste_ms"] for e in ok]),
        "gap": stats([e["gap_median_ms"] for e in ok]),
        "restore_after_last": stats([e["restored_ms"] - e["last_piece_ms"] for e in ok]),
        "last_piece": stats([e["last_piece_ms"] for e in ok]),
        "failures": [e for e in runs if not e["ok"]][:3],
    }


def measure_typing(session: e2e.Session, code: str, runs: int) -> dict[str, Any]:
    """The keystroke baseline: what an auto-type tool does with the same code."""
    events = run_driver(session, "benchdrv-type", ["type", "--code", code, "--runs", str(runs)],
                        timeout=60 + runs * 30)
    done = [e for e in events if e.get("event") == "type"]
    ok = [e for e in done if e["ok"]]
    return {
        "pieces": len(code.split("-")),
        "runs": len(done),
        "ok": len(ok),
        "keys": ok[0]["keys"] if ok else 0,
        "total": stats([e["total_ms"] for e in ok]),
        "injected": stats([e["injected_ms"] for e in ok]),
        "failures": [e for e in done if not e["ok"]][:3],
    }


def proc_cpu(pid: int) -> tuple[int, int]:
    """utime and stime of a Linux process, in clock ticks."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return int(fields[11]), int(fields[12])


def context_switches(pid: int) -> int:
    """How often the process's threads were switched out: a thread that has
    no timer and polls nothing is never woken, so this stays put even where
    processor time, counted in 10 ms ticks, could hide short wake-ups."""
    total = 0
    for task in Path(f"/proc/{pid}/task").iterdir():
        for line in (task / "status").read_text().splitlines():
            if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                total += int(line.split()[1])
    return total


def measure_idle(session: e2e.Session, seconds: int) -> dict[str, Any]:
    """Processor time of a hidden vardix that nobody touches."""
    session.reset_settings()
    vardix = e2e.Spawned(session, [str(PROGRAM), "/runmin"], "vardix-idle")
    pid = vardix.proc.pid
    linux: dict[str, tuple[int, int]] = {}
    switches: dict[str, int] = {}

    def on_event(event: dict[str, Any]) -> None:
        if event.get("event") in ("start", "end"):
            linux[event["event"]] = proc_cpu(pid)
            switches[event["event"]] = context_switches(pid)

    try:
        events = run_driver(session, "benchdrv-idle", ["idle", "--seconds", str(seconds)],
                            timeout=seconds + 90, on_event=on_event)
        start = next((e for e in events if e.get("event") == "start"), None)
        end = next((e for e in events if e.get("event") == "end"), None)
        # The Linux process is the one Wine turned into vardix.exe.
        command = Path(f"/proc/{pid}/cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
        threads = len(list(Path(f"/proc/{pid}/task").iterdir()))
        if start:
            session.vtool("close", "--hwnd", start["hwnd"], "--wait", "5", expect=(0, 1))
    finally:
        try:
            vardix.proc.wait(10)
        except subprocess.TimeoutExpired:
            pass
        vardix.stop()
    if not start or not end or "start" not in linux or "end" not in linux:
        raise e2e.BenchError(f"the idle measurement did not complete: {events}")
    hz = os.sysconf("SC_CLK_TCK")
    jiffies = sum(linux["end"]) - sum(linux["start"])
    return {
        "seconds": seconds,
        "holds_hotkeys": start["holds_hotkeys"],
        "window": f"{start['width']}x{start['height']}",
        "windows_ticks": end["delta_ticks"],
        "windows_before": start["kernel"] + start["user"],
        "linux_jiffies": jiffies,
        "linux_ms": jiffies * 1000 / hz,
        "linux_before_ms": sum(linux["start"]) * 1000 / hz,
        "context_switches": switches["end"] - switches["start"],
        "hz": hz,
        "linux_pid": pid,
        "linux_command": command.strip(),
        "threads": threads,
    }


def measure_start(session: e2e.Session, runs: int) -> dict[str, Any]:
    events = run_driver(session, "benchdrv-start", ["start", "--program", windows_path(PROGRAM), "--runs", str(runs)],
                        timeout=60 + runs * 40)
    done = [e for e in events if e.get("event") == "start"]
    ok = [e for e in done if e["hotkeys_ms"] >= 0]
    return {
        "runs": len(done),
        "ok": len(ok),
        "hotkeys": stats([e["hotkeys_ms"] for e in ok]),
        "window": stats([e["window_ms"] for e in ok]),
        "all": [round(e["hotkeys_ms"], 1) for e in done],
    }


def measure_steps(session: e2e.Session, code: str, runs: int) -> dict[str, Any]:
    """vardix's per-box steps, done by the driver, one more step per variant."""
    events = run_driver(session, "benchdrv-steps", ["steps", "--code", code, "--runs", str(runs)],
                        timeout=60 + runs * 20)
    return {e["variant"]: e for e in events if e.get("event") == "steps"}


def measure_parts(session: e2e.Session) -> dict[str, Any]:
    events = run_driver(session, "benchdrv-parts", ["parts", "--reps", "300"], timeout=120)
    return next((e for e in events if e.get("event") == "parts"), {})


# ---------------------------------------------------------------------------
# The report


def machine() -> dict[str, str]:
    cpu = "?"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    uname = subprocess.run(["uname", "-srm"], capture_output=True, text=True).stdout.strip()
    wine = subprocess.run([e2e.WINE64, "--version"], capture_output=True, text=True).stdout.strip()
    return {"uname": uname, "cpu": cpu, "cores": str(os.cpu_count()), "wine": wine,
            "python": platform.python_version()}


def ms(value: float | None) -> str:
    if value is None:
        return "-"
    return f"{value:.1f} ms" if value < 1000 else f"{value / 1000:.2f} s"


def size(path: Path) -> str:
    if not path.exists():
        return "not built"
    n = path.stat().st_size
    return f"{n:,} bytes ({n / 1024:.0f} KiB)"


def render(results: dict[str, Any], info: dict[str, str], quick: bool) -> str:
    lines: list[str] = []
    add = lines.append
    add(f"Run {results['date']}{' (quick: fewer presses, short idle window)' if quick else ''}, "
        f"`{info['uname']}`, {info['cpu']} ({info['cores']} cores), {info['wine']}; "
        f"load average {results['load_before']:.2f} before, {results['load_after']:.2f} after.")
    add("")
    add("| Measurement | Median | Worst | Runs |")
    add("|---|---|---|---|")
    def fill_row(label: str, measured: object) -> None:
        if isinstance(measured, dict):
            add(f"| {label} | {ms(measured['total'].get('median'))} | {ms(measured['total'].get('worst'))} "
                f"| {measured['ok']}/{measured['runs']} |")
        else:
            add(f"| {label} | failed: {measured} | | |")

    for pieces in (4, 99):
        fill_row(f"Fill, {pieces} pieces: vardix, hotkey to last box filled and clipboard back",
                 results.get(f"fill{pieces}"))
        typed = results.get(f"type{pieces}")
        keys = typed.get("keys") if isinstance(typed, dict) else "?"
        fill_row(f"Fill, {pieces} pieces: keystroke baseline ({keys} keys), first key to last box filled", typed)
    idle = results.get("idle")
    if isinstance(idle, dict):
        add(f"| Idle {idle['seconds']} s, hidden (/runmin): processor time, GetProcessTimes "
            f"| {idle['windows_ticks']} ticks of 100 ns | | 1 |")
        add(f"| Idle {idle['seconds']} s, hidden (/runmin): processor time, /proc utime+stime "
            f"| {idle['linux_jiffies']} ticks of 1/{idle['hz']} s | | 1 |")
        add(f"| Idle {idle['seconds']} s, hidden (/runmin): times its threads were woken (/proc context switches) "
            f"| {idle['context_switches']} | | 1 |")
    else:
        add(f"| Idle, hidden: processor time | failed: {idle} | | |")
    start = results.get("start")
    if isinstance(start, dict):
        add(f"| Start to both hotkeys held (CreateProcess to the dialog answering messages, Ctrl+Alt+V and F7 taken) "
            f"| {ms(start['hotkeys'].get('median'))} | {ms(start['hotkeys'].get('worst'))} "
            f"| {start['ok']}/{start['runs']} |")
    else:
        add(f"| Start to both hotkeys held | failed: {start} | | |")
    add(f"| Size of vardix.exe, x86_64 | {size(PROGRAM)} | | |")
    add(f"| Size of vardix.exe, i686 | {size(PROGRAM32)} | | |")
    add("")

    fills = [results.get(f"fill{n}") for n in (4, 99)]
    if all(isinstance(f, dict) and f["ok"] for f in fills):
        add("Where vardix's fill time goes (medians):")
        add("")
        add("| Pieces | Hotkey to first paste | Between two pastes | Last paste to clipboard back |")
        add("|---|---|---|---|")
        for fill in fills:
            assert isinstance(fill, dict)
            add(f"| {fill['pieces']} | {ms(fill['first_paste']['median'])} | {ms(fill['gap']['median'])} "
                f"| {ms(fill['restore_after_last']['median'])} |")
        add("")
        press = fills[0]["press"]  # type: ignore[index]
        add("The hotkey is injected with SendInput inside Wine, which delivers it to vardix as WM_HOTKEY."
            if press == "sendinput" else
            "Wine did not turn an injected Ctrl+Alt+V into vardix's hotkey: it is pressed with xdotool, "
            "and vardix's times start at the first paste instead.")
        add("")
    step_results = [results.get(f"steps{n}") for n in (4, 99)]
    if all(isinstance(r, dict) and r for r in step_results):
        s4, s99 = step_results
        assert isinstance(s4, dict) and isinstance(s99, dict)
        add(f"The same per-box steps done by benchdrv against its own dialog from another thread, adding one "
            f"step at a time (median of {s99['paste']['runs']} rounds, the variants taking turns):")
        add("")
        add("| Steps for each box | 4 boxes | 99 boxes | Boxes right |")
        add("|---|---|---|---|")
        names = {
            "settext": "WM_SETTEXT alone, no clipboard",
            "paste": "CF_TEXT on the clipboard, EM_SETSEL, WM_PASTE",
            "paste+optout-registered-once": "... and the four opt-out formats, registered once",
            "paste+optout": "... and the four opt-out formats, registered for each piece (as vardix)",
            "paste+optout+focus": "... and SetFocus, GetFocus, GetNextDlgTabItem for each box (as vardix)",
        }
        for key, label in names.items():
            a, b = s4.get(key), s99.get(key)
            if not a or not b:
                continue
            add(f"| {label} | {ms(a['median_ms'])} | {ms(b['median_ms'])} "
                f"| {a['right'] + b['right']}/{a['runs'] + b['runs']} |")
        add("")
    parts = results.get("parts")
    if isinstance(parts, dict) and parts:
        add("Single operations in this prefix (medians of 300): clipboard open+close "
            f"{parts['open_close_ms']:.3f} ms; write CF_TEXT {parts['write_text_ms']:.3f} ms, with the four "
            f"clipboard-history opt-out formats {parts['write_text_quiet_ms']:.3f} ms; read CF_TEXT "
            f"{parts['read_text_ms']:.3f} ms; RegisterClipboardFormat {parts['register_format_ms']:.3f} ms; "
            f"a message sent to another thread {parts['send_message_ms']:.3f} ms.")
        add("")
    if isinstance(idle, dict):
        add(f"The idle vardix ran as Linux process {idle['linux_pid']} ({idle['threads']} thread(s)), "
            f"its window {idle['window']} pixels, hotkeys held: {idle['holds_hotkeys']}; "
            f"it had used {idle['windows_before']} ticks (Windows) and {idle['linux_before_ms']:.0f} ms (/proc) "
            "to start. Under Wine, GetProcessTimes of another process is itself read from "
            "/proc/<pid>/stat, so both processor times count in 10 ms ticks; the context switches "
            "show any wake-up at all.")
        add("")
    return "\n".join(lines)


# ---------------------------------------------------------------------------


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--quick", action="store_true", help="5 presses, a 10 s idle window, 2 starts")
    options = parser.parse_args()
    presses = 5 if options.quick else 25
    idle_seconds = 10 if options.quick else 60
    starts = 2 if options.quick else 5
    step_runs = 3 if options.quick else 15

    missing = [p for p in (PROGRAM, VTOOL, DRIVER) if not p.exists()]
    if missing:
        print(f"not built: {', '.join(map(str, missing))}; run bench/run.sh, or\n"
              "  cmake --preset win64 -B build/bench && cmake --build build/bench -j2", file=sys.stderr)
        return 1
    if not PROGRAM32.exists():
        log(f"{PROGRAM32} is not built; its size is left out "
            "(cmake --preset win32 -B build/bench32 && cmake --build build/bench32 --target vardix)")

    info = machine()
    results: dict[str, Any] = {"date": datetime.datetime.now().strftime("%Y-%m-%d %H:%M"),
                               "load_before": os.getloadavg()[0]}
    if e2e.setup() != 0:
        return 1
    try:
        session = e2e.Session()
        steps: list[tuple[str, Callable[[], Any]]] = [("parts", lambda: measure_parts(session))]
        vardix = e2e.Vardix(session)

        def with_vardix(step: Callable[[], Any]) -> Callable[[], Any]:
            def run() -> Any:
                if not vardix.alive():
                    vardix.start()
                return step()
            return run

        for pieces, code in ((4, CODE4), (99, CODE99)):
            steps.append((f"fill{pieces}", with_vardix(lambda code=code: measure_fill(session, code, presses))))
            steps.append((f"type{pieces}", with_vardix(lambda code=code: measure_typing(session, code, presses))))
        steps.append(("stop", lambda: vardix.stop()))
        for pieces, code in ((4, CODE4), (99, CODE99)):
            steps.append((f"steps{pieces}", lambda code=code: measure_steps(session, code, step_runs)))
        steps.append(("idle", lambda: measure_idle(session, idle_seconds)))
        steps.append(("start", lambda: measure_start(session, starts)))
        for name, step in steps:
            log(f"measuring {name}")
            try:
                results[name] = step()
            except (e2e.BenchError, OSError, subprocess.SubprocessError, KeyError, ValueError) as error:
                log(f"{name} failed: {error}")
                results[name] = f"{type(error).__name__}: {error}"
        vardix.stop()
    finally:
        e2e.cleanup()
    results["load_after"] = os.getloadavg()[0]

    table = render(results, info, options.quick)
    print(table)
    target = QUICK_RESULTS if options.quick else RESULTS
    target.parent.mkdir(parents=True, exist_ok=True)
    target.write_text("# Benchmark results\n\nWritten by `bench/run.py`"
                      f"{' --quick' if options.quick else ''}.\n\n{table}\n")
    (BUILD / "results.json").write_text(json.dumps({"machine": info, **results}, indent=2, default=str))
    log(f"written to {target} (raw numbers in {BUILD / 'results.json'})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
