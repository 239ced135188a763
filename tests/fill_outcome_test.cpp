#include "fill/fill_outcome.h"

#include <gtest/gtest.h>

namespace {

using vardix::FillEnd;

TEST(FillOutcome, SendFailureByLastError) {
    const std::pair<unsigned long, FillEnd> cases[] = {
        {5, FillEnd::AccessDenied}, {1400, FillEnd::TargetGone}, {1460, FillEnd::TimedOut},
        {0, FillEnd::TimedOut},     {6, FillEnd::SendFailed},    {1401, FillEnd::SendFailed},
        {1459, FillEnd::SendFailed}, {0xFFFFFFFFul, FillEnd::SendFailed},
    };
    for (const auto& [error, end] : cases) EXPECT_EQ(vardix::ClassifySendFailure(error), end) << error;
}

TEST(FillOutcome, OnlyRefusedAccessEndsAttachOrNeedsNotice) {
    for (const unsigned long error : {0ul, 6ul, 1400ul, 1460ul}) EXPECT_FALSE(vardix::AttachFailureEndsFill(error)) << error;
    EXPECT_TRUE(vardix::AttachFailureEndsFill(5));

    for (const FillEnd end : {FillEnd::Completed, FillEnd::NoTarget, FillEnd::TargetGone, FillEnd::TimedOut,
                              FillEnd::ClipboardBusy, FillEnd::SendFailed})
        EXPECT_FALSE(vardix::NeedsElevationNotice(end)) << static_cast<int>(end);
    EXPECT_TRUE(vardix::NeedsElevationNotice(FillEnd::AccessDenied));
}

}  // namespace
