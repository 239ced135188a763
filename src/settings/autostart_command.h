#pragma once
// The program's own command lines: the Run entry's and the elevated
// restart's. Pure logic.

#include <string>
#include <string_view>

namespace vardix {

inline constexpr std::wstring_view kRunMinSwitch = L"/runmin";
// The copy started with it asks the running one to end, then holds the hotkeys.
inline constexpr std::wstring_view kTakeOverSwitch = L"/takeover";

// A double quote, the path, a double quote, two blanks, the switch. The path
// is quoted as it is so that blanks in it survive; a Windows path cannot hold
// a double quote, so no escaping is needed.
std::wstring BuildAutostartCommand(std::wstring_view exePath);

// The switch anywhere in the whole command line, case-sensitive.
bool HasRunMinSwitch(std::wstring_view commandLine);
bool HasTakeOverSwitch(std::wstring_view commandLine);

// Started with it, Vardix asks a running copy to end as after Escape, and
// ends itself: the uninstaller's way to free the file.
inline constexpr std::wstring_view kQuitSwitch = L"/quit";
bool HasQuitSwitch(std::wstring_view commandLine);

// The arguments of the elevated copy that replaces the running one: hidden,
// as the running one may be, and taking over.
std::wstring BuildTakeOverArguments();

}  // namespace vardix
