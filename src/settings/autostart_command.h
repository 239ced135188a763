#pragma once
// The Run entry's command line. Pure logic.

#include <string>
#include <string_view>

namespace vardix {

inline constexpr std::wstring_view kRunMinSwitch = L"/runmin";

// A double quote, the path, a double quote, two blanks, the switch. The path
// is quoted as it is so that blanks in it survive; a Windows path cannot hold
// a double quote, so no escaping is needed.
std::wstring BuildAutostartCommand(std::wstring_view exePath);

// The switch anywhere in the whole command line, case-sensitive.
bool HasRunMinSwitch(std::wstring_view commandLine);

}  // namespace vardix
