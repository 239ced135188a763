#!/usr/bin/env python3
"""The vardix benchmark, under Wine (README, "Benchmark").

    python3 bench/run.py           full run, writes bench/results.md
    python3 bench/run.py --quick   5 presses, 2 starts, a 10 s idle window; writes build/bench/results-quick.md

Needs build/bench (win64: vardix.exe, the tests' helper vtool.exe, benchdrv.exe) and build/bench32 (win32:
vardix.exe, for its size); bench/run.sh builds both. The Wine session is the end-to-end tests' (set up and
ended by their harness, in build/bench/session), and so is the target dialog (their helper's `target`).
Every time is taken inside Windows, by benchdrv.exe (bench/driver.cpp).
"""
import argparse, datetime, json, os, platform, statistics, subprocess, sys, threading, time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = ROOT / "build/bench"
PROGRAM, PROGRAM32, DRIVER = BUILD / "vardix.exe", ROOT / "build/bench32/vardix.exe", BUILD / "bench/benchdrv.exe"
WINPROGRAM = "Z:" + str(PROGRAM).replace("/", "\\")  # as Windows programs see it
# This run's own session and builds, whatever the calling shell has set: other sessions may run beside it.
os.environ.update(
    VARDIX_E2E_STATE=str(BUILD / "session"),
    VARDIX_E2E_VTOOL=str(BUILD / "e2e/vtool.exe"),
    VARDIX_E2E_PROGRAM=str(PROGRAM),
)
sys.dont_write_bytecode = True
sys.path.insert(0, str(ROOT / "e2e"))
import harness  # noqa: E402

# The pieces each box must end up with, written out rather than split here, and the text the user copied.
PIECES = {4: ["AB12", "CD34", "EF56", "GH78"], 99: [f"AA{i:02d}" for i in range(99)]}
CODES = {4: "SN: " + "-".join(PIECES[4]), 99: "-".join(PIECES[99])}


def log(text):
    print(f"[bench {datetime.datetime.now():%H:%M:%S}] {text}", file=sys.stderr, flush=True)


def driver(*args, on_line=lambda line: None, timeout=900):
    """benchdrv.exe up to its end line (a Wine process it started could hold the pipe open after it);
    on_line sees each line as it comes."""
    proc = subprocess.Popen(
        [harness.WINE, str(DRIVER), *map(str, args)], env=harness.env(), stdout=subprocess.PIPE, text=True
    )
    watchdog, lines = threading.Timer(timeout, proc.kill), []
    watchdog.start()
    try:
        for text in proc.stdout:
            lines.append(line := json.loads(text))
            on_line(line)
            if "end" in line:
                proc.wait(10)
                break
    finally:
        watchdog.cancel()
        if proc.poll() is None:
            proc.kill()
            proc.wait(10)
        proc.stdout.close()
    if lines[-1:] != [{"end": 0}]:
        raise RuntimeError(f"benchdrv {args[0]}: {lines[-2:] or 'no answer'}, exit code {proc.returncode}")
    return lines[:-1]


def stats(lines):
    times = [line["ms"] for line in lines if line["ok"]]
    return {
        "median": statistics.median(times) if times else None,
        "worst": max(times, default=None),
        "ok": len(times),
        "runs": len(lines),
        "failed": [line for line in lines if not line["ok"]][:3],
    }


def fills(boxes, presses):
    """vardix's fill and the typed baseline, into one target dialog with `boxes` boxes."""
    target = harness.Bg("target", f"boxes={boxes}")
    try:
        harness.focus(target.wait("ready"))
        pairs = [x for box, piece in zip(target.get("box"), PIECES[boxes]) for x in (box, piece)]
        fill, typed = (driver(kind, presses, CODES[boxes], *pairs) for kind in ("fill", "type"))
    finally:
        target.stop()
    if not any(line["ok"] or line["at_last"] for line in typed):
        return stats(fill), "not measured: the target dialog does not move its focus on Tab"
    return stats(fill), stats(typed)


