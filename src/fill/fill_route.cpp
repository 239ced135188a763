#include "fill/fill_route.h"

#include <algorithm>
#include <array>

namespace vardix {

namespace {

// Terminals read Ctrl+A, Home and Tab as commands of their own. The Remote
// Desktop client's input window (which Hyper-V's console also uses) passes
// every key on to another machine, whose focus nobody here can see.
constexpr std::array<std::string_view, 10> kTerminalClasses = {
    "ConsoleWindowClass",
    "CASCADIA_HOSTING_WINDOW_CLASS",
    "PseudoConsoleWindow",
    "mintty",
    "PuTTY",
    "KiTTY",
    "VirtualConsoleClass",
    "TMobaXtermForm",
    "IHWindowClass",
    "TscShellContainerClass",
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

bool NamesItsBoxes(const AccessibleFocus& focus) {
    return focus.answer == AccessAnswer::Answered &&
           !(focus.self && (focus.role == kRoleClient || focus.role == kRoleWindow));
}

bool MayTypeInto(const AccessibleFocus& focus, long textHeight) {
    switch (focus.answer) {
    case AccessAnswer::Silent:
    case AccessAnswer::Empty:
        return true;
    case AccessAnswer::TimedOut:
        return false;
    case AccessAnswer::Answered:
        break;
    }
    // The toolkit has said nothing about its boxes.
    if (!NamesItsBoxes(focus)) return true;
    const bool multiLine = focus.ia2 ? (focus.ia2States & kIa2StateMultiLine) != 0 : focus.box.height > 2 * textHeight;
    return focus.role == kRoleText && (focus.state & kStateReadOnly) == 0 && !multiLine;
}

bool AsksAgain(const AccessibleFocus& focus) {
    if (focus.answer == AccessAnswer::Empty) return true;
    return focus.answer == AccessAnswer::Answered && (focus.role == kRoleDocument || !NamesItsBoxes(focus));
}

bool IsOtherObject(const AccessibleFocus& now, const AccessibleFocus& typed) {
    return now.child != typed.child || !(now.box == typed.box);
}

bool IsMoveToNewText(const FocusEvent& event, const FocusEvent* typedEvent, const AccessibleFocus& named,
                     const AccessibleFocus& typed) {
    if (typedEvent && event == *typedEvent) return false;
    return named.answer == AccessAnswer::Answered && named.role == kRoleText && (named.state & kStateReadOnly) == 0 &&
           IsOtherObject(named, typed);
}

bool HasControlCharacter(const std::vector<std::wstring>& pieces) {
    for (const std::wstring& piece : pieces)
        for (const wchar_t c : piece)
            if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
    return false;
}

std::vector<KeyStroke> ReleaseStrokes(const std::vector<std::uint16_t>& held) {
    std::vector<KeyStroke> strokes;
    const bool lone = std::any_of(held.begin(), held.end(),
                                  [](std::uint16_t vk) { return vk != kVkLeftControl && vk != kVkRightControl; });
    if (lone) strokes = {{kVkLeftControl, false, false}, {kVkLeftControl, true, false}};
    for (const std::uint16_t vk : held) {
        const bool extended = vk == kVkRightControl || vk == kVkRightAlt || vk == kVkLeftWin || vk == kVkRightWin;
        if (vk != kVkLeftControl || !lone) strokes.push_back({vk, true, extended});
    }
    return strokes;
}

}  // namespace vardix
