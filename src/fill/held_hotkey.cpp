#include "fill/held_hotkey.h"

namespace vardix {

namespace {

// Quicker than anyone presses a key twice, slow enough to cost nothing.
constexpr UINT kWatchMs = 30;

bool IsDown(UINT vk) { return (::GetAsyncKeyState(static_cast<int>(vk)) & 0x8000) != 0; }

}  // namespace

HeldHotkey::~HeldHotkey() { ::KillTimer(m_owner, kTimerId); }

void HeldHotkey::Answered(UINT vk) {
    if (vk == 0 || !IsDown(vk) || !::SetTimer(m_owner, kTimerId, kWatchMs, nullptr)) return;
    m_vk = vk;
}

void HeldHotkey::OnTimer() {
    if (m_vk != 0 && IsDown(m_vk)) return;
    ::KillTimer(m_owner, kTimerId);
    m_vk = 0;
    // A timer comes only once the queue is empty of other messages: a press
    // still queued now came before the key went up.
    MSG message;
    while (::PeekMessageW(&message, m_owner, WM_HOTKEY, WM_HOTKEY, PM_REMOVE)) continue;
}

}  // namespace vardix
