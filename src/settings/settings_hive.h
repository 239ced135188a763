#pragma once
// Which registry hive holds the settings and the Run entry. Pure logic.

#include <optional>
#include <string>
#include <string_view>

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

// What a save does with the Run value in the settings' hive, once it has
// removed Vardix's value from the other hive (and, with start-up off, from
// both) where this process may.
struct RunValueFacts {
    Hive hive = Hive::Machine;  // the hive the settings were saved in
    bool startUp = false;
    // The machine's Run value as it is after that removal: whether there is
    // one, and whether it starts this executable (CommandProgram's path is
    // this one's, as Windows compares paths).
    bool machineValue = false;
    bool machineStartsExe = false;
};

struct RunValueDecision {
    bool write = false;   // write the value; otherwise remove it
    bool report = false;  // tell the user the start-up setting did not take
};

// Never two values for one program: a machine value that starts this same
// executable and cannot be removed already starts Vardix at logon, and a
// per-user one would start a second copy, which finds its hotkeys taken.
RunValueDecision DecideRunValue(const RunValueFacts& facts);

// The program a Run command starts: its first word, quoted or not; none for
// a blank command or an unclosed quote.
std::optional<std::wstring_view> CommandProgram(std::wstring_view command);

}  // namespace vardix
