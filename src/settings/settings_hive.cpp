#include "settings/settings_hive.h"

#include <algorithm>

namespace vardix {

Hive SettingsHive(StoreUse use, const StoreFacts& facts) {
    if (facts.userKeyExists) return Hive::User;
    if (use == StoreUse::Read) return Hive::Machine;
    return facts.machineDenied || facts.virtualised ? Hive::User : Hive::Machine;
}

RunValueDecision DecideRunValue(const RunValueFacts& facts) {
    const bool machineStays = facts.machineCommand.has_value();
    if (!facts.startUp) return {.write = false, .report = machineStays};
    if (facts.hive == Hive::User && machineStays && CommandStartsExe(*facts.machineCommand, facts.exePath))
        return {.write = false, .report = false};
    return {.write = true, .report = false};
}

bool CommandStartsExe(std::wstring_view command, std::wstring_view exePath) {
    const size_t start = command.find_first_not_of(L' ');
    if (start == std::wstring_view::npos) return false;
    command.remove_prefix(start);
    std::wstring_view first;
    if (command.front() == L'"') {
        const size_t close = command.find(L'"', 1);
        if (close == std::wstring_view::npos) return false;
        first = command.substr(1, close - 1);
    } else {
        first = command.substr(0, command.find(L' '));
    }
    const auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
    return first.size() == exePath.size() && std::equal(first.begin(), first.end(), exePath.begin(),
                                                        [&](wchar_t a, wchar_t b) { return fold(a) == fold(b); });
}

}  // namespace vardix
