// benchdrv: the Windows half of the benchmark. It runs inside the Wine prefix
// so that every time is taken with QueryPerformanceCounter on the Windows side,
// next to the events it times, rather than from Linux across process starts
// and pipes. Each answer is one JSON line in ASCII on stdout.
//
//   fill  --code TEXT --presses N [--press auto|sendinput|external] [--timeout-ms T]
//   type  --code TEXT --runs N [--timeout-ms T]
//   idle  --seconds S
//   start --program WINPATH --runs N
//   parts --reps N
//   steps --code TEXT --runs N

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The main window's caption, the one mark of a running vardix. Escaped so that
// this file's bytes do not depend on the compiler's source character set.
constexpr wchar_t kVardixCaption[] =
    L"Vardix--\u7528\u4e00\u79cd\u65b0\u7684\u65b9\u5f0f\u586b\u5199\u4f60\u7684\u5e8f\u5217\u53f7!";
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Quorvantel";
constexpr wchar_t kTargetCaption[] = L"Vardix Bench Target";
constexpr DWORD kErrorHotkeyTaken = 1409;  // ERROR_HOTKEY_ALREADY_REGISTERED

// ---------------------------------------------------------------------------
// Output and clock

void Emit(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fputc('\n', stdout);
    // The script reacts to some lines (a key to press, a moment to read
    // /proc): they must not wait in a buffer.
    std::fflush(stdout);
}

double g_ticksPerMs = 0;

LONGLONG Now() {
    LARGE_INTEGER value;
    ::QueryPerformanceCounter(&value);
    return value.QuadPart;
}

double Ms(LONGLONG from, LONGLONG to) { return static_cast<double>(to - from) / g_ticksPerMs; }

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '?';
    return out;
}

// ---------------------------------------------------------------------------
// Arguments

struct Args {
    std::vector<std::wstring> items;

    std::wstring Get(const wchar_t* name, const wchar_t* fallback) const {
        for (size_t i = 0; i + 1 < items.size(); ++i) {
            if (items[i] == name) return items[i + 1];
        }
        return fallback;
    }
    int Int(const wchar_t* name, int fallback) const {
        const std::wstring value = Get(name, L"");
        return value.empty() ? fallback : static_cast<int>(std::wcstol(value.c_str(), nullptr, 10));
    }
};

// ---------------------------------------------------------------------------
// The code and its pieces

// The piece each box should end up with: what follows the label (after the
// last blank or colon), split at the dashes. Only the plain ASCII codes the
// script passes are meant here; the program's own splitter is not reused so
// that the benchmark checks it from outside.
std::vector<std::string> Pieces(const std::string& code) {
    const size_t labelEnd = code.find_last_of(" :");
    const std::string rest = labelEnd == std::string::npos ? code : code.substr(labelEnd + 1);
    std::vector<std::string> pieces(1);
    for (char c : rest) {
        if (c == '-') pieces.emplace_back();
        else pieces.back() += c;
    }
    return pieces;
}

// ---------------------------------------------------------------------------
// Clipboard

bool OpenClipboardPatiently(HWND owner) {
    for (int attempt = 0; attempt < 400; ++attempt) {
        if (::OpenClipboard(owner)) return true;
        ::Sleep(5);
    }
    return false;
}

bool PutText(const std::string& text) {
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!block) return false;
    std::memcpy(::GlobalLock(block), text.c_str(), text.size() + 1);
    ::GlobalUnlock(block);
    if (::SetClipboardData(CF_TEXT, block)) return true;
    ::GlobalFree(block);
    return false;
}

bool SetClipboardText(const std::string& text) {
    if (!OpenClipboardPatiently(nullptr)) return false;
    const bool ok = ::EmptyClipboard() && PutText(text);
    ::CloseClipboard();
    return ok;
}

// The clipboard must already be open.
bool ClipboardTextIs(const std::string& expected) {
    const HANDLE data = ::GetClipboardData(CF_TEXT);
    if (!data) return false;
    const auto* text = static_cast<const char*>(::GlobalLock(data));
    if (!text) return false;
    const bool same = std::strncmp(text, expected.c_str(), expected.size() + 1) == 0;
    ::GlobalUnlock(data);
    return same;
}

// ---------------------------------------------------------------------------
// The target dialog, in a thread of its own so that the main thread can
// inject keys and wait while the dialog answers vardix's messages.

