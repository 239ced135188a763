// The two global hotkeys, bound from the chosen letter's index.
#include "res/resource.h"
#include "settings/hotkey_keys.h"
#include "ui/main_dialog.h"

namespace vardix {

namespace {
// Registered to the dialog's window rather than to the thread, so that the
// presses still arrive while a message box or the About box runs its own
// message loop.
bool Register(HWND window, HotkeyId id, int index) {
    const UINT vk = VirtualKeyFor(id, index);
    return ::RegisterHotKey(window, id, kHotkeyModifiers | kHotkeyNoRepeat, vk) ||
           ::RegisterHotKey(window, id, kHotkeyModifiers, vk);
}
}  // namespace

void MainDialog::RegisterHotkeysAtStart() {
    if (!Register(m_hWnd, HOTKEY_ID_LOWER_CODE, m_nHotkeyIndex)) MessageBox(IDS_LOWER_CODE_FAILED_AT_START);
    if (!Register(m_hWnd, HOTKEY_ID_LETTER, m_nHotkeyIndex)) MessageBox(IDS_LETTER_FAILED_AT_START);
}

void MainDialog::RebindHotkeys() {
    ReleaseHotkeys();
    if (!Register(m_hWnd, HOTKEY_ID_LOWER_CODE, m_nHotkeyIndex)) MessageBox(IDS_HOTKEY_FAILED_AT_SAVE);
    if (!Register(m_hWnd, HOTKEY_ID_LETTER, m_nHotkeyIndex)) MessageBox(IDS_HOTKEY_FAILED_AT_SAVE);
}

void MainDialog::ReleaseHotkeys() {
    ::UnregisterHotKey(m_hWnd, HOTKEY_ID_LOWER_CODE);
    ::UnregisterHotKey(m_hWnd, HOTKEY_ID_LETTER);
}

}  // namespace vardix
