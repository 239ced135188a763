#pragma once
// Whether a press pastes, types or does nothing, and how typing lets go of
// the hotkey. Pure logic: what real toolkits answer cannot all be produced
// under Wine, so the decisions are tested on the facts themselves.

#include <cstdint>
#include <string_view>
#include <vector>

namespace vardix {

enum class FillWay {
    Paste,    // boxes that are windows of their own: today's fill
    Type,     // boxes a toolkit draws inside one window: typed keys
    Nothing,  // a console or terminal, where Ctrl and Tab mean other things
};

// WM_GETDLGCODE bits, kept here so that this header needs no Windows headers.
inline constexpr std::uint32_t kDlgcHasSetSel = 0x0008;
// A button or a label: typed letters there would be mnemonics, not text.
inline constexpr std::uint32_t kDlgcButtonLike = 0x2000 | 0x0010 | 0x0020 | 0x0040 | 0x0100;

struct FocusFacts {
    std::string_view focusClass;  // the class of the foreground thread's focus window; empty: none
    bool answered;                // WM_GETDLGCODE was answered in time
    std::uint32_t dlgCode;        // its answer
    bool otherTabStop;            // GetNextDlgTabItem found a tab stop other than the focus window
};

FillWay ChooseFillWay(const FocusFacts& facts);

// Consoles and terminals, where Ctrl, Home and Tab are commands: nothing is
// typed or pasted there.
bool IsTerminalClass(std::string_view className);

// What the focus window's accessibility object says has the focus.
enum class AccessAnswer {
    Silent,    // no accessibility, or only the window itself as Windows describes any window
    Answered,  // the toolkit named the focused object
    TimedOut,  // the program did not answer in time: it may be hung
};

inline constexpr long kRoleClient = 0x0A;
inline constexpr long kRoleWindow = 0x09;
inline constexpr long kRoleText = 0x2A;
inline constexpr long kStateReadOnly = 0x40;
inline constexpr long kIa2StateMultiLine = 0x200;

struct AccessibleFocus {
    AccessAnswer answer = AccessAnswer::Silent;
    bool self = false;   // the focused object is the window's own (CHILDID_SELF)
    long role = 0;       // MSAA role
    long state = 0;      // MSAA state bits
    long ia2States = 0;  // IAccessible2 state bits; 0 where the toolkit has none
};

// Only a single-line, editable text is typed into: anything else would have
// its text replaced, or keys taken as commands.
bool MayTypeInto(const AccessibleFocus& focus);

// Virtual keys, as Windows numbers them.
inline constexpr std::uint16_t kVkShift = 0x10;
inline constexpr std::uint16_t kVkControl = 0x11;
inline constexpr std::uint16_t kVkAlt = 0x12;
inline constexpr std::uint16_t kVkLeftWin = 0x5B;
inline constexpr std::uint16_t kVkRightWin = 0x5C;
inline constexpr std::uint16_t kModifierKeys[] = {kVkControl, kVkAlt, kVkShift, kVkLeftWin, kVkRightWin};

struct KeyStroke {
    std::uint16_t vk;
    bool up;
    bool operator==(const KeyStroke&) const = default;
};

// The injected strokes that let go of the modifiers still held (virtual
// keys from kModifierKeys). A key-up of Alt, a Windows key or Shift with no
// key since its key-down would open a menu, the Start menu or switch the
// input method: a Ctrl tap comes first.
std::vector<KeyStroke> ReleaseStrokes(const std::vector<std::uint16_t>& held);

}  // namespace vardix