constexpr UINT kArm = WM_APP + 1;     // clear the boxes, focus box 0, start watching
constexpr UINT kDisarm = WM_APP + 2;  // stop watching (timeout)
constexpr UINT kVerify = WM_APP + 3;  // how many boxes hold their piece
constexpr int kFirstBoxId = 100;

struct Target {
    std::vector<std::string> expected;
    std::string userText;
    bool waitForRestore = false;  // the fill ends with the clipboard put back

    HWND dialog = nullptr;
    std::vector<HWND> boxes;
    WNDPROC editProc = nullptr;
    HANDLE ready = nullptr;
    HANDLE done = nullptr;

    // Written by the dialog thread while armed; read by the main thread after
    // `done` is set or after kDisarm has returned.
    bool armed = false;
    bool watchingClipboard = false;
    DWORD seqSeen = 0;
    LONGLONG lastPiece = 0;
    LONGLONG restored = 0;
    std::vector<LONGLONG> pasteTimes;
    int openFailures = 0;
    int changes = 0;
};
Target g_target;

void Finish() {
    Target& t = g_target;
    if (t.watchingClipboard) ::RemoveClipboardFormatListener(t.dialog);
    t.watchingClipboard = false;
    t.armed = false;
    ::SetEvent(t.done);
}

// Called whenever the dialog thread is awake after the last box got its
// piece: cheap (one sequence number) until the clipboard has changed.
void CheckRestored() {
    Target& t = g_target;
    const DWORD seq = ::GetClipboardSequenceNumber();
    if (seq == t.seqSeen) return;
    const LONGLONG seen = Now();
    // vardix still holds it open while it writes the formats back.
    if (!::OpenClipboard(t.dialog)) {
        ++t.openFailures;
        return;
    }
    const bool back = ClipboardTextIs(t.userText);
    ::CloseClipboard();
    t.seqSeen = seq;
    if (back) {
        t.restored = seen;
        Finish();
    }
}

LRESULT CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PASTE && g_target.armed) g_target.pasteTimes.push_back(Now());
    return ::CallWindowProcW(g_target.editProc, box, message, wParam, lParam);
}

void OnBoxChanged(int index) {
    Target& t = g_target;
    ++t.changes;
    if (index != static_cast<int>(t.boxes.size()) - 1 || t.lastPiece) return;
    char text[256] = {};
    ::GetWindowTextA(t.boxes[static_cast<size_t>(index)], text, sizeof text);
    if (t.expected.back() != text) return;
    t.lastPiece = Now();
    if (!t.waitForRestore) {
        Finish();
        return;
    }
    t.seqSeen = ::GetClipboardSequenceNumber();
    // The listener only wakes the loop the moment the clipboard closes; the
    // sequence number decides.
    ::AddClipboardFormatListener(t.dialog);
    t.watchingClipboard = true;
    CheckRestored();
}

LRESULT OnArm() {
    Target& t = g_target;
    t.armed = false;
    for (HWND box : t.boxes) ::SetWindowTextA(box, "");
    t.lastPiece = t.restored = 0;
    t.pasteTimes.clear();
    t.pasteTimes.reserve(t.boxes.size() * 2);
    t.openFailures = t.changes = 0;
    ::ResetEvent(t.done);
    if (::GetForegroundWindow() != t.dialog) ::SetForegroundWindow(t.dialog);
    ::SetFocus(t.boxes[0]);
    t.armed = true;
    return ::GetForegroundWindow() == t.dialog && ::GetFocus() == t.boxes[0] ? 1 : 0;
}

LRESULT OnVerify() {
    LRESULT right = 0;
    for (size_t i = 0; i < g_target.boxes.size(); ++i) {
        char text[256] = {};
        ::GetWindowTextA(g_target.boxes[i], text, sizeof text);
        if (g_target.expected[i] == text) ++right;
    }
    return right;
}

void CreateBoxes(HWND dialog) {
    Target& t = g_target;
    const int count = static_cast<int>(t.expected.size());
    const int columns = std::min(count, 10);
    const int rows = (count + columns - 1) / columns;
    for (int i = 0; i < count; ++i) {
        const HWND box = ::CreateWindowExW(
            WS_EX_CLIENTEDGE, L"Edit", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
            8 + (i % columns) * 64, 8 + (i / columns) * 26, 58, 22, dialog,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstBoxId + i)), ::GetModuleHandleW(nullptr), nullptr);
        t.editProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BoxProc)));
        t.boxes.push_back(box);
    }
    RECT frame{0, 0, 16 + columns * 64, 16 + rows * 26};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(dialog, GWL_STYLE)), FALSE, 0);
    ::SetWindowPos(dialog, nullptr, 40, 40, frame.right - frame.left, frame.bottom - frame.top, SWP_NOZORDER);
}

