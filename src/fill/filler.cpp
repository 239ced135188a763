#include "fill/filler.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "fill/copy_limits.h"
#include "fill/serial_text.h"
#include "winfx/handles.h"

namespace vardix {

namespace {

// Long enough for a busy program, short enough that a hung one does not make
// Vardix look hung too.
constexpr UINT kTargetAnswerTimeoutMs = 3000;

// A paste that showed no effect is tried this often in all before the box
// is taken to have accepted it as it is (a box may filter or limit text).
constexpr int kPasteAttempts = 3;
constexpr UINT kRestoreRetryMs = 100;

std::optional<FillEnd> SendToTarget(HWND target, UINT message, WPARAM wParam, LPARAM lParam,
                                    DWORD_PTR* answer = nullptr) {
    DWORD_PTR ignored = 0;
    ::SetLastError(0);
    if (::SendMessageTimeoutA(target, message, wParam, lParam, SMTO_ABORTIFHUNG, kTargetAnswerTimeoutMs,
                              answer ? answer : &ignored))
        return std::nullopt;
    return ClassifySendFailure(::GetLastError());
}

// Window handles as the plain numbers the fill's plan works with.
std::uintptr_t Number(HWND window) { return reinterpret_cast<std::uintptr_t>(window); }

// A hung owner of delay-rendered data would hold every read until it wakes,
// up to the 30 s Windows gives it.
constexpr UINT kOwnerAnswerTimeoutMs = 200;

bool ClipboardOwnerAnswers() {
    const HWND owner = ::GetClipboardOwner();
    DWORD_PTR ignored = 0;
    ::SetLastError(0);
    const bool sent =
        !owner || ::SendMessageTimeoutW(owner, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kOwnerAnswerTimeoutMs, &ignored);
    const DWORD error = sent ? 0 : ::GetLastError();
    return OwnerAnswers(sent, error, !sent && ::IsHungAppWindow(owner));
}

// SendMessageCallback hands its callback a number, not an object: the one
// filler of this thread.
Filler* g_filler = nullptr;

}  // namespace

Filler::Filler(HWND owner) : m_owner(owner) { g_filler = this; }

Filler::~Filler() {
    ::KillTimer(m_owner, kRestoreTimerId);
    if (g_filler == this) g_filler = nullptr;
}

bool Filler::ReadyForPress() { return FinishPendingRestore(kClipboardOpenBudgetMs); }

bool Filler::ReadCode() {
    // Before even asking which formats there are: under Wine that waits for
    // a hung owner as well.
    if (!ClipboardOwnerAnswers() || !::IsClipboardFormatAvailable(CF_TEXT)) return false;
    const ClipboardSession clipboard(m_owner);
    if (!clipboard) return false;
    SegmentList list;
    if (!SplitSerialText(clipboard.Text(), list)) return false;
    list.pieces.resize(static_cast<size_t>(list.count));
    m_pieces = std::move(list.pieces);
    m_code = m_pieces.front();
    for (size_t i = 1; i < m_pieces.size(); ++i) m_code += "-" + m_pieces[i];
    // Read after the text, which its owner may have rendered on request.
    m_readSeq = ::GetClipboardSequenceNumber();
    return true;
}

FillEnd Filler::Fill(HWND foreground, HWND first) {
    FillEnd end = FillEnd::Completed;
    try {
        // The pieces and the copy that goes back are the same content: a copy
        // made since the code was read is no longer the code.
        {
            const ClipboardSession clipboard(m_owner);
            if (!clipboard || ::GetClipboardSequenceNumber() != m_readSeq) return FillEnd::ClipboardTaken;
            // The whole goes back, not just the 8-bit text: Unicode text, rich
            // text, HTML and pictures would be lost otherwise.
            m_snapPending = ClipboardSnapshot::Take(clipboard);
        }
        m_clipSeq = m_snapPending->Sequence();
        end = FillFields(foreground, first);
    } catch (...) {
        // Memory ran short: the fill ends here, and whatever was saved goes back.
        end = FillEnd::Aborted;
    }
    // A box still pasting, or another program holding the clipboard: the copy
    // goes back from the timer, so that Vardix does not freeze meanwhile.
    if (!FinishPendingRestore(kClipboardOpenBudgetMs)) ::SetTimer(m_owner, kRestoreTimerId, kRestoreRetryMs, nullptr);
    return end;
}

bool Filler::FinishPendingRestore(DWORD budgetMs) {
    if (!m_snapPending) return true;
    if (m_pasteBox || !m_snapPending->Restore(m_owner, m_clipSeq, budgetMs)) return false;
    m_snapPending.reset();
    ::KillTimer(m_owner, kRestoreTimerId);
    return true;
}

// WM_PASTE is sent so that its own answer tells when the paste is over: a box
// may handle further messages while it pastes (Wine's clipboard does so as
// the box opens it), so no message sent after it can tell. Vardix waits for
// the answer as long as for any message; a box that answers later still
// reads the clipboard then, so the piece stays there until it has. Each
// paste has its own number: the late answer of a paste given up long ago
// must not end the wait of a newer one into the same box.
std::optional<FillEnd> Filler::PasteInto(HWND box) {
    m_pasteBox = box;
    ::SetLastError(0);
    if (!::SendMessageCallbackA(box, WM_PASTE, 0, 0, &OnPasteAnswered, ++m_pasteNumber)) {
        m_pasteBox = nullptr;
        return ClassifySendFailure(::GetLastError());
    }
    if (AwaitPasteAnswer(kTargetAnswerTimeoutMs)) return std::nullopt;
    m_holdStart = ::GetTickCount();
    return FillEnd::TimedOut;
}

bool Filler::AwaitPasteAnswer(DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        // Only what other threads send is handled here, the answer among it;
        // key presses and other posted messages wait for the message loop.
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (!m_pasteBox) return true;
        const DWORD waited = ::GetTickCount() - start;
        if (waited >= timeoutMs) return false;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs - waited, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
    }
}

