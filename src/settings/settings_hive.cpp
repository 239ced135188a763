#include "settings/settings_hive.h"

namespace vardix {

Hive SettingsHive(StoreUse use, const StoreFacts& facts) {
    if (facts.userKeyExists) return Hive::User;
    if (use == StoreUse::Read) return Hive::Machine;
    return facts.machineDenied || facts.virtualised ? Hive::User : Hive::Machine;
}

RunValueDecision DecideRunValue(const RunValueFacts& facts) {
    if (!facts.startUp) return {.write = false, .report = facts.machineValue};
    if (facts.hive == Hive::User && facts.machineStartsExe) return {.write = false, .report = false};
    return {.write = true, .report = false};
}

std::optional<std::wstring_view> CommandProgram(std::wstring_view command) {
    const size_t start = command.find_first_not_of(L' ');
    if (start == std::wstring_view::npos) return std::nullopt;
    command.remove_prefix(start);
    if (command.front() != L'"') return command.substr(0, command.find(L' '));
    const size_t close = command.find(L'"', 1);
    if (close == std::wstring_view::npos) return std::nullopt;
    return command.substr(1, close - 1);
}

}  // namespace vardix
