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

// A paste that showed no effect is tried this often in all before the box
// is taken to have accepted it as it is (a box may filter or limit text).
constexpr int kPasteAttempts = 3;
constexpr UINT kRestoreTimerId = 1;
constexpr UINT kRestoreRetryMs = 100;

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

std::optional<FillEnd> SendToTarget(HWND target, UINT message, WPARAM wParam, LPARAM lParam,
                                    DWORD_PTR* answer = nullptr) {
    DWORD_PTR ignored = 0;
    ::SetLastError(0);
    if (::SendMessageTimeoutA(target, message, wParam, lParam, SMTO_ABORTIFHUNG, kTargetAnswerTimeoutMs,
                              answer ? answer : &ignored))
        return std::nullopt;
    return ClassifySendFailure(::GetLastError());
}

bool HasClass(HWND window, const char* className) {
    char name[260] = {};
    ::GetClassNameA(window, name, sizeof name);
    return std::strcmp(name, className) == 0;
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
    // Until the last fill's restore is done, the clipboard holds a piece, not
    // the user's copy.
    if (!FinishPendingRestore(kClipboardOpenBudgetMs)) return 0;
    if (!::IsClipboardFormatAvailable(CF_TEXT)) return 0;
    if (wParam != HOTKEY_ID_LOWER_CODE && wParam != HOTKEY_ID_LETTER) return 0;
    m_strClipSaved = ReadClipboardText();
    if (m_strClipSaved.empty()) return 0;
    if (!ParseClipboardText()) return 0;

    // The whole clipboard goes back afterwards, not just its 8-bit text:
    // Unicode text, rich text, HTML and pictures would be lost otherwise.
    std::optional<ClipboardSnapshot> saved = ClipboardSnapshot::Take(m_hWnd);
    const FillEnd end = FillForegroundFields();
    RestoreClipboard(saved ? std::move(*saved) : ClipboardSnapshot::FromText(m_strClipSaved));

    if (NeedsElevationNotice(end)) winfx::AppMessageBox(text::kTargetNeedsElevation);
    return 0;
}

void MainDialog::RestoreClipboard(ClipboardSnapshot saved) {
    if (saved.Restore(m_hWnd)) return;
    // Another program holds the clipboard longer than a fill may wait. Try
    // again from the message loop, so that Vardix does not freeze meanwhile.
    m_pendingRestore = std::move(saved);
    ::SetTimer(m_hWnd, kRestoreTimerId, kRestoreRetryMs, nullptr);
}

bool MainDialog::FinishPendingRestore(DWORD budgetMs) {
    if (!m_pendingRestore) return true;
    // Once someone else has put content of their own on the clipboard, it is
    // theirs; the pieces Vardix left are what the copy was to replace.
    const bool stillOurs = ::GetClipboardOwner() == m_hWnd;
    if (stillOurs && !m_pendingRestore->Restore(m_hWnd, budgetMs)) return false;
    m_pendingRestore.reset();
    ::KillTimer(m_hWnd, kRestoreTimerId);
    return true;
}

void MainDialog::OnTimer(UINT_PTR id) {
    if (id == kRestoreTimerId) FinishPendingRestore(0);
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
        // Boxes like the first one are checked after the paste; other tab
        // stops (buttons past the last box) have no caret to check.
        const bool checked = HasClass(target, className) || HasClass(target, "Edit");
        // A piece that cannot be put on the clipboard must not be replaced by
        // the previous one in the paste.
        if (!WriteClipboardText(piece)) return FillEnd::ClipboardBusy;
        for (int attempt = 1;; ++attempt) {
            if (auto failed = SendToTarget(target, EM_SETSEL, 0, static_cast<LPARAM>(-1))) return *failed;
            if (auto failed = SendToTarget(target, WM_PASTE, 0, 0)) return *failed;
            if (!checked || attempt == kPasteAttempts) break;
            DWORD_PTR selection = 0;
            if (auto failed = SendToTarget(target, EM_GETSEL, 0, 0, &selection)) return *failed;
            if (PasteTook(selection, piece.empty())) break;
            // A box that did not take the paste could not open the clipboard:
            // a clipboard manager was looking at the piece. Paste again once
            // it is done; if it never is, the box keeps its old text rather
            // than a wrong piece.
            if (!ClipboardSession(m_hWnd)) return FillEnd::ClipboardBusy;
        }
        current = ::GetNextDlgTabItem(foreground, current, previous);
    }
    return FillEnd::Completed;
}

}  // namespace vardix