INT_PTR CALLBACK TargetProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    LRESULT result = 0;
    switch (message) {
    case WM_INITDIALOG:
        g_target.dialog = dialog;
        CreateBoxes(dialog);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_CHANGE && g_target.armed) OnBoxChanged(LOWORD(wParam) - kFirstBoxId);
        return TRUE;
    case WM_CLIPBOARDUPDATE:
        if (g_target.watchingClipboard) CheckRestored();
        return TRUE;
    case kArm:
        result = OnArm();
        break;
    case kDisarm:
        Finish();
        break;
    case kVerify:
        result = OnVerify();
        break;
    case WM_CLOSE:
        ::DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
    ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

std::vector<WORD> DialogTemplate() {
    DLGTEMPLATE head{};
    head.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    head.cx = 200;
    head.cy = 100;
    std::vector<WORD> words(sizeof head / sizeof(WORD) + 2);  // then no menu, default class
    std::memcpy(words.data(), &head, sizeof head);
    for (const wchar_t* c = kTargetCaption; *c; ++c) words.push_back(static_cast<WORD>(*c));
    words.push_back(0);
    return words;
}

DWORD WINAPI TargetThread(void*) {
    const std::vector<WORD> words = DialogTemplate();
    const HWND dialog = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr),
                                                     reinterpret_cast<const DLGTEMPLATE*>(words.data()), nullptr,
                                                     &TargetProc, 0);
    ::SetEvent(g_target.ready);
    if (!dialog) return 1;
    MSG msg;
    for (;;) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return 0;
            // IsDialogMessage gives the boxes Tab navigation, as in any
            // installer's dialog.
            if (!::IsDialogMessageW(dialog, &msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        if (g_target.watchingClipboard) CheckRestored();
        // While waiting for the clipboard to come back, wake at least every
        // millisecond; otherwise sleep until a message comes.
        ::MsgWaitForMultipleObjectsEx(0, nullptr, g_target.watchingClipboard ? 1 : INFINITE, QS_ALLINPUT,
                                      MWMO_INPUTAVAILABLE);
    }
}

DWORD g_targetThread = 0;

bool StartTarget(const std::string& code, bool waitForRestore) {
    Target& t = g_target;
    t.expected = Pieces(code);
    t.userText = code;
    t.waitForRestore = waitForRestore;
    t.ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    t.done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE thread = ::CreateThread(nullptr, 0, &TargetThread, nullptr, 0, &g_targetThread);
    if (!thread) return false;
    ::CloseHandle(thread);
    ::WaitForSingleObject(t.ready, 20000);
    if (!t.dialog) return false;
    const auto xid = reinterpret_cast<ULONG_PTR>(::GetPropW(t.dialog, L"__wine_x11_whole_window"));
    Emit(R"({"event":"ready","hwnd":"0x%llx","xid":"0x%llx","boxes":%zu})",
         static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(t.dialog)),
         static_cast<unsigned long long>(xid), t.boxes.size());
    return true;
}

// Puts the dialog in front with box 0 focused, empty boxes and fresh
// counters; waits a little for Wine to agree if it does not at once.
bool Arm() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (::SendMessageW(g_target.dialog, kArm, 0, 0)) return true;
        ::Sleep(100);
    }
    return false;
}

void StopTarget() {
    ::SendMessageW(g_target.dialog, WM_CLOSE, 0, 0);
}

// ---------------------------------------------------------------------------
// Keys