void CALLBACK Filler::OnPasteAnswered(HWND, UINT, ULONG_PTR paste, LRESULT) {
    if (g_filler && paste == g_filler->m_pasteNumber) g_filler->m_pasteBox = nullptr;
}

// Runs while the user's copy is pending: it goes back once a held box has
// answered, is gone, or has been silent past the limit.
bool Filler::OnRestoreTimer() {
    if (m_pasteBox && (!::IsWindow(m_pasteBox) || ::GetTickCount() - m_holdStart >= kPasteHoldLimitMs))
        m_pasteBox = nullptr;
    return FinishPendingRestore(0);
}

void Filler::EndAtExit() {
    const DWORD held = ::GetTickCount() - m_holdStart;
    if (m_pasteBox && ::IsWindow(m_pasteBox) && held < kPasteHoldLimitMs) AwaitPasteAnswer(kPasteHoldLimitMs - held);
    m_pasteBox = nullptr;
    FinishPendingRestore(kClipboardOpenBudgetMs);
}

HWND Filler::StartingBoxOf(HWND foreground, HWND focus) const {
    const HWND first = reinterpret_cast<HWND>(StartingBox(m_trace, Number(foreground), Number(focus), m_code));
    // A handle of the last fill may since name another window.
    return first == focus || ::IsChild(foreground, first) ? first : focus;
}

HWND Filler::NextBoxOf(HWND foreground, HWND box, StepFacts& facts, const std::vector<HWND>& filled, Step& way) {
    // After a step, the tab stop the other way is the box just filled: only
    // the way that worked is looked at, the other only where it fails.
    const bool both = way == Step::Nowhere;
    const HWND ways[] = {both || way == Step::Forward ? ::GetNextDlgTabItem(foreground, box, FALSE) : nullptr,
                         both || way == Step::Backward ? ::GetNextDlgTabItem(foreground, box, TRUE) : nullptr};
    const auto candidate = [&](HWND window) {
        Candidate c;
        RECT r{};
        c.present = window && window != box && std::find(filled.begin(), filled.end(), window) == filled.end();
        if (c.present && ::GetWindowRect(window, &r)) c.rect = {r.left, r.top, r.right, r.bottom};
        return c;
    };
    facts.forward = candidate(ways[0]);
    // Only two tab stops: both ways name the same window, asked once.
    facts.backward = ways[1] != ways[0] ? candidate(ways[1]) : Candidate{};
    way = NextBox(facts, [&](Step asked) {
        const HWND window = ways[asked == Step::Forward ? 0 : 1];
        // The other windows of a class that made a box in this fill are boxes
        // too: not asked again, which would cost each piece a message.
        const ATOM atom = static_cast<ATOM>(::GetClassLongPtrW(window, GCW_ATOM));
        if (atom && atom == m_boxClass) return std::optional<std::uint32_t>(DLGC_HASSETSEL);
        const std::optional<std::uint32_t> code = DlgCodeOf(window);
        if (code && (*code & DLGC_HASSETSEL) != 0) m_boxClass = atom;
        return code;
    });
    if (way == Step::Nowhere) return both ? nullptr : NextBoxOf(foreground, box, facts, filled, way);
    const bool forward = way == Step::Forward;
    facts.box = (forward ? facts.forward : facts.backward).rect;
    return ways[forward ? 0 : 1];
}

std::optional<std::uint32_t> Filler::DlgCodeOf(HWND window) {
    DWORD_PTR code = 0;
    if (SendToTarget(window, WM_GETDLGCODE, 0, 0, &code)) return std::nullopt;
    return static_cast<std::uint32_t>(code);
}