def typed_fills(presses):
    """vardix's typed fill into the helper's pane (4 boxes it draws itself): Ctrl+Alt+V released at once, and with
    Ctrl and Alt released 300 ms after the letter, which vardix waits for (from the press and from the release); then
    into the pane that answers accessibility (a button after the boxes), released at once."""
    results = []
    for options, holds in ((["boxes=4"], (0, 300)), (["boxes=4", "acc=1"], (0,))):
        pane = harness.Bg("pane", *options)
        try:
            harness.focus(hwnd := pane.wait("ready"))
            text = "-".join(PIECES[4]) + ("-" if "acc=1" in options else "")
            results += [driver("typed", presses, CODES[4], hwnd, text, hold) for hold in holds]
        finally:
            pane.stop()
    late = [dict(line, ms=line["late"]) for line in results[1]]
    return [stats(results[0]), stats(results[1]), stats(late), stats(results[2])]


def linux_cpu(proc):
    """utime+stime in clock ticks, and how often its threads were switched out: a thread that no timer and no
    message wakes is never switched in, where processor time, counted in 10 ms ticks, could hide short wake-ups."""
    fields = (proc / "stat").read_text().rsplit(")", 1)[1].split()
    switches = sum(
        int(line.split()[1])
        for task in (proc / "task").iterdir()
        for line in (task / "status").read_text().splitlines()
        if "ctxt_switches:" in line
    )
    return int(fields[11]) + int(fields[12]), switches


def idle(seconds):
    """A hidden vardix that nobody touches; it stays on for the fills."""
    pid, prefix = (
        harness.Bg("run", WINPROGRAM, "/runmin").wait("pid"),
        f"WINEPREFIX={harness.env()['WINEPREFIX']}".encode(),
    )
    for _ in range(100):  # the Linux process that Wine made of it: its command line is the Windows one
        if proc := next(
            (
                p
                for p in Path("/proc").glob("[0-9]*")
                if read(p / "cmdline").split(b"\0")[0].lower().endswith(b"vardix.exe")
                and prefix in read(p / "environ").split(b"\0")
            ),
            None,
        ):
            break
        time.sleep(0.1)
    else:
        raise RuntimeError("no Linux process for vardix.exe in this prefix")
    marks = []
    lines = driver(
        "idle",
        pid,
        seconds,
        on_line=lambda line: marks.append(linux_cpu(proc)) if "held" in line or "ticks" in line else None,
    )
    jiffies, switches = (end - start for start, end in zip(*marks))
    return {
        "seconds": seconds,
        "held": lines[0]["held"],
        "windows": lines[1]["ticks"],
        "jiffies": jiffies,
        "hz": os.sysconf("SC_CLK_TCK"),
        "switches": switches,
        "threads": len(list((proc / "task").iterdir())),
    }


def read(path):
    try:
        return path.read_bytes()
    except OSError:  # a process that ended meanwhile, or another user's
        return b""


