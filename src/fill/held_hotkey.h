#pragma once
// The hotkey's own key, held past the keyboard's repeat delay. Where Windows
// ignores MOD_NOREPEAT, every auto-repeat of the key brings the hotkey's
// message again, and each would fill again from wherever the last fill left
// the focus: one press must be one fill, whichever way it fills.

#include <windows.h>

namespace vardix {

class HeldHotkey {
public:
    // `owner` gets the watch's WM_TIMER, which it hands to OnTimer.
    explicit HeldHotkey(HWND owner) : m_owner(owner) {}
    ~HeldHotkey();
    HeldHotkey(const HeldHotkey&) = delete;
    HeldHotkey& operator=(const HeldHotkey&) = delete;

    static constexpr UINT_PTR kTimerId = 2;

    // True while the key of the last answered press has stayed down since:
    // a press now is its auto-repeat, not the user's.
    bool Repeating() const { return m_vk != 0; }
    // After a press was answered: watches its key for as long as it is down.
    void Answered(UINT vk);
    void OnTimer();

private:
    HWND m_owner;
    UINT m_vk = 0;
};

}  // namespace vardix
