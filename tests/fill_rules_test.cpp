#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "fill/clipboard_formats.h"
#include "fill/fill_outcome.h"

namespace {

TEST(FillRules, PasteTookByTheCaret) {
    const struct {
        std::uint64_t selection;  // EM_GETSEL's answer: end in the high word, start in the low word
        bool pieceEmpty;
        bool took;
    } cases[] = {
        {0x00040004, false, true},          // caret after a four-character piece
        {0x00080000, false, false},         // the old text still selected: the paste failed
        {0x00000000, false, false},         // an empty box still empty
        {0x00000000, true, true},           // an empty piece leaves the caret at 0
        {0x00040002, false, false},         // a selection left inside the text
        {0x00000004, false, false},         // start after end is no caret
        {0xFFFFFFFF, false, true},          // -1 from a 32-bit box: positions beyond 16 bits
        {0xFFFFFFFFFFFFFFFF, false, true},  // -1 sign-extended to 64 bits
        {0x00000000FFFFFFFF, false, true},  // -1 zero-extended: only the low 32 bits count
        {0x0001000500050005, false, true},  // high bits of a 64-bit answer are ignored
    };
    for (const auto& c : cases)
        EXPECT_EQ(vardix::PasteTook(c.selection, c.pieceEmpty), c.took) << std::hex << c.selection;
}

TEST(FillRules, CopyableFormats) {
    const std::pair<unsigned, bool> cases[] = {
        {1, true},       {2, false},      {3, false},      {7, true},      {8, true},       {9, false},
        {13, true},      {14, true},      {15, true},      {17, true},     {0x0080, false}, {0x0081, true},
        {0x0082, false}, {0x0083, false}, {0x008E, false}, {0x01FF, true}, {0x0200, false}, {0x02FF, false},
        {0x0300, false}, {0x03FF, false}, {0x0400, true},  {0xC000, true}, {0xFFFF, true},
    };
    for (const auto& [format, copyable] : cases)
        EXPECT_EQ(vardix::IsCopyableFormat(format), copyable) << std::hex << format;
}

TEST(FillRules, SnapshotBound) {
    constexpr std::size_t kLimit = 32u * 1024u * 1024u;
    const struct {
        std::size_t taken, more;
        bool fits;
    } cases[] = {
        {0, 0, true},
        {0, kLimit, true},
        {0, kLimit + 1, false},
        {kLimit, 0, true},
        {kLimit - 1, 1, true},
        {kLimit - 1, 2, false},
        {1, kLimit, false},
        {40u << 20, 0, false},
        {0, SIZE_MAX, false},
        {SIZE_MAX, 1, false},
        {kLimit / 2, kLimit / 2, true},
    };
    for (const auto& c : cases) EXPECT_EQ(vardix::SnapshotFits(c.taken, c.more), c.fits) << c.taken << "+" << c.more;
}

TEST(FillRules, RefusedForRights) {
    constexpr unsigned long kMedium = 0x2000, kHigh = 0x3000;
    const struct {
        bool selfElevated;
        std::optional<unsigned long> target;
        unsigned long attachError;
        bool refused;
    } cases[] = {
        {false, kHigh, 0, true},         // an elevated installer
        {false, kMedium, 0, false},      // the same level
        {false, std::nullopt, 0, true},  // another account's elevated process
        {false, kMedium, 5, true},       // ERROR_ACCESS_DENIED
        {false, kMedium, 87, false},     // ERROR_INVALID_PARAMETER: our own thread
        {true, kHigh, 5, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.selfElevated << " " << c.target.value_or(0) << " " << c.attachError);
        EXPECT_EQ(vardix::RefusedForRights({c.selfElevated, kMedium, c.target, c.attachError}), c.refused);
    }
}

TEST(FillRules, ClipboardOwnerAnswers) {
    const struct {
        bool sent;
        unsigned long lastError;
        bool hung;
        bool answers;
    } cases[] = {
        {true, 0, false, true},
        {false, 1460, false, false},  // ERROR_TIMEOUT
        {false, 5, false, true},      // higher rights refuse the message, and it is not hung
        {false, 5, true, false},      // refused, and hung
    };
    for (const auto& c : cases)
        EXPECT_EQ(vardix::OwnerAnswers(c.sent, c.lastError, c.hung), c.answers) << c.lastError << c.hung;
}

}  // namespace
