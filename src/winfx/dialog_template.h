#pragma once
// Reader of a dialog template's caption. Pure logic: no Windows headers.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace winfx {

// Where the caption stands in a template of `count` 16-bit words, classic
// (DIALOG) or extended (DIALOGEX): its first word and its length, without the
// terminating zero. Nothing for a template that ends before its caption does.
struct TextSpan {
    std::size_t at;
    std::size_t length;
};
std::optional<TextSpan> FindDialogCaption(const std::uint16_t* words, std::size_t count);

}  // namespace winfx
