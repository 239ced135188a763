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
    // A busy browser pastes nothing either: whether it is typed into is for
    // its accessibility to say, which leaves a hung one alone.
    if (IsBrowserClass(facts.focusClass)) return FillWay::Type;
    if (facts.focusClass.empty() || !facts.answered) return FillWay::Paste;
    const bool windowless = (facts.dlgCode & (kDlgcHasSetSel | kDlgcButtonLike)) == 0 && !facts.otherTabStop;
    return windowless ? FillWay::Type : FillWay::Paste;
}

bool NamesItsBoxes(const AccessibleFocus& focus) {
    return focus.answer == AccessAnswer::Answered &&
           !(focus.self && (focus.role == kRoleClient || focus.role == kRoleWindow));
}

bool MayTypeInto(const AccessibleFocus& focus, long textHeight) {
    // Only a window without accessibility of its own is typed into blind: one
    // that has it, but names no box that can be checked, may have the focus
    // in a multi-line text.
    if (focus.answer == AccessAnswer::Silent) return true;
    if (!NamesItsBoxes(focus)) return false;
    const bool multiLine = focus.ia2 ? (focus.ia2States & kIa2StateMultiLine) != 0 : focus.box.height > 2 * textHeight;
    return focus.role == kRoleText && (focus.state & kStateReadOnly) == 0 && !multiLine;
}

long LineHeightAt(long height, unsigned measuredDpi, unsigned windowDpi) {
    if (measuredDpi == 0 || windowDpi == 0) return height;
    return static_cast<long>((static_cast<long long>(height) * windowDpi + measuredDpi / 2) / measuredDpi);
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

ReleaseStep NextReleaseStep(const KeyWait& wait) {
    const bool down = wait.letterDown || wait.modifierDown;
    if (wait.sinceReleaseMs) {
        if (!down) return ReleaseStep::Type;
        return *wait.sinceReleaseMs < kReleasedCheckMs ? ReleaseStep::Wait : ReleaseStep::GiveUp;
    }
    if (wait.letterDown) return wait.waitedMs < kLetterWaitMs ? ReleaseStep::Wait : ReleaseStep::GiveUp;
    if (!wait.modifierDown) return ReleaseStep::Type;
    return wait.sinceLetterUpMs < kModifierWaitMs ? ReleaseStep::Wait : ReleaseStep::Release;
}

}  // namespace vardix
