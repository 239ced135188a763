#pragma once
// The executable's name as captions show it. Pure logic.

#include <string>
#include <string_view>

namespace winfx {

// The file name without folder and extension: "C:\Tools\vardix.exe" gives
// "vardix". A name that only starts with a dot keeps it.
inline std::wstring ModuleBaseName(std::wstring_view path) {
    std::wstring_view name = path.substr(path.find_last_of(L"\\/") + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring_view::npos && dot > 0) name = name.substr(0, dot);
    return std::wstring(name);
}

}  // namespace winfx
