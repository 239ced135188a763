#pragma once
// How a fill ends, whether a paste took, and whether a target is out of
// Vardix's reach for its rights. Pure logic: rights cannot be produced under
// Wine, and a box that keeps its old text is easy to mistake for a filled one.

#include <cstdint>
#include <optional>

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

// What decides whether the foreground window is out of reach for Vardix's
// rights. Integrity levels are the mandatory label's relative id (0x2000
// medium, 0x3000 high).
struct RightsFacts {
    bool selfElevated = false;
    unsigned long ownLevel = 0;
    // None when the target's token cannot be read, as for an elevated process
    // of another account.
    std::optional<unsigned long> targetLevel;
    // AttachThreadInput's error with the target's thread; 0 when it attached.
    unsigned long attachError = 0;
};

// Whether the clipboard's owner answers, by its answer to a message sent with
// a time-out (`sent`), the error where it gave none, and whether Windows
// takes it for hung. An owner with higher rights refuses the message, hung or
// not: only Windows can say which.
constexpr bool OwnerAnswers(bool sent, unsigned long lastError, bool hung) {
    return sent || (lastError == kErrorAccessDenied && !hung);
}

// Only an elevated copy can reach such a target; an elevated Vardix that is
// refused anyway has a cause that elevation does not mend.
constexpr bool RefusedForRights(const RightsFacts& facts) {
    if (facts.selfElevated) return false;
    if (!facts.targetLevel || *facts.targetLevel > facts.ownLevel) return true;
    return facts.attachError == kErrorAccessDenied;
}

}  // namespace vardix
