#include "fill/serial_text.h"

#include <array>

namespace vardix {

// The text is in the system's ANSI code page. In every double-byte code page
// Windows uses (932, 936, 949, 950) a trail byte is 0x40 or above, so it is
// never a blank, colon, dash or whitespace: byte-wise searching finds exactly
// the characters a double-byte-aware search would.

namespace {

template <typename Char>
bool IsSpace(Char c) {
    return c == Char(' ') || c == Char('\t') || c == Char('\n') || c == Char('\v') || c == Char('\f') ||
           c == Char('\r');
}

template <typename Char>
std::basic_string_view<Char> Trim(std::basic_string_view<Char> text) {
    size_t begin = 0;
    while (begin < text.size() && IsSpace(text[begin])) ++begin;
    size_t end = text.size();
    while (end > begin && IsSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

template <typename Char>
std::basic_string_view<Char> Strip(std::basic_string_view<Char> trimmed) {
    // A line break ends a label too: a code on the line below its label
    // would otherwise keep the label's last word in its first piece.
    const Char labelEnds[] = {Char(' '), Char(':'), Char('\r'), Char('\n'), Char(0)};
    const size_t labelEnd = trimmed.find_last_of(labelEnds);
    if (labelEnd == std::basic_string_view<Char>::npos) return trimmed;
    std::basic_string_view<Char> rest = trimmed.substr(labelEnd + 1);
    while (!rest.empty() && IsSpace(rest.front())) rest.remove_prefix(1);
    return rest;
}

template <typename Char>
bool Split(std::basic_string_view<Char> text, BasicSegmentList<Char>& out) {
    if (text.empty() || text.find(Char('-')) == std::basic_string_view<Char>::npos) return false;

    const std::basic_string_view<Char> code = Strip(Trim(text));

    // Slot 0 is a virtual separator just before the first character; the last
    // character is never a separator, so a trailing dash stays in the last piece.
    // Positions are kept one higher than the characters they name, so that
    // slot 0 can stand for the position -1 in an unsigned type.
    std::array<size_t, kPieceSlots> bounds{};
    size_t separators = 0;
    for (size_t pos = 0; pos + 1 < code.size(); ++pos) {
        if (code[pos] != Char('-')) continue;
        if (separators == kMaxSeparators) return false;
        bounds[++separators] = pos + 1;
    }
    bounds[separators + 1] = code.size() + 1;

    out.pieces.resize(kPieceSlots);
    for (size_t i = 0; i <= separators; ++i) {
        const size_t start = bounds[i];
        out.pieces[i] = std::basic_string<Char>(Trim(code.substr(start, bounds[i + 1] - 1 - start)));
    }
    out.count = static_cast<int>(separators) + 1;
    return true;
}

}  // namespace

bool IsTrimSpace(char c) { return IsSpace(c); }
std::string_view TrimSpace(std::string_view text) { return Trim(text); }
std::string_view StripLabel(std::string_view trimmed) { return Strip(trimmed); }
bool SplitSerialText(std::string_view text, SegmentList& out) { return Split(text, out); }
bool SplitSerialText(std::wstring_view text, WideSegmentList& out) { return Split(text, out); }

}  // namespace vardix
