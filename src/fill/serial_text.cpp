#include "fill/serial_text.h"

#include <array>

namespace vardix {

// The text is in the system's ANSI code page. In every double-byte code page
// Windows uses (932, 936, 949, 950) a trail byte is 0x40 or above, so it is
// never a blank, colon, dash or whitespace: byte-wise searching finds exactly
// the characters a double-byte-aware search would.

bool IsTrimSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string_view TrimSpace(std::string_view text) {
    size_t begin = 0;
    while (begin < text.size() && IsTrimSpace(text[begin])) ++begin;
    size_t end = text.size();
    while (end > begin && IsTrimSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string_view StripLabel(std::string_view trimmed) {
    const size_t labelEnd = trimmed.find_last_of(" :");
    if (labelEnd == std::string_view::npos) return trimmed;
    std::string_view rest = trimmed.substr(labelEnd + 1);
    while (!rest.empty() && IsTrimSpace(rest.front())) rest.remove_prefix(1);
    return rest;
}

bool SplitSerialText(std::string_view text, SegmentList& out) {
    if (text.empty() || text.find('-') == std::string_view::npos) return false;

    const std::string_view code = StripLabel(TrimSpace(text));

    // Slot 0 is a virtual separator just before the first character; the last
    // character is never a separator, so a trailing dash stays in the last piece.
    // Positions are kept one higher than the characters they name, so that
    // slot 0 can stand for the position -1 in an unsigned type.
    std::array<size_t, kPieceSlots> bounds{};
    size_t separators = 0;
    for (size_t pos = 0; pos + 1 < code.size(); ++pos) {
        if (code[pos] != '-') continue;
        if (separators == kMaxSeparators) return false;
        bounds[++separators] = pos + 1;
    }
    bounds[separators + 1] = code.size() + 1;

    out.pieces.resize(kPieceSlots);
    for (size_t i = 0; i <= separators; ++i) {
        const size_t start = bounds[i];
        out.pieces[i] = std::string(TrimSpace(code.substr(start, bounds[i + 1] - 1 - start)));
    }
    out.count = static_cast<int>(separators) + 1;
    return true;
}

}  // namespace vardix
