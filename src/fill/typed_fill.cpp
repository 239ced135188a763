#include "fill/typed_fill.h"

#include <algorithm>
#include <cstdint>

#include "fill/accessible_probe.h"
#include "fill/clipboard_session.h"
#include "fill/serial_text.h"
#include "winfx/handles.h"

namespace vardix {

namespace {

constexpr UINT kDlgCodeTimeoutMs = 500;
constexpr DWORD kAccessibleTimeoutMs = 1000;
constexpr DWORD kReleaseWaitMs = 1000;
// A toolkit turns its accessibility on at the first question, and raises its
// first focus event only after that.
constexpr DWORD kFirstFocusWaitMs = 300;
constexpr DWORD kFocusWaitMs = 100;

// Focus events of the target's process, counted while the hook is set. Out
// of context, the events come to this thread's message handling.
LONG g_focusEvents = 0;

void CALLBACK OnFocusEvent(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) { ++g_focusEvents; }

// Without WINEVENT_SKIPOWNPROCESS: the process filter leaves Vardix out
// already, and Wine delivers nothing at all with both.
class FocusEventHook {
public:
    explicit FocusEventHook(DWORD pid)
        : m_hook(::SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, OnFocusEvent, pid, 0,
                                   WINEVENT_OUTOFCONTEXT)) {}
    ~FocusEventHook() {
        if (m_hook) ::UnhookWinEvent(m_hook);
    }
    FocusEventHook(const FocusEventHook&) = delete;
    FocusEventHook& operator=(const FocusEventHook&) = delete;

private:
    HWINEVENTHOOK m_hook;
};

// Handles what other threads send and the events of the hook, until `done`
// or the time is up; posted messages (another press among them) wait for the
// message loop.
template <typename Done>
bool WaitUntil(DWORD timeoutMs, Done done) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (done()) return true;
        const DWORD waited = ::GetTickCount() - start;
        if (waited >= timeoutMs) return false;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, std::min<DWORD>(timeoutMs - waited, 10), QS_SENDMESSAGE, 0);
    }
}

bool IsDown(int vk) { return (::GetAsyncKeyState(vk) & 0x8000) != 0; }

INPUT Key(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    // Web pages read the key's code from the scan code.
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    // Home and End of the navigation keys, not the number pad's.
    if (vk == VK_HOME || vk == VK_END) input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    return input;
}

bool Send(std::vector<INPUT>& inputs) {
    return inputs.empty() ||
           ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

// Lets go of the hotkey: false while its own key is still down, whose
// auto-repeat would go on arriving as plain key presses.
bool ReleaseHotkey(UINT hotkeyVk) {
    const auto anyDown = [hotkeyVk] {
        if (IsDown(static_cast<int>(hotkeyVk))) return true;
        for (const std::uint16_t vk : kModifierKeys)
            if (IsDown(vk)) return true;
        return false;
    };
    WaitUntil(kReleaseWaitMs, [&] { return !anyDown(); });
    if (IsDown(static_cast<int>(hotkeyVk))) return false;
    std::vector<std::uint16_t> held;
    for (const std::uint16_t vk : kModifierKeys)
        if (IsDown(vk)) held.push_back(vk);
    std::vector<INPUT> inputs;
    for (const KeyStroke& stroke : ReleaseStrokes(held)) inputs.push_back(Key(stroke.vk, stroke.up));
    return Send(inputs);
}

// Home, Shift+End, then the text, in one call, so that none of the user's
// own keys lands inside it; the old text is replaced as a paste would.
bool TypePiece(const std::wstring& piece) {
    std::vector<INPUT> inputs = {Key(VK_HOME, false), Key(VK_HOME, true), Key(VK_SHIFT, false),
                                 Key(VK_END, false),  Key(VK_END, true),  Key(VK_SHIFT, true)};
    // A character outside the Basic Multilingual Plane goes as its two units.
    for (const wchar_t unit : piece) {
        for (const DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = static_cast<WORD>(unit);
            input.ki.dwFlags = KEYEVENTF_UNICODE | up;
            inputs.push_back(input);
        }
    }
    return Send(inputs);
}

bool SendTab() {
    std::vector<INPUT> inputs = {Key(VK_TAB, false), Key(VK_TAB, true)};
    return Send(inputs);
}

}  // namespace

bool TypeCode(HWND owner, HWND foreground, HWND focus, UINT hotkeyVk) {
    try {
        WideSegmentList list;
        if (!SplitSerialText(ClipboardSession(owner).UnicodeText(), list)) return false;
        list.pieces.resize(static_cast<size_t>(list.count));
        return TypePieces(foreground, focus, list.pieces, hotkeyVk);
    } catch (...) {
        // Memory ran short: whatever was typed stays, nothing more is.
        return false;
    }
}

HWND FocusOf(HWND foreground) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!foreground || !::GetGUIThreadInfo(::GetWindowThreadProcessId(foreground, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

FillWay ChooseFillWayAt(HWND foreground, HWND focus) {
    char className[260] = {};
    if (focus) ::GetClassNameA(focus, className, sizeof className);
    DWORD_PTR dlgCode = 0;
    const bool answered =
        focus && ::SendMessageTimeoutW(focus, WM_GETDLGCODE, 0, 0, SMTO_ABORTIFHUNG, kDlgCodeTimeoutMs, &dlgCode) != 0;
    const HWND next = focus ? ::GetNextDlgTabItem(foreground, focus, FALSE) : nullptr;
    const FocusFacts facts{className, answered, static_cast<std::uint32_t>(dlgCode), next && next != focus};
    const FillWay way = ChooseFillWay(facts);
    if (way != FillWay::Type) return way;
    return MayTypeInto(ProbeAccessibleFocus(focus, kAccessibleTimeoutMs)) ? FillWay::Type : FillWay::Nothing;
}

bool TypePieces(HWND foreground, HWND focus, const std::vector<std::wstring>& pieces, UINT hotkeyVk) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(foreground, &pid);
    const FocusEventHook hook(pid);
    if (!ReleaseHotkey(hotkeyVk)) return false;
    bool silent = false;
    bool tabbed = false;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (::GetForegroundWindow() != foreground || FocusOf(foreground) != focus) return false;
        const LONG before = g_focusEvents;
        if (!TypePiece(pieces[i])) return false;
        if (i + 1 == pieces.size()) break;
        // A form that moves on by itself when a box is full says so with a
        // focus event; a Tab then would skip a box.
        const DWORD wait = i == 0 ? kFirstFocusWaitMs : kFocusWaitMs;
        if (!silent && WaitUntil(wait, [&] { return g_focusEvents != before; })) continue;
        if (::GetForegroundWindow() != foreground) return false;
        const LONG beforeTab = g_focusEvents;
        if (!SendTab()) return false;
        // A toolkit that says nothing of the first Tab says nothing at all:
        // from then on, a Tab between every two pieces without waiting.
        if (!tabbed && !silent) silent = !WaitUntil(kFocusWaitMs, [&] { return g_focusEvents != beforeTab; });
        tabbed = true;
    }
    return true;
}

}  // namespace vardix
