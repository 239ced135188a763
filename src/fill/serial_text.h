#pragma once
// Splitting a copied serial code into the pieces that go into the boxes.
// Pure logic: no Windows headers, so it is unit-tested and fuzzed natively.

#include <string>
#include <string_view>
#include <vector>

namespace vardix {

// The boundary table has 100 slots: a virtual separator before the text, up to
// 98 dashes and the end of the text, hence at most 99 pieces.
inline constexpr int kMaxSeparators = 98;
inline constexpr int kMaxPieces = kMaxSeparators + 1;
inline constexpr int kPieceSlots = 100;

template <typename Char>
struct BasicSegmentList {
    // Always kPieceSlots entries after a successful split; only the first
    // `count` are pieces, the rest may hold pieces of an earlier split.
    std::vector<std::basic_string<Char>> pieces;
    int count = 0;
};
using SegmentList = BasicSegmentList<char>;
// The Unicode text's pieces, for typing: no character outside the ANSI code
// page is lost on the way.
using WideSegmentList = BasicSegmentList<wchar_t>;

// Whitespace as the C locale's isspace knows it, byte-wise.
bool IsTrimSpace(char c);
std::string_view TrimSpace(std::string_view text);

// What follows the last blank, colon or line break of the (already trimmed) text, with
// leading whitespace removed; the text itself when it holds neither.
std::string_view StripLabel(std::string_view trimmed);

// Splits `text` exactly as read from the clipboard. Returns false, leaving
// `out` untouched, for text that is empty, holds no dash at all, or has more
// dashes between its label and its last character than the boundary table
// holds: such text is not a serial code, and pasting it truncated would leave
// a box with the wrong piece.
bool SplitSerialText(std::string_view text, SegmentList& out);
// The same rules on UTF-16 text, where no surrogate unit is a blank, colon or dash.
bool SplitSerialText(std::wstring_view text, WideSegmentList& out);

}  // namespace vardix
