#include "fill/typed_fill.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <utility>

#include "fill/accessible_probe.h"
#include "fill/clipboard_session.h"
#include "fill/serial_text.h"
#include "winfx/handles.h"
#include "winfx/system_function.h"

namespace vardix {

namespace {

constexpr UINT kDlgCodeTimeoutMs = 500;
constexpr DWORD kAccessibleTimeoutMs = 1000;
constexpr DWORD kSecondQuestionMs = 200;
// Upper limits only: a toolkit turns its accessibility on at the first
// question, and raises its first focus event only after that.
constexpr DWORD kFirstFocusWaitMs = 300;
constexpr DWORD kFocusWaitMs = 100;
// A window takes posted messages, the questions among them, before input: a
// question right after a key is answered before the key is handled.
constexpr DWORD kInputFirstMs = 3;

// Focus events of the focus window's process while the hook is set, the last
// ones kept until the typing looks at them. Out of context, they come to this
// thread while it retrieves messages.
FocusEvent g_events[16];
size_t g_eventCount = 0;

void CALLBACK OnFocusEvent(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    g_events[g_eventCount++ % std::size(g_events)] = {reinterpret_cast<std::uintptr_t>(window), object, child};
}

// Without WINEVENT_SKIPOWNPROCESS: the process filter leaves Vardix out
// already, and Wine delivers nothing at all with both.
class FocusEventHook {
public:
    explicit FocusEventHook(DWORD pid)
        : m_hook(::SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, OnFocusEvent, pid, 0,
                                   WINEVENT_OUTOFCONTEXT)) {
        g_eventCount = 0;
    }
    ~FocusEventHook() {
        if (m_hook) ::UnhookWinEvent(m_hook);
    }
    FocusEventHook(const FocusEventHook&) = delete;
    FocusEventHook& operator=(const FocusEventHook&) = delete;

private:
    HWINEVENTHOOK m_hook;
};

// Retrieves messages, as an out-of-context event hook needs its thread to,
// until `done` or the time is up: what other threads send and the hook's
// events are handled, posted messages (another press among them) stay queued
// for the message loop.
template <typename Done>
bool WaitUntil(DWORD timeoutMs, Done done) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
        if (done()) return true;
        const DWORD waited = ::GetTickCount() - start;
        if (waited >= timeoutMs) return false;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, std::min<DWORD>(timeoutMs - waited, 1), QS_ALLINPUT, 0);
    }
}

bool IsDown(int vk) { return (::GetAsyncKeyState(vk) & 0x8000) != 0; }

INPUT Key(WORD vk, bool up, bool extended = false) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    // Web pages read the key's code from the scan code; the right Ctrl and
    // Alt differ from the left ones only by the extended flag.
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC_EX) & 0xFF);
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    // Home and End of the navigation keys, not the number pad's.
    if (extended || vk == VK_HOME || vk == VK_END) input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    return input;
}

