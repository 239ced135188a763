#pragma once
// The label removal and the split done the slow, obvious way: pass by pass,
// on a plain std::string, exactly as the behaviour is defined. An oracle for
// the unit tests; it deliberately shares nothing with src/.
// Quadratic: keep its inputs to a few kilobytes.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace literal {

inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

inline void TrimFront(std::string& text) {
    std::size_t n = 0;
    while (n < text.size() && IsSpace(text[n])) ++n;
    text.erase(0, n);
}

inline std::string Trim(std::string_view text) {
    std::string s(text);
    TrimFront(s);
    while (!s.empty() && IsSpace(s.back())) s.pop_back();
    return s;
}

// L passes over the trimmed text, L its length, never stopping early; a line break ends a label as a blank does.
inline std::string LabelStrip(std::string text) {
    const std::size_t passes = text.size();
    for (std::size_t pass = 0; pass < passes; ++pass) {
        const std::size_t blank = text.find_first_of(" \r\n");
        if (blank != std::string::npos) text.erase(0, blank);
        const std::size_t colon = text.find(':');
        if (colon != std::string::npos) text.erase(0, colon + 1);
        TrimFront(text);
    }
    return text;
}

// The pieces, or nothing where the text must be refused.
inline std::optional<std::vector<std::string>> Split(std::string_view text) {
    if (text.empty() || text.find('-') == std::string_view::npos) return std::nullopt;
    const std::string code = LabelStrip(Trim(text));
    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (code[i] == '-' && i + 1 < code.size()) pieces.emplace_back();
        else pieces.back() += code[i];
    }
    if (pieces.size() > 99) return std::nullopt;
    for (std::string& piece : pieces) piece = Trim(piece);
    return pieces;
}

}  // namespace literal
