// The fill: the copied code, split at its dashes, pasted into the focused box
// of the foreground window and the boxes after it.
#include <cstring>
#include <optional>
#include <utility>

#include "fill/clipboard_session.h"
#include "fill/serial_text.h"
#include "fill/typed_fill.h"
#include "settings/hotkey_keys.h"
#include "ui/main_dialog.h"

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
// A box that has not finished its paste this long after the time-out is
// taken to be dead; the user's copy goes back regardless.
constexpr DWORD kHoldLimitMs = 30000;

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
    SegmentList list{std::move(m_arrPieces), m_nPieceCount};
    const bool split = SplitSerialText(m_strClipSaved, list);
    m_arrPieces = std::move(list.pieces);
    m_nPieceCount = list.count;
    return split ? TRUE : FALSE;
}

LRESULT MainDialog::OnHotKey(WPARAM wParam, LPARAM lParam) {
    // Until the last fill's restore is done, the clipboard holds a piece, not
    // the user's copy.
    if (!FinishPendingRestore(kClipboardOpenBudgetMs)) return 0;
    if (!::IsClipboardFormatAvailable(CF_TEXT)) return 0;
    if (wParam != HOTKEY_ID_LOWER_CODE && wParam != HOTKEY_ID_LETTER) return 0;
    if (FillByTyping(m_hWnd, HIWORD(lParam))) return 0;

    FillEnd end = FillEnd::Completed;
    try {
        // The text that is split and the copy that goes back are one read of
        // the clipboard, so they are the same content. The whole goes back,
        // not just the 8-bit text: Unicode text, rich text, HTML and pictures
        // would be lost otherwise.
        std::optional<ClipboardSnapshot> saved = ClipboardSnapshot::Take(m_hWnd);
        if (!saved) return 0;
        m_strClipSaved = saved->Text();
        if (m_strClipSaved.empty() || !ParseClipboardText()) return 0;
        m_dwClipSeq = saved->Sequence();
        m_snapPending = std::move(saved);
        end = FillForegroundFields();
    } catch (...) {
        // Memory ran short: the fill ends here, and whatever was saved goes back.
        end = FillEnd::Aborted;
    }
    // A box still pasting, or another program holding the clipboard: the copy
    // goes back from the timer, so that Vardix does not freeze meanwhile.
    if (!FinishPendingRestore(kClipboardOpenBudgetMs)) ::SetTimer(m_hWnd, kRestoreTimerId, kRestoreRetryMs, nullptr);

    if (NeedsElevationNotice(end)) OnRefusedForRights();
    return 0;
}

bool MainDialog::FinishPendingRestore(DWORD budgetMs) {
    if (!m_snapPending) return true;
    if (m_hPasteBox || !m_snapPending->Restore(m_hWnd, m_dwClipSeq, budgetMs)) return false;
    m_snapPending.reset();
    ::KillTimer(m_hWnd, kRestoreTimerId);
    return true;
}

// WM_PASTE is sent so that its own answer tells when the paste is over: a box
// may handle further messages while it pastes (Wine's clipboard does so as
// the box opens it), so no message sent after it can tell. Vardix waits for
// the answer as long as for any message; a box that answers later still
// reads the clipboard then, so the piece stays there until it has.
std::optional<FillEnd> MainDialog::PasteInto(HWND box) {
    m_hPasteBox = box;
    ::SetLastError(0);
    if (!::SendMessageCallbackA(box, WM_PASTE, 0, 0, &OnPasteAnswered, reinterpret_cast<ULONG_PTR>(this))) {
        m_hPasteBox = nullptr;
        return ClassifySendFailure(::GetLastError());
    }
    if (AwaitPasteAnswer(kTargetAnswerTimeoutMs)) return std::nullopt;
    m_dwHoldStart = ::GetTickCount();
    return FillEnd::TimedOut;
}

bool MainDialog::AwaitPasteAnswer(DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        // Only what other threads send is handled here, the answer among it;
        // key presses and other posted messages wait for the message loop.
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (!m_hPasteBox) return true;
        const DWORD waited = ::GetTickCount() - start;
        if (waited >= timeoutMs) return false;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs - waited, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
    }
}

void CALLBACK MainDialog::OnPasteAnswered(HWND box, UINT, ULONG_PTR dialog, LRESULT) {
    auto* self = reinterpret_cast<MainDialog*>(dialog);
    if (box == self->m_hPasteBox) self->m_hPasteBox = nullptr;
}

// Runs while the user's copy is pending: it goes back once a held box has
// answered, is gone, or has been silent past the limit.
void MainDialog::OnTimer(UINT_PTR id) {
    if (id != kRestoreTimerId) return;
    if (m_hPasteBox && (!::IsWindow(m_hPasteBox) || ::GetTickCount() - m_dwHoldStart >= kHoldLimitMs))
        m_hPasteBox = nullptr;
    FinishPendingRestore(0);
}

// Leaving while a box is still pasting: wait for it, up to the limit, so that
// it gets its piece and the user's copy still goes back.
void MainDialog::EndHoldAtExit() {
    const DWORD held = ::GetTickCount() - m_dwHoldStart;
    if (m_hPasteBox && ::IsWindow(m_hPasteBox) && held < kHoldLimitMs) AwaitPasteAnswer(kHoldLimitMs - held);
    m_hPasteBox = nullptr;
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
            if (auto failed = PasteInto(target)) return *failed;
            // Content someone else put on the clipboard is no piece: this box
            // may have pasted it, no later box must.
            if (::GetClipboardSequenceNumber() != m_dwClipSeq) return FillEnd::ClipboardTaken;
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
