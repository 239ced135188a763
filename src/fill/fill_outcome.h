#pragma once
// How a fill ends, and whether a paste took. Pure logic: the one end that
// needs a message (a target with higher rights) cannot be produced under
// Wine, and a box that keeps its old text is easy to mistake for a filled one.

#include <cstdint>

namespace vardix {

enum class FillEnd {
    Completed,       // every piece went to a box
    NoTarget,        // no window had the keyboard focus for a piece
    TargetGone,      // the target window no longer exists
    TimedOut,        // the target did not answer in time, or is hung
    AccessDenied,    // Windows refused the messages: the target runs with higher rights
    ClipboardBusy,   // a piece could not be put on the clipboard
    SendFailed,      // any other refusal of a message
    ClipboardTaken,  // another program put content of its own on the clipboard
    Aborted,         // an exception (memory ran short) ended it halfway
};

// Win32 error codes, kept here so that this header needs no Windows headers.
inline constexpr unsigned long kErrorAccessDenied = 5;
inline constexpr unsigned long kErrorInvalidWindowHandle = 1400;
inline constexpr unsigned long kErrorTimeout = 1460;

// A failed SendMessageTimeout, by GetLastError. A time-out can also report
// success (0) as its last error on some systems, so 0 counts as a time-out.
FillEnd ClassifySendFailure(unsigned long lastError);

// A failed AttachThreadInput is not an end in itself (the target may be our
// own thread); refused access is, because nothing that follows can reach it.
bool AttachFailureEndsFill(unsigned long lastError);

// Whether a select-all and paste took, from the box's EM_GETSEL answer: the
// caret then sits just after the pasted text. A paste that could not read the
// clipboard leaves all of the old text selected, or an empty box unchanged.
// Positions beyond 16 bits, which no code box reaches, come back as -1, which
// reads as a caret at 65535: nothing to tell, so the paste counts as taken.
constexpr bool PasteTook(std::uint64_t selection, bool pieceEmpty) {
    const std::uint64_t start = selection & 0xFFFFu;
    const std::uint64_t end = (selection >> 16) & 0xFFFFu;
    return start == end && (start > 0 || pieceEmpty);
}

constexpr bool NeedsElevationNotice(FillEnd end) { return end == FillEnd::AccessDenied; }

}  // namespace vardix