bool Send(std::vector<INPUT>& inputs) {
    return inputs.empty() ||
           ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

// Lets go of the hotkey once its letter is up: false where a key stays down.
// The letter's auto-repeat arrives as presses of the hotkey meanwhile where
// Windows ignores MOD_NOREPEAT: each came while the letter stayed down since
// this press, and is dropped once it is up. (A letter still down at the end
// leaves them to the held-key drop.)
bool ReleaseHotkey(UINT hotkeyVk) {
    const DWORD start = ::GetTickCount();
    std::optional<DWORD> letterUp;
    std::optional<DWORD> released;
    bool letterHeld = false;
    for (;;) {
        KeyWait wait;
        wait.letterDown = hotkeyVk != 0 && IsDown(static_cast<int>(hotkeyVk));
        for (const std::uint16_t vk : kModifierKeys) wait.modifierDown = wait.modifierDown || IsDown(vk);
        const DWORD now = ::GetTickCount();
        letterHeld = letterHeld || wait.letterDown;
        if (wait.letterDown) letterUp.reset();
        if (!wait.letterDown && !letterUp) letterUp = now;
        wait.waitedMs = now - start;
        wait.sinceLetterUpMs = letterUp ? now - *letterUp : 0;
        if (released) wait.sinceReleaseMs = now - *released;
        const ReleaseStep step = NextReleaseStep(wait);
        if ((step == ReleaseStep::Type || step == ReleaseStep::GiveUp) && letterHeld && !wait.letterDown) {
            MSG message;
            while (::PeekMessageW(&message, nullptr, WM_HOTKEY, WM_HOTKEY, PM_REMOVE)) continue;
        }
        switch (step) {
        case ReleaseStep::Wait:
            WaitUntil(1, [] { return false; });
            continue;
        case ReleaseStep::GiveUp:
            return false;
        case ReleaseStep::Type:
            return true;
        case ReleaseStep::Release: {
            std::vector<std::uint16_t> held;
            for (const std::uint16_t vk : kModifierKeys)
                if (IsDown(vk)) held.push_back(vk);
            std::vector<INPUT> inputs;
            for (const KeyStroke& stroke : ReleaseStrokes(held))
                inputs.push_back(Key(stroke.vk, stroke.up, stroke.extended));
            if (!Send(inputs)) return false;
            released = ::GetTickCount();
            continue;
        }
        }
    }
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

// The height of a line of the system's message font at `window`'s DPI, in
// its pixels: the places its accessibility gives are in them, while Vardix,
// which declares no DPI awareness, sees the font at 96 DPI on a scaled
// display. Before Windows 10's version 1607 there is no DPI per window: the
// font as Vardix sees it, at the system's DPI, counts.
long TextHeightFor(HWND window) {
    constexpr long kFallback = 16;
    using DpiForWindow = UINT(WINAPI*)(HWND);
    using InfoForDpi = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
    static const auto dpiForWindow = winfx::FindUser32Function<DpiForWindow>("GetDpiForWindow");
    static const auto infoForDpi = winfx::FindUser32Function<InfoForDpi>("SystemParametersInfoForDpi");
    const HDC screen = ::GetDC(nullptr);
    if (!screen) return kFallback;
    const auto screenDpi = static_cast<unsigned>(::GetDeviceCaps(screen, LOGPIXELSY));
    const unsigned windowDpi = dpiForWindow && window ? dpiForWindow(window) : 0;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    const bool atWindowDpi =
        windowDpi != 0 && infoForDpi && infoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, windowDpi);
    const bool read = atWindowDpi || ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    const winfx::GdiObject font(read ? ::CreateFontIndirectW(&metrics.lfMessageFont) : nullptr);
    const HGDIOBJ old = font ? ::SelectObject(screen, font.get()) : nullptr;
    TEXTMETRICW text{};
    const bool measured = old && ::GetTextMetricsW(screen, &text);
    if (old) ::SelectObject(screen, old);
    ::ReleaseDC(nullptr, screen);
    const long height = measured ? text.tmHeight : std::max(kFallback, std::labs(metrics.lfMessageFont.lfHeight));
    // A font's pixels do not depend on the device context: measured at the
    // window's DPI, the height is already in its pixels.
    if (atWindowDpi) return height;
    return LineHeightAt(height, screenDpi, windowDpi ? windowDpi : screenDpi);
}

}  // namespace