INPUT Key(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

INPUT UnicodeKey(wchar_t c, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = static_cast<WORD>(c);
    input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    return input;
}

// Ctrl, then Alt, so that Alt never reaches the dialog as a lone system key
// that would open its menu.
void PressHotkey() {
    INPUT keys[] = {Key(VK_CONTROL, false), Key(VK_MENU, false), Key('V', false),
                    Key('V', true),         Key(VK_MENU, true),  Key(VK_CONTROL, true)};
    ::SendInput(static_cast<UINT>(std::size(keys)), keys, sizeof(INPUT));
}

// ---------------------------------------------------------------------------
// Statistics printed with each run

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

struct Gaps {
    double median = 0;
    double max = 0;
};

Gaps PasteGaps(const std::vector<LONGLONG>& times) {
    std::vector<double> gaps;
    for (size_t i = 1; i < times.size(); ++i) gaps.push_back(Ms(times[i - 1], times[i]));
    Gaps out;
    out.median = Median(gaps);
    if (!gaps.empty()) out.max = *std::max_element(gaps.begin(), gaps.end());
    return out;
}

// ---------------------------------------------------------------------------
// fill: vardix's own fill, started by its hotkey

struct PressResult {
    bool pasted = false;
    bool complete = false;
};

PressResult OnePress(int index, bool inject, DWORD timeoutMs, const char* label) {
    Target& t = g_target;
    PressResult out;
    if (!SetClipboardText(t.userText)) {
        Emit(R"({"event":"error","what":"clipboard","n":%d})", index);
        return out;
    }
    // Let Wine's own clipboard bridge to X finish reacting to the change, so
    // that it does not hold the clipboard just when vardix opens it.
    ::Sleep(60);
    if (!Arm()) {
        Emit(R"({"event":"error","what":"focus","n":%d})", index);
        return out;
    }
    const LONGLONG start = Now();
    if (inject) PressHotkey();
    else Emit(R"({"event":"press-request","n":%d})", index);

    const bool finished = ::WaitForSingleObject(t.done, timeoutMs) == WAIT_OBJECT_0;
    if (!finished) ::SendMessageW(t.dialog, kDisarm, 0, 0);
    const auto right = static_cast<int>(::SendMessageW(t.dialog, kVerify, 0, 0));
    out.pasted = !t.pasteTimes.empty();
    out.complete = finished && right == static_cast<int>(t.boxes.size()) && t.restored;
    // With a key pressed from outside the press has no Windows time: the
    // clock starts at the first paste instead.
    const LONGLONG origin = inject ? start : (out.pasted ? t.pasteTimes.front() : start);
    const Gaps gaps = PasteGaps(t.pasteTimes);
    const auto ms = [&](LONGLONG at) { return at ? Ms(origin, at) : -1.0; };
    Emit(R"({"event":"fill","label":"%s","press":"%s","n":%d,"ok":%s,"boxes":%zu,"right":%d,"pastes":%zu,)"
         R"("first_paste_ms":%.3f,"last_piece_ms":%.3f,"restored_ms":%.3f,"total_ms":%.3f,)"
         R"("gap_median_ms":%.3f,"gap_max_ms":%.3f,"open_retries":%d})",
         label, inject ? "sendinput" : "external", index, out.complete ? "true" : "false", t.boxes.size(), right,
         t.pasteTimes.size(), out.pasted ? ms(t.pasteTimes.front()) : -1.0, ms(t.lastPiece), ms(t.restored),
         t.lastPiece && t.restored ? Ms(origin, std::max(t.lastPiece, t.restored)) : -1.0, gaps.median, gaps.max,
         t.openFailures);
    // vardix returns from its handler right after the restore; the pause
    // keeps one press's tail (key-up events, Wine's clipboard bridge) out of
    // the next press.
    ::Sleep(150);
    return out;
}

int CommandFill(const Args& args) {
    const std::string code = Narrow(args.Get(L"--code", L"").c_str());
    const int presses = args.Int(L"--presses", 20);
    const std::wstring press = args.Get(L"--press", L"auto");
    const auto timeoutMs = static_cast<DWORD>(args.Int(L"--timeout-ms", 15000));
    const std::string label = Narrow(args.Get(L"--label", L"fill").c_str());
    if (code.empty() || !StartTarget(code, true)) {
        Emit(R"({"event":"error","what":"target"})");
        return 2;
    }
    bool inject = press != L"external";
    if (press == L"auto") {
        // Whether Wine turns an injected Ctrl+Alt+V into vardix's hotkey is
        // the first thing to know; this probe press is not counted.
        const PressResult probe = OnePress(0, true, 4000, "probe");
        inject = probe.pasted;
        Emit(R"({"event":"sendinput-hotkey","works":%s})", inject ? "true" : "false");
    }
    for (int i = 1; i <= presses; ++i) OnePress(i, inject, timeoutMs, label.c_str());
    StopTarget();
    Emit(R"({"event":"end"})");
    return 0;
}

// ---------------------------------------------------------------------------
// type: the same fill done as auto-type tools do it, one Unicode keystroke per
// character and a Tab between pieces

int CommandType(const Args& args) {
    const std::string code = Narrow(args.Get(L"--code", L"").c_str());
    const int runs = args.Int(L"--runs", 20);
    const auto timeoutMs = static_cast<DWORD>(args.Int(L"--timeout-ms", 15000));
    const std::string label = Narrow(args.Get(L"--label", L"type").c_str());
    if (code.empty() || !StartTarget(code, false)) {
        Emit(R"({"event":"error","what":"target"})");
        return 2;
    }
    Target& t = g_target;
    for (int run = 1; run <= runs; ++run) {
        if (!Arm()) {
            Emit(R"({"event":"error","what":"focus","n":%d})", run);
            continue;
        }
        size_t keys = 0;
        const LONGLONG start = Now();
        for (size_t piece = 0; piece < t.expected.size(); ++piece) {
            if (piece > 0) {
                INPUT tab[] = {Key(VK_TAB, false), Key(VK_TAB, true)};
                ::SendInput(2, tab, sizeof(INPUT));
                ++keys;
            }
            for (char c : t.expected[piece]) {
                INPUT pair[] = {UnicodeKey(static_cast<wchar_t>(c), false), UnicodeKey(static_cast<wchar_t>(c), true)};
                ::SendInput(2, pair, sizeof(INPUT));
                ++keys;
            }
        }
        const LONGLONG sent = Now();
        const bool finished = ::WaitForSingleObject(t.done, timeoutMs) == WAIT_OBJECT_0;
        if (!finished) ::SendMessageW(t.dialog, kDisarm, 0, 0);
        const auto right = static_cast<int>(::SendMessageW(t.dialog, kVerify, 0, 0));
        const bool ok = finished && right == static_cast<int>(t.boxes.size());
        Emit(R"({"event":"type","label":"%s","n":%d,"ok":%s,"boxes":%zu,"right":%d,"keys":%zu,)"
             R"("injected_ms":%.3f,"total_ms":%.3f})",
             label.c_str(), run, ok ? "true" : "false", t.boxes.size(), right, keys, Ms(start, sent),
             t.lastPiece ? Ms(start, t.lastPiece) : -1.0);
        ::Sleep(150);
    }
    StopTarget();
    Emit(R"({"event":"end"})");
    return 0;
}

// ---------------------------------------------------------------------------
// Hotkey probes

// 0 when the combination was free (and is free again), else the error.
DWORD ProbeHotkey(UINT vk) {
    constexpr int kProbeId = 0xB000;
    if (::RegisterHotKey(nullptr, kProbeId, MOD_CONTROL | MOD_ALT, vk)) {
        ::UnregisterHotKey(nullptr, kProbeId);
        return 0;
    }
    return ::GetLastError();
}

// With `ready`, only once its thread answers messages: a dialog pumps none
// before its initialisation, which registers the hotkeys, is over, and a
// hidden start is never shown to tell by.
HWND WaitForVardixWindow(DWORD timeoutMs, bool ready) {
    const DWORD begin = ::GetTickCount();
    for (;;) {
        const HWND window = ::FindWindowW(nullptr, kVardixCaption);
        DWORD_PTR ignored = 0;
        if (window && (!ready || ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &ignored)))
            return window;
        if (::GetTickCount() - begin > timeoutMs) return nullptr;
        ::Sleep(1);
    }
}

