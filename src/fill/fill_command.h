#pragma once
// The elevated copy's command line: how the resident asks for one fill, and
// how the copy reads the request. Pure logic.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vardix {

// The copy started with it fills one window and ends.
inline constexpr std::wstring_view kFillSwitch = L"/fill";

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
