#include "winfx/dialog_template.h"

namespace winfx {

namespace {
// An extended template starts with its version, 1, and 0xFFFF.
constexpr std::size_t kExtendedHeaderWords = 13;
constexpr std::size_t kClassicHeaderWords = 9;
}  // namespace

std::optional<TextSpan> FindDialogCaption(const std::uint16_t* words, std::size_t count) {
    const bool extended = count >= 2 && words[0] == 1 && words[1] == 0xFFFF;
    std::size_t at = extended ? kExtendedHeaderWords : kClassicHeaderWords;
    // The menu, then the window class: each an ordinal (0xFFFF and a number),
    // or a zero-terminated string, the empty one meaning none.
    for (int field = 0; field < 2; ++field) {
        if (at >= count) return std::nullopt;
        if (words[at] == 0xFFFF) {
            at += 2;
            continue;
        }
        while (at < count && words[at] != 0) ++at;
        ++at;
    }
    const std::size_t start = at;
    while (at < count && words[at] != 0) ++at;
    if (at >= count) return std::nullopt;
    return TextSpan{start, at - start};
}

}  // namespace winfx
