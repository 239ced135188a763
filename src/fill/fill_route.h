#pragma once
// Whether a press pastes, types or does nothing, and how typing lets go of
// the hotkey. Pure logic: what real toolkits answer cannot all be produced
// under Wine, so the decisions are tested on the facts themselves.

#include <cstdint>
#include <optional>
#include <string>
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

// What a window's accessibility says of its focused object, or of the object
// a focus event names.
enum class AccessAnswer {
    Silent,    // no accessibility of the window's own: only what Windows makes up for any window
    Empty,     // the window's own accessibility, naming no focused object it can describe
    Answered,  // the toolkit named the object
    TimedOut,  // the program did not answer in time: it may be hung
};

inline constexpr long kRoleClient = 0x0A;
inline constexpr long kRoleWindow = 0x09;
inline constexpr long kRoleDocument = 0x0F;
inline constexpr long kRoleText = 0x2A;
inline constexpr long kStateReadOnly = 0x40;
inline constexpr long kIa2StateMultiLine = 0x200;

struct ScreenBox {
    long left = 0;
    long top = 0;
    long width = 0;
    long height = 0;
    bool operator==(const ScreenBox&) const = default;
};

struct AccessibleFocus {
    AccessAnswer answer = AccessAnswer::Silent;
    bool self = false;   // the object is the window's own (CHILDID_SELF)
    long role = 0;       // MSAA role
    long state = 0;      // MSAA state bits
    long ia2States = 0;  // IAccessible2 state bits
    bool ia2 = false;    // the toolkit gave IAccessible2 states at all
    long child = 0;      // the child id of a simple element; 0 for an object of its own
    ScreenBox box;       // where it is on the screen
    std::wstring value;  // its text
};

// The toolkit named an object other than the window itself, as Windows
// describes any window: only then can each box be checked.
bool NamesItsBoxes(const AccessibleFocus& focus);

// Only a single-line, editable text is typed into: anything else would have
// its text replaced, or keys taken as commands. Where the toolkit cannot say
// whether a text has several lines (no IAccessible2), a box taller than two
// lines of the system's text (`textHeight`, in pixels at the window's DPI) is
// taken for one that has. A window without accessibility of its own cannot be
// asked, and is typed into.
bool MayTypeInto(const AccessibleFocus& focus, long textHeight);

// A line's height measured at one DPI, at another: a box's place on a scaled
// display is in the pixels of the window's own DPI.
long LineHeightAt(long height, unsigned measuredDpi, unsigned windowDpi);

// A fresh Chromium turns its accessibility on at the first question and has
// its tree a moment later: until then it names no focus, or its document.
bool AsksAgain(const AccessibleFocus& focus);

// The box typed into and the one the focus is in now are not the same:
// another element, or another place on the screen.
bool IsOtherObject(const AccessibleFocus& now, const AccessibleFocus& typed);

// A focus event as it comes: window, object id and child id.
struct FocusEvent {
    std::uintptr_t window = 0;
    long object = 0;
    long child = 0;
    bool operator==(const FocusEvent&) const = default;
};

// Whether a focus event says the form moved on by itself: it is not the event
// of the box just typed into (`typedEvent`, when known), and the object it
// names (`named`) is another than that box (`typed`) and a text that may be
// edited. A list's highlighted item or a second event for the same box is no
// move.
bool IsMoveToNewText(const FocusEvent& event, const FocusEvent* typedEvent, const AccessibleFocus& named,
                     const AccessibleFocus& typed);

// A control character would be taken as a key of its own (a tab moves on, a
// line break submits): a code that holds one is not typed at all.
bool HasControlCharacter(const std::vector<std::wstring>& pieces);

// Virtual keys, as Windows numbers them, each side of its own: a key-up of
// the generic key lets go of the left one only.
inline constexpr std::uint16_t kVkLeftWin = 0x5B;
inline constexpr std::uint16_t kVkRightWin = 0x5C;
inline constexpr std::uint16_t kVkLeftShift = 0xA0;
inline constexpr std::uint16_t kVkRightShift = 0xA1;
inline constexpr std::uint16_t kVkLeftControl = 0xA2;
inline constexpr std::uint16_t kVkRightControl = 0xA3;
inline constexpr std::uint16_t kVkLeftAlt = 0xA4;
inline constexpr std::uint16_t kVkRightAlt = 0xA5;
inline constexpr std::uint16_t kModifierKeys[] = {kVkLeftControl, kVkRightControl, kVkLeftAlt, kVkRightAlt,
                                                  kVkLeftShift,   kVkRightShift,   kVkLeftWin, kVkRightWin};

struct KeyStroke {
    std::uint16_t vk;
    bool up;
    bool extended;  // KEYEVENTF_EXTENDEDKEY: right Ctrl, right Alt and the Windows keys
    bool operator==(const KeyStroke&) const = default;
};

// The injected strokes that let go of the modifiers still held (virtual
// keys from kModifierKeys). A key-up of Alt, a Windows key or Shift with no
// key since its key-down would open a menu, the Start menu or switch the
// input method: a tap of the left Ctrl comes first.
std::vector<KeyStroke> ReleaseStrokes(const std::vector<std::uint16_t>& held);

// Typing waits for the hotkey's letter to go up for as long as the user
// holds it, within reason; then for the modifiers a moment, before letting
// go of them; then makes sure they are up. A key still down would make the
// characters shortcuts, and the letter's auto-repeat would go on arriving as
// plain key presses.
inline constexpr unsigned long kLetterWaitMs = 10000;
inline constexpr unsigned long kModifierWaitMs = 1000;
inline constexpr unsigned long kReleasedCheckMs = 50;

struct KeyWait {
    bool letterDown = false;                      // the hotkey's own key
    bool modifierDown = false;                    // any of kModifierKeys
    unsigned long waitedMs = 0;                   // since the wait began
    unsigned long sinceLetterUpMs = 0;            // since the letter was first seen up
    std::optional<unsigned long> sinceReleaseMs;  // since the release strokes went out
};

enum class ReleaseStep { Wait, Release, Type, GiveUp };

ReleaseStep NextReleaseStep(const KeyWait& wait);

}  // namespace vardix
