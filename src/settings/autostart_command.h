#pragma once
// The Run entry's command line, and the switches the program reads from its
// own. Pure logic.

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

// Started with it, Vardix asks a running copy to end as after Escape, and
// ends itself: the uninstaller's way to free the file.
inline constexpr std::wstring_view kQuitSwitch = L"/quit";
bool HasQuitSwitch(std::wstring_view commandLine);

}  // namespace vardix
