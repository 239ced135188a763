// benchdrv: the benchmark's stopwatch inside the Wine prefix. Every time is taken here with
// QueryPerformanceCounter, next to the events it times, not from Linux across process starts and pipes.
// It holds no copy of the program's logic and no dialog of its own: the program is vardix.exe, the target
// the tests' helper's dialog; this only presses keys, watches and reads. It answers in JSON lines on stdout.
//
//   fill  PRESSES CODE BOX PIECE [BOX PIECE]...  vardix's fill by Ctrl+Alt+V into a target's boxes
//   type  PRESSES CODE BOX PIECE [BOX PIECE]...  the same pieces typed as auto-type tools do
//   typed PRESSES CODE PANE TEXT HOLD_MS         vardix's typed fill into the helper's pane
//   start PROGRAM RUNS                           from CreateProcess to both hotkeys held
//   idle  PID SECONDS                            the processor time of a running vardix
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

double g_ticksPerMs = 1;

double Now() {
    LARGE_INTEGER value;
    ::QueryPerformanceCounter(&value);
    return static_cast<double>(value.QuadPart) / g_ticksPerMs;
}

struct Box {
    HWND hwnd;
    std::wstring piece;
};
std::vector<Box> g_boxes;
std::wstring g_code;  // the user's clipboard text

// The last clipboard change this program has seen, from its listener window.
double g_changedAt = 0;
DWORD g_changedSeq = 0;

std::wstring Text(HWND box) {
    wchar_t text[256] = L"";
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(box, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, &ignored);
    return text;
}

HWND Focused(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// As a user leaves a dialog before a fill: its boxes empty, the caret in the first, the dialog in front.
bool Arm() {
    DWORD_PTR ignored = 0;
    for (const Box& box : g_boxes)
        ::SendMessageTimeoutW(box.hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""), SMTO_ABORTIFHUNG, 1000, &ignored);
    const HWND target = ::GetAncestor(g_boxes[0].hwnd, GA_ROOT);
    const DWORD thread = ::GetWindowThreadProcessId(target, nullptr);
    if (::GetForegroundWindow() != target) ::SetForegroundWindow(target);
    // Sharing the target's input state is what lets another program move its focus.
    if (::AttachThreadInput(::GetCurrentThreadId(), thread, TRUE)) {
        ::SetFocus(g_boxes[0].hwnd);
        ::AttachThreadInput(::GetCurrentThreadId(), thread, FALSE);
    }
    return ::GetForegroundWindow() == target && Focused(thread) == g_boxes[0].hwnd;
}

INPUT Key(WORD vk, WORD unicode, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = vk ? static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) : unicode;
    input.ki.dwFlags = (vk ? 0u : KEYEVENTF_UNICODE) | (up ? KEYEVENTF_KEYUP : 0u);
    return input;
}

bool PutCode(HWND owner) {
    // Wine's own clipboard bridge may be looking at the last change.
    for (int i = 0; i < 100 && !::OpenClipboard(owner); ++i) ::Sleep(10);
    if (!::EmptyClipboard()) return false;
    const size_t bytes = (g_code.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (block) {
        std::memcpy(::GlobalLock(block), g_code.c_str(), bytes);
        ::GlobalUnlock(block);
        // The clipboard owns the block once it took it.
        if (!::SetClipboardData(CF_UNICODETEXT, block)) block = (::GlobalFree(block), nullptr);
    }
    ::CloseClipboard();
    return block != nullptr;
}

bool ClipboardHoldsCode(HWND owner) {
    if (!::OpenClipboard(owner)) return false;
    const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    const auto* text = data ? static_cast<const wchar_t*>(::GlobalLock(data)) : nullptr;
    const bool same = text && g_code == text;
    if (text) ::GlobalUnlock(data);
    ::CloseClipboard();
    return same;
}

LRESULT CALLBACK ListenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLIPBOARDUPDATE) g_changedAt = Now(), g_changedSeq = ::GetClipboardSequenceNumber();
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// Handles what came; false once `quietMs` pass with nothing coming.
bool Pump(DWORD quietMs) {
    const bool woken = ::MsgWaitForMultipleObjects(0, nullptr, FALSE, quietMs, QS_ALLINPUT) == WAIT_OBJECT_0;
    for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) ::DispatchMessageW(&msg);
    return woken;
}

