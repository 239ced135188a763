#include "settings/stored_value.h"

#include "settings/hotkey_keys.h"

namespace vardix {

std::uint32_t QueriedDword(bool succeeded, const unsigned char* data, std::size_t size) {
    if (!succeeded || size > 4 || (size > 0 && data == nullptr)) return kNotStored;
    std::uint32_t value = kNotStored;
    for (std::size_t i = 0; i < size; ++i) {
        value &= ~(0xFFu << (8 * i));
        value |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    }
    return value;
}

int HotkeyIndexFromStored(std::uint32_t stored) {
    if (stored == kNotStored) return kDefaultHotkeyIndex;
    return static_cast<std::int32_t>(stored);  // modular since C++20: 0xFFFFFFFF is -1
}

}  // namespace vardix
