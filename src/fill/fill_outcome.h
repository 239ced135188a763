#pragma once
// How a fill ends. Pure logic: the decision is unit-tested because the one
// case that needs a message (a target with higher rights) cannot be produced
// under Wine.

namespace vardix {

enum class FillEnd {
    Completed,      // every piece went to a box
    NoTarget,       // no window had the keyboard focus for a piece
    TargetGone,     // the target window no longer exists
    TimedOut,       // the target did not answer in time, or is hung
    AccessDenied,   // Windows refused the messages: the target runs with higher rights
    ClipboardBusy,  // a piece could not be put on the clipboard
    SendFailed,     // any other refusal of a message
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

constexpr bool NeedsElevationNotice(FillEnd end) { return end == FillEnd::AccessDenied; }

}  // namespace vardix