bool TypeCode(HWND owner, HWND foreground, HWND focus, UINT hotkeyVk, const AccessibleFocus& asked) {
    try {
        WideSegmentList list;
        if (!SplitSerialText(ClipboardSession(owner).UnicodeText(), list)) return false;
        list.pieces.resize(static_cast<size_t>(list.count));
        return TypePieces(foreground, focus, list.pieces, hotkeyVk, asked);
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

FillWay ChooseFillWayAt(HWND foreground, HWND focus, AccessibleFocus& asked) {
    char className[260] = {};
    if (focus) ::GetClassNameA(focus, className, sizeof className);
    DWORD_PTR dlgCode = 0;
    const bool answered =
        focus && ::SendMessageTimeoutW(focus, WM_GETDLGCODE, 0, 0, SMTO_ABORTIFHUNG, kDlgCodeTimeoutMs, &dlgCode) != 0;
    const HWND next = focus ? ::GetNextDlgTabItem(foreground, focus, FALSE) : nullptr;
    const FocusFacts facts{className, answered, static_cast<std::uint32_t>(dlgCode), next && next != focus};
    const FillWay way = ChooseFillWay(facts);
    if (way != FillWay::Type) return way;
    asked = ProbeAccessibleFocus(focus, kAccessibleTimeoutMs);
    if (AsksAgain(asked)) {
        WaitUntil(kSecondQuestionMs, [] { return false; });
        asked = ProbeAccessibleFocus(focus, kAccessibleTimeoutMs);
    }
    return MayTypeInto(asked, TextHeightFor(focus)) ? FillWay::Type : FillWay::Nothing;
}

bool TypePieces(HWND foreground, HWND focus, const std::vector<std::wstring>& pieces, UINT hotkeyVk,
                const AccessibleFocus& asked) {
    if (HasControlCharacter(pieces)) return false;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(focus, &pid);
    const FocusEventHook hook(pid);
    if (!ReleaseHotkey(hotkeyVk)) return false;
    // A window without accessibility of its own raises no focus events and
    // cannot say which box has the focus: there every piece and Tab goes out
    // without waiting.
    const bool checked = NamesItsBoxes(asked);
    const long textHeight = TextHeightFor(focus);
    std::optional<AccessibleSession> session;
    if (checked) session.emplace(focus);
    const auto ask = [&](Question question, const FocusEvent& event) {
        return session->Ask(question, event, kAccessibleTimeoutMs);
    };
    const auto stillThere = [&] { return ::GetForegroundWindow() == foreground && FocusOf(foreground) == focus; };
    AccessibleFocus typed;
    std::optional<AccessibleFocus> now;
    std::optional<FocusEvent> typedEvent;
    size_t seen = 0;
    // Whether a focus event not yet looked at names a new text: the form
    // moved on by itself.
    const auto movedOn = [&] {
        for (seen = std::max(seen, g_eventCount - std::min(g_eventCount, std::size(g_events))); seen < g_eventCount;) {
            const FocusEvent event = g_events[seen++ % std::size(g_events)];
            if (typedEvent && event == *typedEvent) continue;
            const AccessibleFocus named = ask(Question::Object, event);
            if (!IsMoveToNewText(event, typedEvent ? &*typedEvent : nullptr, named, typed)) continue;
            typedEvent = event;
            return true;
        }
        return false;
    };
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (!stillThere()) return false;
        if (checked) {
            if (!now) now = ask(Question::Focus, {});
            if (!NamesItsBoxes(*now) || !MayTypeInto(*now, textHeight) || (i > 0 && !IsOtherObject(*now, typed)))
                return false;
            typed = std::move(*now);
            now.reset();
            // The focus event of this box, where it is an element of the window.
            if (typed.child != 0)
                typedEvent = FocusEvent{reinterpret_cast<std::uintptr_t>(focus), OBJID_CLIENT, typed.child};
        }
        if (!TypePiece(pieces[i])) return false;
        if (i + 1 == pieces.size()) break;
        // A form that moves on by itself when a box is full says so with a
        // focus event; a Tab then would skip a box. Once the piece is seen in
        // its box, it has not.
        const auto seenInBox = [&] { return ask(Question::Value, {}).value == pieces[i]; };
        bool moved = false;
        if (checked) WaitUntil(kInputFirstMs, [] { return false; });
        if (checked)
            WaitUntil(i == 0 ? kFirstFocusWaitMs : kFocusWaitMs, [&] { return (moved = movedOn()) || seenInBox(); });
        if (moved) continue;
        if (!stillThere() || !SendTab()) return false;
        if (checked) WaitUntil(kInputFirstMs, [] { return false; });
        if (checked)
            WaitUntil(kFocusWaitMs, [&] {
                if (movedOn()) {
                    now.reset();
                    return true;
                }
                now = ask(Question::Focus, {});
                return IsOtherObject(*now, typed);
            });
    }
    return true;
}

}  // namespace vardix