// One press of Ctrl+Alt+V; the time to the fill's end, or -1. vardix's last step is putting the user's
// clipboard back, so the fill ends at the clipboard change after which the clipboard holds the user's text
// again and nothing changes it any more; the last box, if it holds its piece, was pasted before that.
double Fill(HWND listener) {
    while (Pump(0)) continue;
    const double start = Now();
    g_changedAt = 0;
    INPUT keys[] = {Key(VK_CONTROL, 0, false), Key(VK_MENU, 0, false), Key('V', 0, false),
                    Key('V', 0, true),         Key(VK_MENU, 0, true),  Key(VK_CONTROL, 0, true)};
    ::SendInput(static_cast<UINT>(std::size(keys)), keys, sizeof(INPUT));
    while (Now() - start < 20000) {
        if (Pump(200) || !g_changedAt) continue;
        if (Text(g_boxes.back().hwnd) == g_boxes.back().piece && ClipboardHoldsCode(listener) &&
            ::GetClipboardSequenceNumber() == g_changedSeq)
            return g_changedAt - start;
    }
    return -1;
}

// The same pieces typed: one SendInput of a Unicode key per character, a Tab between pieces. The typing
// ends when the last box holds its piece; until the focus is there, only the system is asked, not the target.
// It needs a target that moves its focus on Tab, as dialogs do.
double Type() {
    const DWORD thread = ::GetWindowThreadProcessId(g_boxes[0].hwnd, nullptr);
    const double start = Now();
    double keys = 0;
    for (const Box& box : g_boxes) {
        for (wchar_t c : (&box == &g_boxes[0] ? L"" : L"\t") + box.piece) {
            const WORD vk = c == L'\t' ? VK_TAB : 0;
            INPUT pair[] = {Key(vk, c, false), Key(vk, c, true)};
            ::SendInput(2, pair, sizeof(INPUT));
            ++keys;
        }
    }
    const Box& last = g_boxes.back();
    while (Now() - start < 2000 + 5 * keys) {
        if (Focused(thread) == last.hwnd && Text(last.hwnd) == last.piece) return Now() - start;
        ::Sleep(1);
    }
    return -1;
}

int Presses(bool typed, int presses) {
    const HWND listener = ::CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ::SetWindowLongPtrW(listener, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListenerProc));
    ::AddClipboardFormatListener(listener);
    for (int n = 1; n <= presses; ++n) {
        // vardix puts the text back after each fill; only a failed one leaves the clipboard to set again.
        const bool copied = typed || ClipboardHoldsCode(listener) || PutCode(listener);
        // Wine passes each clipboard change on to X: let it settle, as after a user's copy.
        ::Sleep(100);
        const bool armed = copied && Arm();
        const double ms = !armed ? -1 : typed ? Type() : Fill(listener);
        const auto right =
            std::count_if(g_boxes.begin(), g_boxes.end(), [](const Box& b) { return Text(b.hwnd) == b.piece; });
        const bool atLast = Focused(::GetWindowThreadProcessId(g_boxes[0].hwnd, nullptr)) == g_boxes.back().hwnd;
        std::printf("{\"n\":%d,\"ok\":%d,\"ms\":%.3f,\"right\":%d,\"armed\":%d,\"at_last\":%d}\n", n,
                    ms >= 0 && right == std::ssize(g_boxes), ms, static_cast<int>(right), armed, atLast);
        if (typed && ms < 0 && !atLast) break;  // a target that ignores Tab: every further press would fail alike
    }
    ::DestroyWindow(listener);
    return 0;
}

// vardix's typed fill into boxes a window draws itself (the tests' helper's pane, whose text is its boxes
// joined by dashes): from Ctrl+Alt+V to the last box typed, Ctrl and Alt released `holdMs` after the letter;
// `late`: from that release to the last box typed.
// The clipboard is only read by this fill, so it is put there once.
int TypedPresses(HWND pane, const std::wstring& text, DWORD holdMs, int presses) {
    const bool copied = PutCode(nullptr);
    for (int n = 1; n <= presses; ++n) {
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""), SMTO_ABORTIFHUNG, 1000, &ignored);
        ::SetForegroundWindow(pane);
        ::Sleep(100);
        // Empty boxes read as their dashes alone (the pane that answers accessibility has a button after them).
        const std::wstring empty(static_cast<size_t>(std::count(text.begin(), text.end(), L'-')), L'-');
        const bool armed = copied && ::GetForegroundWindow() == pane && Text(pane) == empty;
        const double start = Now();
        INPUT press[] = {Key(VK_CONTROL, 0, false), Key(VK_MENU, 0, false), Key('V', 0, false), Key('V', 0, true)};
        INPUT release[] = {Key(VK_MENU, 0, true), Key(VK_CONTROL, 0, true)};
        ::SendInput(static_cast<UINT>(std::size(press)), press, sizeof(INPUT));
        ::Sleep(holdMs);
        ::SendInput(static_cast<UINT>(std::size(release)), release, sizeof(INPUT));
        const double released = Now() - start;
        double ms = -1;
        while (armed && ms < 0 && Now() - start < 5000)
            if (Text(pane) == text) ms = Now() - start;
            else ::Sleep(1);
        std::printf("{\"n\":%d,\"ok\":%d,\"ms\":%.3f,\"late\":%.3f,\"armed\":%d}\n", n, ms >= 0, ms, ms - released,
                    armed);
        ::Sleep(300);  // vardix's wait for the next piece's focus event may still run after the last box
    }
    return 0;
}