ULONGLONG Ticks(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool CpuTicks(HANDLE process, ULONGLONG& kernel, ULONGLONG& user) {
    FILETIME created, exited, k, u;
    if (!::GetProcessTimes(process, &created, &exited, &k, &u)) return false;
    kernel = Ticks(k);
    user = Ticks(u);
    return true;
}

// ---------------------------------------------------------------------------
// idle: the processor time of a running, hidden vardix

int CommandIdle(const Args& args) {
    const int seconds = args.Int(L"--seconds", 60);
    // Even with /runmin the dialog manager shows the window (with no size)
    // once its initialisation, the hotkeys included, is over. Before that a
    // probe could take a hotkey first; WaitForInputIdle does not help here,
    // as under Wine it returned while the dialog was still being set up.
    const HWND window = WaitForVardixWindow(30000, true);
    if (!window) {
        Emit(R"({"event":"error","what":"no vardix window"})");
        return 1;
    }
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    const DWORD probeV = ProbeHotkey('V');
    const DWORD probeF7 = ProbeHotkey(VK_F7);
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    ULONGLONG k0 = 0, u0 = 0, k1 = 0, u1 = 0;
    if (!process || !CpuTicks(process, k0, u0)) {
        Emit(R"({"event":"error","what":"GetProcessTimes","code":%lu})", ::GetLastError());
        return 2;
    }
    RECT rect{};
    ::GetWindowRect(window, &rect);
    Emit(R"({"event":"start","pid":%lu,"hwnd":"0x%llx","width":%ld,"height":%ld,"probe_v":%lu,"probe_f7":%lu,)"
         R"("holds_hotkeys":%s,"kernel":%llu,"user":%llu})",
         pid, static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window)),
         rect.right - rect.left, rect.bottom - rect.top, probeV, probeF7,
         probeV == kErrorHotkeyTaken && probeF7 == kErrorHotkeyTaken ? "true" : "false", k0, u0);
    ::Sleep(static_cast<DWORD>(seconds) * 1000u);
    CpuTicks(process, k1, u1);
    ::CloseHandle(process);
    Emit(R"({"event":"end","seconds":%d,"kernel":%llu,"user":%llu,"delta_ticks":%llu})", seconds, k1, u1,
         (k1 - k0) + (u1 - u0));
    return 0;
}

