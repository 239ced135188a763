#pragma once
// How long the elevated copy may take, and how long the resident ignores
// presses while it runs. The copy's outcome is told whenever it ends.

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
// Only its fill is not bounded as a whole: each message to a box has its own
// time-out, but a box that answers each one slowly can draw the fill out.
inline constexpr unsigned long kCopyRunLimitMs = 50000;
// From the copy's start, presses are ignored this long at most: a copy that
// has not ended by then is taken for stuck in a box that hangs. Its outcome is
// still told whenever it ends.
#ifdef VARDIX_SHORT_COPY_WAIT
// The tests' build, so that a copy outlasting the wait is seen within a test.
inline constexpr unsigned long kCopyWaitLimitMs = 4000;
#else
inline constexpr unsigned long kCopyWaitLimitMs = 60000;
static_assert(kCopyWaitLimitMs > kCopyRunLimitMs, "presses wait until the copy has surely ended, its fill aside");
#endif

static_assert(kCopyRestoreLimitMs > kPasteHoldLimitMs, "the copy's restore outlasts a box that holds its piece");
static_assert(kCopyRunLimitMs >= kCopyBeforeFillMs + kCopyRestoreLimitMs, "a quick fill keeps its whole restore");

}  // namespace vardix
