#include "winfx/dialog_init_data.h"

namespace winfx {

namespace {
std::uint32_t ReadLittleEndian(const unsigned char* p, std::size_t bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) value |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    return value;
}
}  // namespace

std::optional<std::vector<DialogInitEntry>> ParseDialogInitData(const unsigned char* block, std::size_t size) {
    std::vector<DialogInitEntry> entries;
    std::size_t at = 0;
    for (;;) {
        if (size - at < 2) return std::nullopt;
        const auto controlId = static_cast<std::uint16_t>(ReadLittleEndian(block + at, 2));
        if (controlId == 0) return entries;
        if (size - at < 8) return std::nullopt;
        const auto message = static_cast<std::uint16_t>(ReadLittleEndian(block + at + 2, 2));
        const std::uint32_t length = ReadLittleEndian(block + at + 4, 4);
        at += 8;
        if (length > size - at) return std::nullopt;
        entries.push_back({controlId, message, std::vector<unsigned char>(block + at, block + at + length)});
        at += length;
    }
}

}  // namespace winfx
