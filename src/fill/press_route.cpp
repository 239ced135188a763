#include "fill/press_route.h"

#include <algorithm>

namespace vardix {

PressRoute ChoosePressRoute(const PressFacts& facts) {
    // Before the rights: a consent prompt for a press that can fill nothing
    // would be asked for in vain.
    if (!facts.code || IsTerminalClass(facts.foregroundClass) || IsTerminalClass(facts.focusClass))
        return PressRoute::Nothing;
    if (facts.refusedForRights) return facts.copyProtected ? PressRoute::Elevated : PressRoute::NotElevated;
    switch (facts.way) {
    case FillWay::Type:
        return PressRoute::Type;
    case FillWay::Paste:
        return PressRoute::Paste;
    case FillWay::Nothing:
        break;
    }
    return PressRoute::Nothing;
}

bool MayElevate(const CopyAccess& access) {
    constexpr unsigned long kChange = kAccessDelete | kAccessWriteDac | kAccessWriteOwner;
    constexpr unsigned long kWrite = kAccessAddFile | kAccessAddSubfolder | kAccessWriteEa | kAccessWriteAttributes;
    if (!access.exe || (*access.exe & (kWrite | kChange)) != 0) return false;
    if (!access.folder || (*access.folder & (kWrite | kChange | kAccessDeleteChild)) != 0) return false;
    for (const auto& ancestor : access.ancestors)
        if (!ancestor || (*ancestor & (kChange | kAccessDeleteChild)) != 0) return false;
    return true;
}

std::optional<CopyPlaces> PlacesOf(std::wstring_view finalPath) {
    // Longer plain paths cannot be started without the prefix.
    constexpr size_t kMaxPath = 260;
    constexpr std::wstring_view kPrefix = L"\\\\?\\";
    constexpr std::wstring_view kUnc = L"UNC\\";
    if (!finalPath.starts_with(kPrefix)) return std::nullopt;
    std::wstring_view rest = finalPath.substr(kPrefix.size());
    std::wstring root;
    size_t rootParts = 0;
    if (rest.starts_with(kUnc)) {
        root = L"\\\\";
        rest = rest.substr(kUnc.size());
        rootParts = 2;  // the server and the share
    } else if (rest.size() >= 3 && rest[1] == L':' && rest[2] == L'\\') {
        root = std::wstring(rest.substr(0, 3));
        rest = rest.substr(3);
    } else {
        return std::nullopt;
    }
    std::vector<std::wstring_view> names;
    for (size_t from = 0; from <= rest.size();) {
        const size_t slash = std::min(rest.find(L'\\', from), rest.size());
        const std::wstring_view name = rest.substr(from, slash - from);
        if (name.empty() || name.back() == L'.' || name.back() == L' ') return std::nullopt;
        names.push_back(name);
        from = slash + 1;
    }
    if (names.size() <= rootParts) return std::nullopt;
    for (size_t i = 0; i < rootParts; ++i) root.append(names[i]).append(L"\\");
    // Each folder from the root down; the last name is the executable's.
    std::vector<std::wstring> folders{root};
    for (size_t i = rootParts; i + 1 < names.size(); ++i)
        folders.push_back((i == rootParts ? root : folders.back() + L'\\') + std::wstring(names[i]));
    CopyPlaces places;
    places.exe = (names.size() == rootParts + 1 ? root : folders.back() + L'\\') + std::wstring(names.back());
    if (places.exe.size() >= kMaxPath) return std::nullopt;
    places.folder = folders.back();
    places.ancestors.assign(folders.rbegin() + 1, folders.rend());
    return places;
}

}  // namespace vardix