bool Held(UINT vk) {
    if (::RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, vk)) return !::UnregisterHotKey(nullptr, 1);
    return ::GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED;
}

BOOL CALLBACK FindReady(HWND window, LPARAM param) {
    auto* find = reinterpret_cast<std::pair<DWORD, HWND>*>(param);
    DWORD pid = 0;
    DWORD_PTR ignored = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid == find->first && ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &ignored))
        find->second = window;
    return !find->second;
}

// Until a window of the process answers, then until it holds both hotkeys. A probe any earlier could take
// a hotkey in the moment vardix asks for it; its window answers only once its set-up, hotkeys included, is
// over, as its thread takes no message before.
bool WaitHoldsHotkeys(DWORD pid, double timeoutMs) {
    const double start = Now();
    std::pair<DWORD, HWND> find{pid, nullptr};
    while (!find.second && Now() - start < timeoutMs) {
        ::EnumWindows(&FindReady, reinterpret_cast<LPARAM>(&find));
        if (!find.second) ::Sleep(1);
    }
    while (find.second && !(Held('V') && Held(VK_F7))) {
        if (Now() - start > timeoutMs) return false;
        ::Sleep(1);
    }
    return find.second != nullptr;
}

int Start(std::wstring program, int runs) {
    for (int n = 1; n <= runs; ++n) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::wstring line = L"\"" + program + L"\"";
        const double start = Now();
        if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &info))
            return std::printf("{\"error\":\"CreateProcess %lu\"}\n", ::GetLastError()), 1;
        const bool held = WaitHoldsHotkeys(info.dwProcessId, 30000);
        std::printf("{\"n\":%d,\"ok\":%d,\"ms\":%.3f}\n", n, held, Now() - start);
        // How it ends is not measured here.
        ::TerminateProcess(info.hProcess, 0);
        ::WaitForSingleObject(info.hProcess, 10000);
        ::CloseHandle(info.hThread);
        ::CloseHandle(info.hProcess);
    }
    return 0;
}

ULONGLONG CpuTicks(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    const auto ticks = [](FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return ticks(kernel) + ticks(user);
}

int Idle(DWORD pid, int seconds) {
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return std::printf("{\"error\":\"OpenProcess %lu\"}\n", ::GetLastError()), 1;
    const bool held = WaitHoldsHotkeys(pid, 30000);
    const ULONGLONG before = CpuTicks(process);
    std::printf("{\"held\":%d,\"ticks_before\":%llu}\n", held, before);
    ::Sleep(static_cast<DWORD>(seconds) * 1000u);
    std::printf("{\"ticks\":%llu}\n", CpuTicks(process) - before);
    ::CloseHandle(process);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);  // run.py acts on some lines while this runs on
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    g_ticksPerMs = static_cast<double>(frequency.QuadPart) / 1000.0;
    const std::wstring command = argc > 1 ? argv[1] : L"";
    const auto number = [&](int i) { return i < argc ? static_cast<int>(std::wcstol(argv[i], nullptr, 0)) : 0; };
    int result = 64;
    if ((command == L"fill" || command == L"type") && argc >= 6) {
        g_code = argv[3];
        for (int i = 4; i + 1 < argc; i += 2)
            g_boxes.push_back(
                {reinterpret_cast<HWND>(static_cast<INT_PTR>(std::wcstoll(argv[i], nullptr, 0))), argv[i + 1]});
        result = Presses(command == L"type", number(2));
    } else if (command == L"typed" && argc == 7) {
        g_code = argv[3];
        const auto pane = reinterpret_cast<HWND>(static_cast<INT_PTR>(std::wcstoll(argv[4], nullptr, 0)));
        result = TypedPresses(pane, argv[5], static_cast<DWORD>(number(6)), number(2));
    } else if (command == L"start" && argc == 4) {
        result = Start(argv[2], number(3));
    } else if (command == L"idle" && argc == 4) {
        result = Idle(static_cast<DWORD>(number(2)), number(3));
    } else {
        std::fputs("usage: see the top of bench/driver.cpp\n", stderr);
    }
    std::printf("{\"end\":%d}\n", result);
    return result;
}
