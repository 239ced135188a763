#include "fill/fill_route.h"

#include <algorithm>
#include <array>

namespace vardix {

namespace {

// Terminals read Ctrl+A, Home and Tab as commands of their own.
constexpr std::array<std::string_view, 8> kTerminalClasses = {
    "ConsoleWindowClass",
    "CASCADIA_HOSTING_WINDOW_CLASS",
    "PseudoConsoleWindow",
    "mintty",
    "PuTTY",
    "KiTTY",
    "VirtualConsoleClass",
    "TMobaXtermForm",
};

// How WebView2 and CEF sit inside an ordinary dialog: a window of the
// browser's own, which answers like any other window but pastes nothing.
bool IsBrowserClass(std::string_view name) {
    return name.starts_with("Chrome_WidgetWin_") || name == "Chrome_RenderWidgetHostHWND";
}

}  // namespace

bool IsTerminalClass(std::string_view className) {
    return std::find(kTerminalClasses.begin(), kTerminalClasses.end(), className) != kTerminalClasses.end();
}

FillWay ChooseFillWay(const FocusFacts& facts) {
    if (IsTerminalClass(facts.focusClass)) return FillWay::Nothing;
    if (facts.focusClass.empty() || !facts.answered) return FillWay::Paste;
    if (IsBrowserClass(facts.focusClass)) return FillWay::Type;
    const bool windowless = (facts.dlgCode & (kDlgcHasSetSel | kDlgcButtonLike)) == 0 && !facts.otherTabStop;
    return windowless ? FillWay::Type : FillWay::Paste;
}

bool MayTypeInto(const AccessibleFocus& focus) {
    switch (focus.answer) {
    case AccessAnswer::Silent:
        return true;
    case AccessAnswer::TimedOut:
        return false;
    case AccessAnswer::Answered:
        break;
    }
    // The window itself, described as Windows describes any window: the
    // toolkit has said nothing about its boxes.
    if (focus.self && (focus.role == kRoleClient || focus.role == kRoleWindow)) return true;
    return focus.role == kRoleText && (focus.state & kStateReadOnly) == 0 &&
           (focus.ia2States & kIa2StateMultiLine) == 0;
}

std::vector<KeyStroke> ReleaseStrokes(const std::vector<std::uint16_t>& held) {
    std::vector<KeyStroke> strokes;
    const bool lone = std::any_of(held.begin(), held.end(), [](std::uint16_t vk) { return vk != kVkControl; });
    if (lone) strokes = {{kVkControl, false}, {kVkControl, true}};
    for (const std::uint16_t vk : held)
        if (vk != kVkControl || !lone) strokes.push_back({vk, true});
    return strokes;
}

}  // namespace vardix