// ---------------------------------------------------------------------------
// start: from CreateProcess to both hotkeys held

int CommandStart(const Args& args) {
    const std::wstring program = args.Get(L"--program", L"");
    const int runs = args.Int(L"--runs", 5);
    if (program.empty()) return 64;
    if (::FindWindowW(nullptr, kVardixCaption)) {
        Emit(R"({"event":"error","what":"vardix is already running"})");
        return 1;
    }
    for (int run = 1; run <= runs; ++run) {
        // A first start on this machine: no settings.
        const LSTATUS deleted = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSettingsKey);
        std::wstring commandLine = L"\"" + program + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        const LONGLONG begin = Now();
        if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &info)) {
            Emit(R"({"event":"error","what":"CreateProcess","code":%lu})", ::GetLastError());
            return 2;
        }
        const HWND window = WaitForVardixWindow(30000, true);
        const LONGLONG shown = Now();
        DWORD probeV = 0, probeF7 = 0;
        LONGLONG held = 0;
        if (window) {
            // Visible means its initialisation, which registers the hotkeys,
            // is over; a probe that still gets a combination gives it back at
            // once and tries again.
            for (int attempt = 0; attempt < 2000 && !held; ++attempt) {
                probeV = ProbeHotkey('V');
                probeF7 = ProbeHotkey(VK_F7);
                if (probeV == kErrorHotkeyTaken && probeF7 == kErrorHotkeyTaken) held = Now();
                else ::Sleep(1);
            }
        }
        Emit(R"({"event":"start","n":%d,"settings_deleted":%ld,"window_ms":%.3f,"hotkeys_ms":%.3f,)"
             R"("probe_v":%lu,"probe_f7":%lu})",
             run, static_cast<long>(deleted), window ? Ms(begin, shown) : -1.0, held ? Ms(begin, held) : -1.0, probeV,
             probeF7);
        if (window) ::PostMessageW(window, WM_CLOSE, 0, 0);
        if (::WaitForSingleObject(info.hProcess, 15000) != WAIT_OBJECT_0) {
            ::TerminateProcess(info.hProcess, 1);
            Emit(R"({"event":"error","what":"vardix did not close","n":%d})", run);
        }
        ::CloseHandle(info.hThread);
        ::CloseHandle(info.hProcess);
    }
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSettingsKey);
    Emit(R"({"event":"end"})");
    return 0;
}

// ---------------------------------------------------------------------------
// parts: what single clipboard operations cost here, to tell which part of a
// fill's time is the clipboard and which the messages

UINT Quiet(const wchar_t* name) { return ::RegisterClipboardFormatW(name); }

const wchar_t* const kQuietNames[] = {L"ExcludeClipboardContentFromMonitorProcessing",
                                      L"CanIncludeInClipboardHistory", L"CanUploadToCloudClipboard",
                                      L"Clipboard Viewer Ignore"};

