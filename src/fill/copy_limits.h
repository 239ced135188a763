#pragma once
// How long the elevated copy may take, and how long the resident waits for
// it: the resident tells the copy's outcome only when the copy ends within
// the wait, and ignores presses meanwhile.

namespace vardix {

// A box that has not finished its paste this long after the time-out is
// taken to be dead; the user's copy goes back regardless.
inline constexpr unsigned long kPasteHoldLimitMs = 30000;
// After its fill, the copy waits this long at most for the user's copy to go
// back: a box may hold its piece until the limit above.
inline constexpr unsigned long kCopyRestoreLimitMs = 35000;
// Before its fill: the window's and the accessibility's answers, twice where
// the window must first come to the front (WM_GETDLGCODE 0.5 s, two questions
// of 1 s, 0.2 s between), the tries to bring it there, the clipboard's owner.
inline constexpr unsigned long kCopyFrontTriesMs = 3000;
inline constexpr unsigned long kCopyBeforeFillMs = 2 * (500 + 1000 + 200 + 1000) + kCopyFrontTriesMs + 1000;
// From its start the copy ends by this, its restore cut short if need be.
inline constexpr unsigned long kCopyRunLimitMs = 50000;
// From the copy's start: a copy that has not ended by then is taken for hung.
inline constexpr unsigned long kCopyWaitLimitMs = 60000;

static_assert(kCopyRestoreLimitMs > kPasteHoldLimitMs, "the copy's restore outlasts a box that holds its piece");
static_assert(kCopyRunLimitMs >= kCopyBeforeFillMs + kCopyRestoreLimitMs, "a quick fill keeps its whole restore");
static_assert(kCopyWaitLimitMs > kCopyRunLimitMs, "the resident waits until the copy has surely ended");

}  // namespace vardix
