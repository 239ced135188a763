#pragma once
// Which registry hive holds the settings and the Run entry. Pure logic.

namespace vardix {

enum class Hive { Machine, User };

enum class StoreUse { Read, Save };

// What decides the hive. Only a save looks at the machine key's facts.
struct StoreFacts {
    bool userKeyExists = false;  // HKCU\Software\Quorvantel
    bool machineDenied = false;  // the machine key refuses writing (or creating, while it is absent)
    bool virtualised = false;    // writes to HKLM would land in the user's VirtualStore
};

// The per-user key, once it exists, is the store for reading and saving, so
// that an elevated and a plain run of the same user agree. Until then the
// settings are read from the machine key and saved there when it can really
// be written (elevated, or without UAC); otherwise the save creates the
// per-user key. The Run entry goes to the hive the settings are saved in.
Hive SettingsHive(StoreUse use, const StoreFacts& facts);

}  // namespace vardix