// The four formats that keep a transient clipboard content out of clipboard
// history and clipboard managers, as vardix writes them with each piece;
// `ids` are the formats registered beforehand, or null to register them on
// each call as vardix does.
void PutQuiet(const UINT* ids = nullptr) {
    for (size_t i = 0; i < std::size(kQuietNames); ++i) {
        HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, sizeof(DWORD));
        if (!block) continue;
        *static_cast<DWORD*>(::GlobalLock(block)) = 0;
        ::GlobalUnlock(block);
        if (!::SetClipboardData(ids ? ids[i] : Quiet(kQuietNames[i]), block)) ::GlobalFree(block);
    }
}

DWORD WINAPI EchoThread(void* param) {
    auto* window = static_cast<HWND*>(param);
    *window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    return 0;
}

template <typename F>
double TimeMedian(int reps, F&& step) {
    std::vector<double> times;
    times.reserve(static_cast<size_t>(reps));
    for (int i = 0; i < reps; ++i) {
        const LONGLONG begin = Now();
        step();
        times.push_back(Ms(begin, Now()));
    }
    return Median(times);
}

int CommandParts(const Args& args) {
    const int reps = args.Int(L"--reps", 200);
    const HWND owner = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const std::string piece = "AB12";
    const auto openOrWait = [&] {
        while (!::OpenClipboard(owner)) ::Sleep(0);
    };
    const double openClose = TimeMedian(reps, [&] {
        openOrWait();
        ::CloseClipboard();
    });
    const double writeText = TimeMedian(reps, [&] {
        openOrWait();
        ::EmptyClipboard();
        PutText(piece);
        ::CloseClipboard();
    });
    const double writeQuiet = TimeMedian(reps, [&] {
        openOrWait();
        ::EmptyClipboard();
        PutText(piece);
        PutQuiet();
        ::CloseClipboard();
    });
    const double registerFormat = TimeMedian(reps, [&] { Quiet(L"CanIncludeInClipboardHistory"); });
    const double readText = TimeMedian(reps, [&] {
        openOrWait();
        ClipboardTextIs(piece);
        ::CloseClipboard();
    });
    const double sequence = TimeMedian(reps, [&] { ::GetClipboardSequenceNumber(); });
    ::DestroyWindow(owner);

    // A message sent to a window of another thread goes through the
    // wineserver just as one to another process does.
    HWND echo = nullptr;
    DWORD echoThread = 0;
    const HANDLE thread = ::CreateThread(nullptr, 0, &EchoThread, &echo, 0, &echoThread);
    while (!echo) ::Sleep(1);
    const double send = TimeMedian(reps, [&] {
        DWORD_PTR answer = 0;
        ::SendMessageTimeoutW(echo, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &answer);
    });
    ::PostThreadMessageW(echoThread, WM_QUIT, 0, 0);
    ::WaitForSingleObject(thread, 5000);
    ::CloseHandle(thread);
    Emit(R"({"event":"parts","reps":%d,"open_close_ms":%.4f,"write_text_ms":%.4f,"write_text_quiet_ms":%.4f,)"
         R"("register_format_ms":%.4f,"read_text_ms":%.4f,"sequence_number_ms":%.4f,"send_message_ms":%.4f})",
         reps, openClose, writeText, writeQuiet, registerFormat, readText, sequence, send);
    return 0;
}

// ---------------------------------------------------------------------------
// steps: the fill's per-box steps done by this program against its own
// dialog, adding one step at a time, so that each step's share of a fill is
// measured under the same conditions. A message to another thread goes
// through the wineserver as one to another process does.

enum class Steps { SetText, Paste, PasteOptOutOnce, PasteOptOut, PasteOptOutFocus };

struct Variant {
    const char* name;
    Steps steps;
};
const Variant kVariants[] = {{"settext", Steps::SetText},
                             {"paste", Steps::Paste},
                             {"paste+optout-registered-once", Steps::PasteOptOutOnce},
                             {"paste+optout", Steps::PasteOptOut},
                             {"paste+optout+focus", Steps::PasteOptOutFocus}};

UINT g_quietIds[std::size(kQuietNames)] = {};

