#include "fill/serial_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "literal_label_strip.h"

namespace {

using vardix::SegmentList;
using vardix::SplitSerialText;
using Pieces = std::vector<std::string>;

struct SplitCase {
    const char* name;
    std::string text;
    std::optional<Pieces> pieces;  // nothing: the text is refused
};

const SplitCase kSplitCases[] = {
    {"Plain", "ABCD-EFGH-IJKL", Pieces{"ABCD", "EFGH", "IJKL"}},
    {"ShortLabel", "SN: ABCD-EFGH", Pieces{"ABCD", "EFGH"}},
    {"LabelWithBlanks", "Serial Number: ABCD-EFGH", Pieces{"ABCD", "EFGH"}},
    {"LabelWithoutBlank", "Key:AB-CD", Pieces{"AB", "CD"}},
    {"EmptyMiddle", "AB--CD", Pieces{"AB", "", "CD"}},
    {"LeadingDash", "-AB-CD", Pieces{"", "AB", "CD"}},
    {"TrailingDashStays", "AB-CD-", Pieces{"AB", "CD-"}},
    {"BlanksAroundDashesCountAsLabel", "ABCD - EFGH - IJKL", Pieces{"IJKL"}},
    {"NoDash", "ABCD", std::nullopt},
    {"Empty", "", std::nullopt},
    {"OnlyWhitespace", " \t\r\n", std::nullopt},
    {"LastColonWins", "a:b:c-d", Pieces{"c", "d"}},
    {"DashOnlyInLabel", "Item-No: XY7", Pieces{"XY7"}},
    {"DashOnlyBeforeColon", "AB-CD:", Pieces{""}},
    {"LoneDash", " - ", Pieces{"-"}},
    {"TabAfterLabel", "SN:\tAB-CD", Pieces{"AB", "CD"}},
    {"TabIsNoLabelEnd", "X\tY-Z", Pieces{"X\tY", "Z"}},
    {"PieceTrimmed", "AB-\tCD", Pieces{"AB", "CD"}},
    {"PiecesTrimmedBothEnds", "AB\t-\vCD\f-\tEF", Pieces{"AB", "CD", "EF"}},
    {"SurroundingLineBreaks", "\r\n\t ABCD-EFGH \r\n\v\f", Pieces{"ABCD", "EFGH"}},
    {"LabelOnLineBefore", "Serial number\r\nAB-CD", Pieces{"AB", "CD"}},
    {"LineBreakInCodeEndsLabel", "AB-\nCD-EF", Pieces{"CD", "EF"}},
    {"NoBreakSpaceIsNoWhitespace",
     "AB-\xA0"
     "CD\xA0",
     Pieces{"AB",
            "\xA0"
            "CD\xA0"}},
    // GBK: "序列号：" with a full-width colon, which is no label end; the blank is.
    {"GbkLabel", "\xD0\xF2\xC1\xD0\xBA\xC5\xA3\xBA ABCD-EFGH", Pieces{"ABCD", "EFGH"}},
    {"GbkPieces", "\xB5\xE7\xC4\xD4-\xC8\xED\xBC\xFE", Pieces{"\xB5\xE7\xC4\xD4", "\xC8\xED\xBC\xFE"}},
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitTable : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitTable, Pieces) {
    const SplitCase& c = GetParam();
    // Stale content of an earlier, longer list must not decide the size.
    SegmentList out{Pieces(150, "stale"), 42};
    const bool accepted = SplitSerialText(c.text, out);
    ASSERT_EQ(accepted, c.pieces.has_value());
    if (!accepted) {
        EXPECT_EQ(out.count, 42);
        EXPECT_EQ(out.pieces, Pieces(150, "stale"));
        return;
    }
    ASSERT_EQ(out.pieces.size(), 100u);
    ASSERT_EQ(out.count, static_cast<int>(c.pieces->size()));
    EXPECT_EQ(Pieces(out.pieces.begin(), out.pieces.begin() + out.count), *c.pieces);
    // The typed fill splits the Unicode text by the same rules.
    const auto widen = [](const std::string& text) { return std::wstring(text.begin(), text.end()); };
    vardix::WideSegmentList wide;
    ASSERT_TRUE(SplitSerialText(widen(c.text), wide));
    ASSERT_EQ(wide.count, out.count);
    for (int i = 0; i < out.count; ++i)
        EXPECT_EQ(wide.pieces[static_cast<size_t>(i)], widen(out.pieces[static_cast<size_t>(i)]));
}

INSTANTIATE_TEST_SUITE_P(Serial, SplitTable, testing::ValuesIn(kSplitCases),
                         [](const auto& test) { return std::string(test.param.name); });

std::string Dashed(int separators, const std::string& tail = "") {
    std::string text = "P0";
    for (int i = 1; i <= separators; ++i) text += "-P" + std::to_string(i);
    return text + tail;
}

std::string Repeat(const std::string& unit, std::size_t times) {
    std::string text;
    text.reserve(unit.size() * times);
    for (std::size_t i = 0; i < times; ++i) text += unit;
    return text;
}

TEST(SplitLimits, NinetyEightSeparatorsGiveNinetyNinePieces) {
    SegmentList out;
    ASSERT_TRUE(SplitSerialText(Dashed(98), out));
    ASSERT_EQ(out.count, 99);
    for (int i = 0; i < 99; ++i) EXPECT_EQ(out.pieces[static_cast<size_t>(i)], "P" + std::to_string(i));
}

TEST(SplitLimits, TrailingDashAndLabelDashesAreNoSeparators) {
    SegmentList out;
    ASSERT_TRUE(SplitSerialText(Repeat("x-", 200) + ": " + Dashed(98, "-"), out));
    ASSERT_EQ(out.count, 99);
    EXPECT_EQ(out.pieces[98], "P98-");
}

TEST(SplitLimits, TooManySeparatorsAreRefusedUntouched) {
    for (const int separators : {99, 100, 5000}) {
        SCOPED_TRACE(separators);
        SegmentList out{{"keep"}, 7};
        EXPECT_FALSE(SplitSerialText(Dashed(separators), out));
        EXPECT_EQ(out.count, 7);
        EXPECT_EQ(out.pieces, Pieces{"keep"});
    }
}

// The label strip, literally defined, takes minutes on a megabyte; the
// program must not freeze when someone copies a whole document.
TEST(SplitSpeed, BigTextsUnderOneSecond) {
    const std::string halfA(512 * 1024, 'A'), halfB(512 * 1024, 'B');
    const SplitCase cases[] = {
        {"OneMegabyteOneDash", halfA + "-" + halfB, Pieces{halfA, halfB}},
        {"OneMegabyteOfLabelWords", Repeat("w ", 512 * 1024) + "AB-CD", Pieces{"AB", "CD"}},
        {"OneMegabyteOfColons", Repeat(":", 1024 * 1024) + "AB-CD", Pieces{"AB", "CD"}},
        {"MegabytesOfDashedLabels", Repeat("xx-yy: ", 600 * 1024) + "AB-CD", Pieces{"AB", "CD"}},
        {"MegabytesOfDashes", Repeat("AB-", 1024 * 1024), std::nullopt},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        SegmentList out;
        const auto start = std::chrono::steady_clock::now();
        const bool accepted = SplitSerialText(c.text, out);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took.count(), 1.0);
        ASSERT_EQ(accepted, c.pieces.has_value());
        if (accepted) {
            EXPECT_EQ(Pieces(out.pieces.begin(), out.pieces.begin() + out.count), *c.pieces);
        }
    }
}

// Random clipboard-like texts against the pass-by-pass rendering.
TEST(SplitDifferential, MatchesLiteralRendering) {
    static constexpr char kAlphabet[] = {'a', 'B',  '7',  ' ',  ' ',  '\t',   ':',    ':', '-',
                                         '-', '\r', '\n', '\v', '\f', '\xB5', '\xA3', '@'};
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> length(0, 60);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 1);
    for (int round = 0; round < 5000; ++round) {
        std::string text(length(random), ' ');
        for (char& c : text) c = kAlphabet[pick(random)];
        SCOPED_TRACE(testing::PrintToString(text));

        ASSERT_EQ(std::string(vardix::StripLabel(vardix::TrimSpace(text))), literal::LabelStrip(literal::Trim(text)));
        SegmentList out;
        const std::optional<Pieces> expected = literal::Split(text);
        ASSERT_EQ(SplitSerialText(text, out), expected.has_value());
        if (expected) {
            ASSERT_EQ(Pieces(out.pieces.begin(), out.pieces.begin() + out.count), *expected);
        }
    }
}

}  // namespace
