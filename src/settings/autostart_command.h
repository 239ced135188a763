#pragma once
// The program's own command lines: the Run entry's and the elevated fill's.
// Pure logic.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vardix {

inline constexpr std::wstring_view kRunMinSwitch = L"/runmin";
// The copy started with it fills one window and ends.
inline constexpr std::wstring_view kFillSwitch = L"/fill";

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

// The window to fill, the process it must belong to, and the box that had
// the focus at the press (0: none), where the fill begins.
struct FillRequest {
    std::uint64_t window = 0;
    std::uint32_t process = 0;
    std::uint64_t box = 0;
};

// "/fill <window> <process> <box>", unsigned decimal numbers.
std::wstring BuildFillArguments(const FillRequest& request);

// The request in the arguments after the program's own name, exactly as
// BuildFillArguments makes them; none for any other command line.
std::optional<FillRequest> ParseFillArguments(const std::vector<std::wstring>& arguments);

}  // namespace vardix