void WritePiece(HWND owner, const std::string& piece, Steps steps, int& retries) {
    while (!::OpenClipboard(owner)) {
        ++retries;
        ::Sleep(1);
    }
    ::EmptyClipboard();
    PutText(piece);
    if (steps == Steps::PasteOptOutOnce) PutQuiet(g_quietIds);
    else if (steps != Steps::Paste) PutQuiet();
    ::CloseClipboard();
}

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR answer = 0;
    return ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 3000, &answer) != 0;
}

void FillOnce(Steps steps, HWND owner, int& retries) {
    Target& t = g_target;
    HWND current = t.boxes[0];
    for (size_t i = 0; i < t.expected.size() && current; ++i) {
        const std::string& piece = t.expected[i];
        if (steps == Steps::SetText) {
            const std::wstring wide(piece.begin(), piece.end());
            Send(current, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
            current = t.boxes[(i + 1) % t.boxes.size()];
            continue;
        }
        HWND box = current;
        if (steps == Steps::PasteOptOutFocus) {
            if (!::IsWindow(t.dialog) || !::IsWindow(current)) return;
            ::SetFocus(current);
            box = ::GetFocus();
        }
        WritePiece(owner, piece, steps, retries);
        Send(box, EM_SETSEL, 0, static_cast<LPARAM>(-1));
        Send(box, WM_PASTE, 0, 0);
        current = steps == Steps::PasteOptOutFocus ? ::GetNextDlgTabItem(t.dialog, current, FALSE)
                                                   : t.boxes[(i + 1) % t.boxes.size()];
    }
}

int CommandSteps(const Args& args) {
    const std::string code = Narrow(args.Get(L"--code", L"").c_str());
    const int runs = args.Int(L"--runs", 15);
    if (code.empty() || !StartTarget(code, false)) {
        Emit(R"({"event":"error","what":"target"})");
        return 2;
    }
    const HWND owner = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    for (size_t i = 0; i < std::size(kQuietNames); ++i) g_quietIds[i] = Quiet(kQuietNames[i]);
    constexpr size_t kCount = std::size(kVariants);
    std::vector<double> times[kCount];
    int right[kCount] = {};
    int retries[kCount] = {};
    // Round after round of all variants, so that a change in the machine's
    // load falls on every variant alike.
    for (int run = 0; run < runs; ++run) {
        for (size_t v = 0; v < kCount; ++v) {
            if (!Arm()) continue;
            // As vardix does: share input state with the dialog's thread so
            // that its focus can be moved from here.
            const bool attached = kVariants[v].steps == Steps::PasteOptOutFocus &&
                                  ::AttachThreadInput(::GetCurrentThreadId(), g_targetThread, TRUE);
            const LONGLONG begin = Now();
            FillOnce(kVariants[v].steps, owner, retries[v]);
            times[v].push_back(Ms(begin, Now()));
            if (attached) ::AttachThreadInput(::GetCurrentThreadId(), g_targetThread, FALSE);
            if (::SendMessageW(g_target.dialog, kVerify, 0, 0) == static_cast<LRESULT>(g_target.boxes.size()))
                ++right[v];
            ::Sleep(50);
        }
    }
    for (size_t v = 0; v < kCount; ++v) {
        Emit(R"({"event":"steps","variant":"%s","boxes":%zu,"runs":%zu,"right":%d,"median_ms":%.3f,)"
             R"("worst_ms":%.3f,"open_retries":%d})",
             kVariants[v].name, g_target.boxes.size(), times[v].size(), right[v], Median(times[v]),
             times[v].empty() ? 0.0 : *std::max_element(times[v].begin(), times[v].end()), retries[v]);
    }
    ::DestroyWindow(owner);
    StopTarget();
    Emit(R"({"event":"end"})");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    g_ticksPerMs = static_cast<double>(frequency.QuadPart) / 1000.0;
    if (argc < 2) {
        std::fputs("usage: benchdrv fill|type|idle|start|parts|steps [options]\n", stderr);
        return 64;
    }
    Args args;
    for (int i = 2; i < argc; ++i) args.items.emplace_back(argv[i]);
    const std::wstring command = argv[1];
    if (command == L"fill") return CommandFill(args);
    if (command == L"type") return CommandType(args);
    if (command == L"idle") return CommandIdle(args);
    if (command == L"start") return CommandStart(args);
    if (command == L"parts") return CommandParts(args);
    if (command == L"steps") return CommandSteps(args);
    std::fputs("unknown command\n", stderr);
    return 64;
}
