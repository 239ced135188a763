#pragma once
// Key arithmetic of the two hotkeys. Pure logic, shared with the unit tests.

#include <cstdint>

namespace vardix {

// The two hotkeys' ids, the wParam of their WM_HOTKEY.
enum HotkeyId : int {
    HOTKEY_ID_LOWER_CODE = 3001,  // 0x61 + index: keypad and function keys
    HOTKEY_ID_LETTER = 3002,      // 0x41 + index: the letter's own key
};

// The position of the chosen letter in the list A..Z; never range-checked.
using HotkeyIndex = int;

inline constexpr HotkeyIndex kDefaultHotkeyIndex = 21;  // V
inline constexpr std::uint32_t kHotkeyModifiers = 3;    // MOD_ALT | MOD_CONTROL
// No message at the key's auto-repeat; Windows before 7 refuses the flag.
inline constexpr std::uint32_t kHotkeyNoRepeat = 0x4000;  // MOD_NOREPEAT

// The index is never range-checked: a stored value outside A..Z reaches
// RegisterHotKey as it is. Unsigned arithmetic keeps even INT_MAX defined
// (it wraps exactly like the 32-bit addition the key code is made of).
constexpr std::uint32_t VirtualKeyFor(HotkeyId id, HotkeyIndex index) {
    const std::uint32_t base = id == HOTKEY_ID_LETTER ? 0x41u : 0x61u;
    return base + static_cast<std::uint32_t>(index);
}

}  // namespace vardix
