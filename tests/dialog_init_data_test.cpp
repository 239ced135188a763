#include "winfx/dialog_init_data.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "winfx/dialog_template.h"

namespace {

using Block = std::vector<unsigned char>;

void Put16(Block& block, std::uint16_t value) {
    block.push_back(static_cast<unsigned char>(value));
    block.push_back(static_cast<unsigned char>(value >> 8));
}

void PutEntry(Block& block, std::uint16_t control, std::uint16_t message, std::uint32_t length, const Block& data) {
    Put16(block, control);
    Put16(block, message);
    Put16(block, static_cast<std::uint16_t>(length));
    Put16(block, static_cast<std::uint16_t>(length >> 16));
    block.insert(block.end(), data.begin(), data.end());
}

// The hotkey combo box's letters, as the resource compiler lays them out.
Block LetterBlock() {
    Block block;
    for (unsigned char letter = 'A'; letter <= 'Z'; ++letter)
        PutEntry(block, 1006, winfx::kDlgInitAddString, 2, {letter, 0});
    Put16(block, 0);
    return block;
}

auto Parse(const Block& block) { return winfx::ParseDialogInitData(block.data(), block.size()); }

TEST(DialogInitData, LetterListInOrder) {
    const Block block = LetterBlock();
    ASSERT_EQ(block.size(), 262u);
    const auto entries = Parse(block);
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 26u);
    for (std::size_t i = 0; i < 26; ++i) {
        const winfx::DialogInitEntry& entry = (*entries)[i];
        EXPECT_EQ(entry.controlId, 1006);
        EXPECT_EQ(entry.message, 0x0403);
        EXPECT_EQ(entry.data, (Block{static_cast<unsigned char>('A' + i), 0}));
    }
}

TEST(DialogInitData, EveryTruncationIsRefused) {
    const Block block = LetterBlock();
    for (std::size_t size = 0; size < block.size(); ++size)
        EXPECT_FALSE(winfx::ParseDialogInitData(block.data(), size).has_value()) << size;
}

TEST(DialogInitData, Malformed) {
    struct Case {
        const char* what;
        Block block;
    };
    // A length past the end is a truncation, refused above.
    Case cases[] = {{"huge length", {}}, {"length beyond 16 bits", {}}, {"no terminator after empty entry", {}}};
    PutEntry(cases[0].block, 1006, 0x0403, 0xFFFFFFFFu, {'A', 0});
    Put16(cases[0].block, 0);
    PutEntry(cases[1].block, 1006, 0x0403, 0x10002u, {'A', 0});
    Put16(cases[1].block, 0);
    PutEntry(cases[2].block, 1006, 0x0403, 0, {});
    for (const Case& c : cases) EXPECT_FALSE(Parse(c.block).has_value()) << c.what;
}

// After the menu and the class (none, an ordinal or a string); none if cut short.
TEST(DialogTemplate, Caption) {
    std::vector<std::uint16_t> words{1, 0xFFFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'M', 0, 0xFFFF, 0x81, 'A', 'b', 0};
    const auto caption = winfx::FindDialogCaption(words.data(), words.size());
    ASSERT_TRUE(caption.has_value());
    EXPECT_EQ(std::make_pair(caption->at, caption->length), std::make_pair(std::size_t{17}, std::size_t{2}));
    for (std::size_t count = 0; count < words.size(); ++count)
        EXPECT_FALSE(winfx::FindDialogCaption(words.data(), count).has_value()) << count;
}

}  // namespace
