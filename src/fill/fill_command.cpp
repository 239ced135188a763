#include "fill/fill_command.h"

#include <limits>

namespace vardix {

namespace {

std::optional<std::uint64_t> Decimal(const std::wstring& text, std::uint64_t max) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    std::uint64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - L'0');
        if (value > (max - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

std::wstring BuildFillArguments(const FillRequest& request) {
    std::wstring arguments(kFillSwitch);
    arguments += L' ' + std::to_wstring(request.window) + L' ' + std::to_wstring(request.process);
    arguments += L' ' + std::to_wstring(request.box);
    return arguments;
}

std::optional<FillRequest> ParseFillArguments(const std::vector<std::wstring>& arguments) {
    if (arguments.size() != 4 || arguments[0] != kFillSwitch) return std::nullopt;
    const auto window = Decimal(arguments[1], std::numeric_limits<std::uint64_t>::max());
    const auto process = Decimal(arguments[2], std::numeric_limits<std::uint32_t>::max());
    const auto box = Decimal(arguments[3], std::numeric_limits<std::uint64_t>::max());
    if (!window || !process || !box) return std::nullopt;
    return FillRequest{*window, static_cast<std::uint32_t>(*process), *box};
}

}  // namespace vardix
