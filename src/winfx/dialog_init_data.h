#pragma once
// Reader of a dialog's initialisation data: the list of messages that fill a
// dialog's controls, such as the strings of a combo box. Pure logic: no
// Windows headers.

// The data's resource type. A macro, so that resource scripts include it too.
#define RT_DLGINIT_ID 240

#ifndef RC_INVOKED

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace winfx {

inline constexpr std::uint16_t kDlgInitAddString = 0x0403;  // sent as CB_ADDSTRING

struct DialogInitEntry {
    std::uint16_t controlId;
    std::uint16_t message;
    std::vector<unsigned char> data;
};

// Entries: control id (16 bits), message (16 bits), data length (32 bits),
// data; a zero control id ends the list. Returns nothing for a block that runs
// past its end, so a damaged resource fills nothing rather than garbage.
std::optional<std::vector<DialogInitEntry>> ParseDialogInitData(const unsigned char* block, std::size_t size);

}  // namespace winfx

#endif  // RC_INVOKED
