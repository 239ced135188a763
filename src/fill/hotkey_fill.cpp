// The fill: the copied code, split at its dashes, pasted into the focused box
// of the foreground window and the boxes after it.
#include <cstring>
#include <optional>
#include <utility>

#include "fill/clipboard_session.h"
#include "fill/serial_text.h"
#include "settings/hotkey_keys.h"
#include "ui/main_dialog.h"
#include "ui/texts.h"
#include "winfx/app.h"

namespace vardix {

namespace {

// Long enough for a busy program, short enough that a hung one does not make
// Vardix look hung too.
constexpr UINT kTargetAnswerTimeoutMs = 3000;

// Shares input state with the foreground window's thread for the life of the
// object, so that the other program's focus can be read and moved.
class ThreadInputAttachment {
public:
    ThreadInputAttachment(DWORD own, DWORD other) : m_own(own), m_other(other) {
        m_attached = ::AttachThreadInput(own, other, TRUE) != FALSE;
        if (!m_attached) m_error = ::GetLastError();
    }
    ~ThreadInputAttachment() {
        if (m_attached) ::AttachThreadInput(m_own, m_other, FALSE);
    }
    ThreadInputAttachment(const ThreadInputAttachment&) = delete;
    ThreadInputAttachment& operator=(const ThreadInputAttachment&) = delete;

    bool attached() const { return m_attached; }
    DWORD error() const { return m_error; }

private:
    DWORD m_own;
    DWORD m_other;
    bool m_attached = false;
    DWORD m_error = 0;
};

std::optional<FillEnd> SendToTarget(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR answer = 0;
    ::SetLastError(0);
    if (::SendMessageTimeoutW(target, message, wParam, lParam, SMTO_ABORTIFHUNG, kTargetAnswerTimeoutMs, &answer))
        return std::nullopt;
    return ClassifySendFailure(::GetLastError());
}

}  // namespace

BOOL MainDialog::ParseClipboardText() {
    if (!::IsClipboardFormatAvailable(CF_TEXT)) return FALSE;
    const std::string text = ReadClipboardText();
    if (text.empty()) return FALSE;
    SegmentList list{std::move(m_arrPieces), m_nPieceCount};
    const bool split = SplitSerialText(text, list);
    m_arrPieces = std::move(list.pieces);
    m_nPieceCount = list.count;
    return split ? TRUE : FALSE;
}

LRESULT MainDialog::OnHotKey(WPARAM wParam, LPARAM) {
    if (!::IsClipboardFormatAvailable(CF_TEXT)) return 0;
    if (wParam != HOTKEY_ID_LOWER_CODE && wParam != HOTKEY_ID_LETTER) return 0;
    m_strClipSaved = ReadClipboardText();
    if (m_strClipSaved.empty()) return 0;
    if (!ParseClipboardText()) return 0;

    // The whole clipboard goes back afterwards, not just its 8-bit text:
    // Unicode text, rich text, HTML and pictures would be lost otherwise.
    const std::optional<ClipboardSnapshot> saved = ClipboardSnapshot::Take(m_hWnd);
    const FillEnd end = FillForegroundFields();
    if (!saved || !saved->Restore(m_hWnd)) WriteClipboardText(m_strClipSaved);

    if (NeedsElevationNotice(end)) winfx::AppMessageBox(text::kTargetNeedsElevation);
    return 0;
}

FillEnd MainDialog::FillForegroundFields() {
    const HWND foreground = ::GetForegroundWindow();
    const DWORD ownThread = ::GetWindowThreadProcessId(m_hWnd, nullptr);
    const DWORD foregroundThread = ::GetWindowThreadProcessId(foreground, nullptr);
    // Attaching fails for our own thread, which needs no attaching; it is
    // refused for a program with higher rights, which nothing can then reach.
    const ThreadInputAttachment attachment(ownThread, foregroundThread);
    if (!attachment.attached() && AttachFailureEndsFill(attachment.error())) return FillEnd::AccessDenied;

    char className[260] = {};
    if (const HWND focus = ::GetFocus()) ::GetClassNameA(focus, className, sizeof className);
    // Forward from a standard edit box; other classes (rich edits, a
    // framework's own boxes) are filled backwards in tab order.
    const BOOL previous = std::strcmp(className, "Edit") == 0 ? FALSE : TRUE;

    HWND current = ::GetFocus();
    for (int i = 0; i < m_nPieceCount; ++i) {
        const std::string piece = m_arrPieces[static_cast<size_t>(i)];
        // With no box to take it, a piece would land in whatever gets the
        // focus next: stop rather than shift every later piece.
        if (!current) return FillEnd::NoTarget;
        if (!::IsWindow(foreground) || !::IsWindow(current)) return FillEnd::TargetGone;
        ::SetFocus(current);
        const HWND target = ::GetFocus();
        if (!target) return FillEnd::NoTarget;
        // A piece that cannot be put on the clipboard must not be replaced by
        // the previous one in the paste.
        if (!WriteClipboardText(piece)) return FillEnd::ClipboardBusy;
        if (auto failed = SendToTarget(target, EM_SETSEL, 0, static_cast<LPARAM>(-1))) return *failed;
        if (auto failed = SendToTarget(target, WM_PASTE, 0, 0)) return *failed;
        current = ::GetNextDlgTabItem(foreground, current, previous);
    }
    return FillEnd::Completed;
}

}  // namespace vardix