FillEnd Filler::FillFields(HWND foreground, HWND first) {
    const DWORD ownThread = ::GetCurrentThreadId();
    const DWORD foregroundThread = ::GetWindowThreadProcessId(foreground, nullptr);
    // Attaching fails for our own thread, which needs no attaching; it is
    // refused for a program with higher rights, which nothing can then reach.
    const winfx::ThreadInputAttachment attachment(ownThread, foregroundThread);
    if (!attachment.attached() && AttachFailureEndsFill(attachment.error())) return FillEnd::AccessDenied;

    // A window that is not in front may have no focus window at all.
    HWND current = StartingBoxOf(foreground, first ? first : ::GetFocus());
    if (!current) return FillEnd::NoTarget;
    // From a button or a list, every piece would land one box late: only a
    // box starts a fill. One that does not answer may still be a box.
    const std::optional<std::uint32_t> boxCode = DlgCodeOf(current);
    if (boxCode && (*boxCode & DLGC_HASSETSEL) == 0) return FillEnd::NoTarget;
    char className[260] = {};
    ::GetClassNameA(current, className, sizeof className);
    RECT r{};
    StepFacts facts{};
    if (::GetWindowRect(current, &r)) facts.box = {r.left, r.top, r.right, r.bottom};
    facts.rtl = (::GetWindowLongPtrW(::GetParent(current), GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
    facts.editClass = std::strcmp(className, "Edit") == 0;

    std::vector<HWND> filled;
    m_boxClass = boxCode ? static_cast<ATOM>(::GetClassLongPtrW(current, GCW_ATOM)) : 0;
    // Asked before the first paste, for the lone box; a box that paste
    // enables counts as well.
    Step way = Step::Nowhere;
    HWND next = NextBoxOf(foreground, current, facts, filled, way);
    std::vector<std::string> pieces = m_pieces;
    DWORD_PTR limit = 0;
    if (pieces.size() > 1 && !next && !SendToTarget(current, EM_GETLIMITTEXT, 0, 0, &limit)) {
        // The box counts characters, the code is in the ANSI code page.
        const int length = ::MultiByteToWideChar(CP_ACP, 0, m_code.data(), static_cast<int>(m_code.size()), nullptr, 0);
        if (TakesWholeCode(boxCode, static_cast<size_t>(length), static_cast<size_t>(limit))) pieces = {m_code};
    }
    m_trace = {Number(foreground), Number(current), Number(current), m_code};
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 1 || (i == 1 && !next)) next = NextBoxOf(foreground, current, facts, filled, way);
        // No box after this one as the user reads: the pieces left have no
        // box of their own, and the ones above keep what the user typed. A
        // window that closed meanwhile has none either, and is no fill done.
        if (i > 0 && !next) return ::IsWindow(foreground) ? FillEnd::Completed : FillEnd::TargetGone;
        if (i > 0) current = next;
        const std::string& piece = pieces[i];
        if (!::IsWindow(current)) return FillEnd::TargetGone;
        filled.push_back(current);
        ::SetFocus(current);
        const HWND target = ::GetFocus();
        if (!target) return FillEnd::NoTarget;
        m_trace.lastBox = Number(target);
        // A piece that cannot be put on the clipboard must not be replaced by
        // the previous one in the paste.
        if (!WriteClipboardText(piece)) return FillEnd::ClipboardBusy;
        for (int attempt = 1;; ++attempt) {
            if (auto failed = SendToTarget(target, EM_SETSEL, 0, static_cast<LPARAM>(-1))) return *failed;
            if (auto failed = PasteInto(target)) return *failed;
            // Content someone else put on the clipboard is no piece: this box
            // may have pasted it, no later box must.
            if (::GetClipboardSequenceNumber() != m_clipSeq) return FillEnd::ClipboardTaken;
            if (attempt == kPasteAttempts) break;
            DWORD_PTR selection = 0;
            if (auto failed = SendToTarget(target, EM_GETSEL, 0, 0, &selection)) return *failed;
            if (PasteTook(selection, piece.empty())) break;
            // A box that did not take the paste could not open the clipboard:
            // a clipboard manager was looking at the piece. Paste again once
            // it is done; if it never is, the box keeps its old text rather
            // than a wrong piece.
            if (!ClipboardSession(m_owner)) return FillEnd::ClipboardBusy;
        }
    }
    return FillEnd::Completed;
}

bool Filler::WriteClipboardText(const std::string& text) {
    bool written = false;
    {
        const ClipboardSession clipboard(m_owner);
        // Content that came after what Vardix saved or wrote last is someone
        // else's: not to be replaced by a piece.
        if (!clipboard || ::GetClipboardSequenceNumber() != m_clipSeq || !clipboard.Empty()) return false;
        written = clipboard.Put(CF_TEXT, text.c_str(), text.size() + 1);
        clipboard.PutQuietFormats();
    }
    // Read once the clipboard is closed, where some systems count the change.
    // Still the owner afterwards, nobody else has written since; otherwise
    // the content is theirs, and nothing of the user's goes back over it.
    m_clipSeq = ::GetClipboardSequenceNumber();
    if (::GetClipboardOwner() == m_owner) return written;
    m_snapPending.reset();
    return false;
}

}  // namespace vardix
