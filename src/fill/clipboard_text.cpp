// The user's 8-bit clipboard text: the code to split, and the pieces put on
// the clipboard one at a time for the boxes to paste.
#include <cstring>

#include "fill/clipboard_session.h"
#include "ui/main_dialog.h"
#include "winfx/handles.h"

namespace vardix {

std::string MainDialog::ReadClipboardText() {
    if (!::IsClipboardFormatAvailable(CF_TEXT)) return {};
    const ClipboardSession clipboard(m_hWnd);
    if (!clipboard) return {};
    const winfx::GlobalLockGuard lock(::GetClipboardData(CF_TEXT));
    if (!lock.data()) return {};
    // Another program may have put a block without its NUL: never read past it.
    const auto* text = static_cast<const char*>(lock.data());
    return std::string(text, strnlen(text, lock.size()));
}

bool MainDialog::WriteClipboardText(std::string text) {
    const ClipboardSession clipboard(m_hWnd);
    if (!clipboard || !clipboard.Empty()) return false;
    const bool written = clipboard.Put(CF_TEXT, text.c_str(), text.size() + 1);
    clipboard.PutQuietFormats();
    return written;
}

}  // namespace vardix
