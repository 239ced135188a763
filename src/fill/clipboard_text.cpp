// The pieces, put on the clipboard one at a time for the boxes to paste.
#include "fill/clipboard_session.h"
#include "ui/main_dialog.h"

namespace vardix {

bool MainDialog::WriteClipboardText(std::string text) {
    bool written = false;
    {
        const ClipboardSession clipboard(m_hWnd);
        // Content that came after what Vardix saved or wrote last is someone
        // else's: not to be replaced by a piece.
        if (!clipboard || ::GetClipboardSequenceNumber() != m_dwClipSeq || !clipboard.Empty()) return false;
        written = clipboard.Put(CF_TEXT, text.c_str(), text.size() + 1);
        clipboard.PutQuietFormats();
    }
    // Read once the clipboard is closed, where some systems count the change.
    // Still the owner afterwards, nobody else has written since; otherwise
    // the content is theirs, and nothing of the user's goes back over it.
    m_dwClipSeq = ::GetClipboardSequenceNumber();
    if (::GetClipboardOwner() == m_hWnd) return written;
    m_snapPending.reset();
    return false;
}

}  // namespace vardix
