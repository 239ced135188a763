#include "settings/settings_hive.h"

namespace vardix {

Hive SettingsHive(StoreUse use, const StoreFacts& facts) {
    if (facts.userKeyExists) return Hive::User;
    if (use == StoreUse::Read) return Hive::Machine;
    return facts.machineDenied || facts.virtualised ? Hive::User : Hive::Machine;
}

}  // namespace vardix
