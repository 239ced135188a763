#pragma once
// Decoding of the settings' registry values. Pure logic.

#include <cstddef>
#include <cstdint>

namespace vardix {

// Every query starts from this value; finding it afterwards means "not stored".
inline constexpr std::uint32_t kNotStored = 171;

// The 4-byte buffer after one query. Only a query that succeeded with at most
// four bytes of data overlays the sentinel (little-endian, as REG_DWORD is);
// any failure, a value longer than four bytes among them, leaves the sentinel,
// whatever the registry left in its buffer.
std::uint32_t QueriedDword(bool succeeded, const unsigned char* data, std::size_t size);

// Only exactly 1 is on.
constexpr bool FlagFromStored(std::uint32_t stored) { return stored == 1; }

// 171 means not stored (V); anything else is the index as a signed 32-bit
// number, unchecked.
int HotkeyIndexFromStored(std::uint32_t stored);

}  // namespace vardix