def render(r, quick):
    def ms(v):
        return "-" if v is None else f"{v:.1f} ms" if v < 1000 else f"{v / 1000:.2f} s"

    def size(p):
        return f"{p.stat().st_size:,} bytes ({p.stat().st_size / 1024:.0f} KiB)" if p.exists() else "not built"

    def row(label, s):
        return (
            f"| {label} | {ms(s['median'])} | {ms(s['worst'])} | {s['ok']}/{s['runs']} |"
            if isinstance(s, dict)
            else f"| {label} | {s} | | |"
        )

    out = [
        f"Run {r['date']}{' (quick)' if quick else ''}: `{r['uname']}`, {r['cpu']} ({os.cpu_count()} cores, shared with "
        f"other work), {r['wine']}; load average (1 min) {r['load'][0]:.2f} before, {r['load'][-1]:.2f} after, at most {max(r['load']):.2f} between steps.",
        "",
        "| Measurement | Median | Worst | Runs |",
        "|---|---|---|---|",
    ]
    for n in PIECES:
        keys = f"{sum(map(len, PIECES[n])) + n - 1} keys"  # a key for each character, a Tab between pieces
        out += [
            row(f"Fill, {n} pieces: vardix, Ctrl+Alt+V to last box filled and clipboard back", r[f"fill{n}"]),
            row(f"Fill, {n} pieces: keystroke baseline ({keys}), first key to last box filled", r[f"type{n}"]),
        ]
    typed = "Fill, 4 pieces typed: vardix into boxes a window draws itself, Ctrl+Alt+V to last box filled"
    out += [
        row(f"{typed}, keys released at once", r.get("typed4", "not measured")),
        row(f"{typed}, Ctrl and Alt released 300 ms after the letter", r.get("typed4held", "not measured")),
        row(
            "Fill, 4 pieces typed, Ctrl and Alt released 300 ms after the letter: that release to last box filled",
            r.get("typed4late", "not measured"),
        ),
        row(f"{typed}, the window answering accessibility, keys released at once", r.get("typed4acc", "not measured")),
    ]
    if isinstance(i := r["idle"], dict):
        label = f"Idle {i['seconds']} s, hidden (/runmin)"
        out += [
            f"| {label}: processor time, GetProcessTimes | {i['windows']} ticks of 100 ns | | 1 |",
            f"| {label}: processor time, /proc utime+stime | {i['jiffies']} ticks of 1/{i['hz']} s | | 1 |",
            f"| {label}: times its threads were woken (/proc context switches) | {i['switches']} | | 1 |",
        ]
    else:
        out.append(f"| Idle, hidden (/runmin) | {i} | | |")
    out += [
        row("Start to both hotkeys held (CreateProcess to Ctrl+Alt+V and Ctrl+Alt+F7 refused to others)", r["start"]),
        f"| Size of vardix.exe, x86_64 | {size(PROGRAM)} | | |",
        f"| Size of vardix.exe, i686 | {size(PROGRAM32)} | | |",
        "",
    ]
    if isinstance(i, dict):
        out += [
            f"The idle vardix held both hotkeys: {bool(i['held'])}; its Linux process had {i['threads']} thread(s). "
            "Under Wine, GetProcessTimes of another process is read from /proc as well, so both processor times "
            "count in 10 ms ticks; the context switches show any wake-up at all.",
            "",
        ]
    return "\n".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--quick", action="store_true", help="a short check rather than the published numbers")
    quick = parser.parse_args().quick
    presses, seconds, starts = (5, 10, 2) if quick else (25, 60, 5)
    if missing := [str(p) for p in (PROGRAM, DRIVER, Path(os.environ["VARDIX_E2E_VTOOL"])) if not p.exists()]:
        sys.exit(f"not built: {', '.join(missing)}; run bench/run.sh")
    r = {
        "date": f"{datetime.datetime.now():%Y-%m-%d %H:%M}",
        "load": [os.getloadavg()[0]],
        "uname": " ".join(platform.uname()[i] for i in (0, 2, 4)),
        "wine": subprocess.run([harness.WINE, "--version"], capture_output=True, text=True).stdout.strip(),
        "cpu": next(
            (
                l.split(":", 1)[1].strip()
                for l in Path("/proc/cpuinfo").read_text().splitlines()
                if l.startswith("model name")
            ),
            "?",
        ),
    }
    harness.setup()
    try:  # the starts first, with no vardix running; the idle one stays on for the fills
        steps = [(["start"], lambda: [stats(driver("start", WINPROGRAM, starts))]), (["idle"], lambda: [idle(seconds)])]
        steps += [([f"fill{n}", f"type{n}"], lambda n=n: fills(n, presses)) for n in PIECES]
        steps += [(["typed4", "typed4held", "typed4late", "typed4acc"], lambda: typed_fills(presses))]
        for names, measure in steps:
            log(f"measuring {', '.join(names)}")
            try:
                r.update(zip(names, measure()))
            except (RuntimeError, AssertionError, OSError, subprocess.SubprocessError, ValueError, IndexError) as error:
                log(f"{names} failed: {error}")
                r.update((name, f"failed: {type(error).__name__}: {error}") for name in names)
            r["load"].append(os.getloadavg()[0])
    finally:
        harness.cleanup()
    print(table := render(r, quick))
    target = BUILD / "results-quick.md" if quick else ROOT / "bench/results.md"
    target.write_text(f"# Benchmark results\n\nWritten by `bench/run.py{' --quick' if quick else ''}`.\n\n{table}\n")
    (BUILD / "results.json").write_text(json.dumps(r, indent=2, default=str))
    log(f"written to {target}, raw numbers in {BUILD / 'results.json'}")


if __name__ == "__main__":
    main()
