// The settings under Software\Quorvantel and the Run entry: in the machine's
// hive as they always were, or in the user's where the machine's cannot be
// written.
#include <cstdint>
#include <cwchar>
#include <optional>
#include <string>

#include "res/resource.h"
#include "settings/autostart_command.h"
#include "settings/hotkey_keys.h"
#include "settings/settings_hive.h"
#include "settings/stored_value.h"
#include "ui/main_dialog.h"
#include "winfx/app.h"
#include "winfx/handles.h"
#include "winfx/process.h"

namespace vardix {

namespace {

// The same subkeys in both hives.
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Quorvantel";
constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kAutostartValue[] = L"Quorvantel";
// The value names are plain ASCII; the 8-bit query keeps the result for a
// value of another type the same as it always was.
constexpr char kRunBackgroundA[] = "Run Background";
constexpr char kRunStartUpA[] = "Run Start Up";
constexpr char kHotkeyA[] = "hotkey";

// Both builds use the 32-bit view, so that switching between them keeps the
// settings and leaves one Run entry, not two copies started at logon.
constexpr REGSAM kView = KEY_WOW64_32KEY;

HKEY Root(Hive hive) { return hive == Hive::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

winfx::RegKey OpenKey(Hive hive, const wchar_t* subkey, REGSAM access, LONG* status = nullptr) {
    HKEY key = nullptr;
    const LONG result = ::RegOpenKeyExW(Root(hive), subkey, 0, access | kView, &key);
    if (status) *status = result;
    return result == ERROR_SUCCESS ? winfx::RegKey(key) : winfx::RegKey();
}

// Opens the key with all the rights it grants, creating it when absent, as
// RegCreateKey does.
winfx::RegKey CreateKey(Hive hive, const wchar_t* subkey) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(Root(hive), subkey, 0, nullptr, 0, MAXIMUM_ALLOWED | kView, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return {};
    return winfx::RegKey(key);
}

winfx::RegKey OpenSettingsForReading() {
    winfx::RegKey user = OpenKey(Hive::User, kSettingsKey, KEY_QUERY_VALUE);
    if (SettingsHive(StoreUse::Read, {.userKeyExists = static_cast<bool>(user)}) == Hive::User) return user;
    return OpenKey(Hive::Machine, kSettingsKey, KEY_QUERY_VALUE);
}

// Asked without writing anything: opening for writing is refused where a
// write would be. An absent key counts as writable where it may be created.
bool MachineDenied() {
    LONG status = ERROR_SUCCESS;
    OpenKey(Hive::Machine, kSettingsKey, KEY_SET_VALUE, &status);
    if (status == ERROR_FILE_NOT_FOUND) OpenKey(Hive::Machine, L"SOFTWARE", KEY_CREATE_SUB_KEY, &status);
    return status == ERROR_ACCESS_DENIED;
}

Hive SaveHive() {
    const StoreFacts facts{.userKeyExists = static_cast<bool>(OpenKey(Hive::User, kSettingsKey, KEY_QUERY_VALUE)),
                           .machineDenied = MachineDenied(),
                           .virtualised = winfx::IsRegistryVirtualised()};
    return SettingsHive(StoreUse::Save, facts);
}

std::uint32_t QueryStored(HKEY key, const char* name) {
    unsigned char buffer[4] = {};
    DWORD size = sizeof buffer;
    const LONG status = ::RegQueryValueExA(key, name, nullptr, nullptr, buffer, &size);
    return QueriedDword(status == ERROR_SUCCESS, buffer, size);
}

bool WriteDword(HKEY key, const char* name, std::uint32_t value) {
    const DWORD data = value;
    return ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) ==
           ERROR_SUCCESS;
}

void ReadFlags(HKEY key, BOOL& runBackground, BOOL& runStartUp) {
    runBackground = FlagFromStored(QueryStored(key, kRunBackgroundA)) ? TRUE : FALSE;
    runStartUp = FlagFromStored(QueryStored(key, kRunStartUpA)) ? TRUE : FALSE;
}

// Removed where this process may: a standard user cannot remove the machine's.
void DeleteRunValue(Hive hive) {
    if (const winfx::RegKey key = OpenKey(hive, kRunKey, KEY_SET_VALUE)) ::RegDeleteValueW(key.get(), kAutostartValue);
}

std::optional<std::wstring> ReadRunValue(Hive hive) {
    const winfx::RegKey key = OpenKey(hive, kRunKey, KEY_QUERY_VALUE);
    DWORD type = 0;
    DWORD size = 0;
    if (!key || ::RegQueryValueExW(key.get(), kAutostartValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    // A value of another type still stays, though it starts nothing of ours.
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::wstring();
    std::wstring command(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(command.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key.get(), kAutostartValue, nullptr, &type, reinterpret_cast<BYTE*>(command.data()),
                           &size) != ERROR_SUCCESS)
        return std::wstring();
    // Stored with or without its NUL: the text ends at the first.
    command.resize(wcsnlen(command.c_str(), command.size()));
    return command;
}

// Paths compare as Windows compares them: case-insensitive beyond ASCII too.
bool StartsExe(const std::wstring& command, const std::wstring& exePath) {
    const auto program = CommandProgram(command);
    return program && ::CompareStringOrdinal(program->data(), static_cast<int>(program->size()), exePath.c_str(),
                                             static_cast<int>(exePath.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

// Runs at window creation, before the window is first shown: only what decides
// whether it is shown at all.
void MainDialog::ReadStartOptions() {
    m_bRunBackground = FALSE;
    m_bRunStartUp = FALSE;
    if (const winfx::RegKey key = OpenSettingsForReading()) ReadFlags(key.get(), m_bRunBackground, m_bRunStartUp);
}

// A missing key or value is not an error: the setting keeps its default.
BOOL MainDialog::LoadSettings() {
    m_bRunBackground = FALSE;
    m_bRunStartUp = FALSE;
    m_nHotkeyIndex = kDefaultHotkeyIndex;
    if (const winfx::RegKey key = OpenSettingsForReading()) {
        ReadFlags(key.get(), m_bRunBackground, m_bRunStartUp);
        m_nHotkeyIndex = HotkeyIndexFromStored(QueryStored(key.get(), kHotkeyA));
    }
    return TRUE;
}

BOOL MainDialog::SaveSettings() {
    const Hive hive = SaveHive();
    winfx::RegKey key = CreateKey(hive, kSettingsKey);
    if (!key) {
        winfx::AppMessageBox(IDS_SAVE_FAILED);
        return FALSE;
    }
    UpdateData(true);
    bool written = WriteDword(key.get(), kRunBackgroundA, m_bRunBackground == 1 ? 1 : 0) &&
                   WriteDword(key.get(), kRunStartUpA, m_bRunStartUp == 1 ? 1 : 0);
    if (written) {
        m_nHotkeyIndex = m_cmbHotkey.GetCurSel();
        written = WriteDword(key.get(), kHotkeyA, static_cast<std::uint32_t>(m_nHotkeyIndex));
    }
    key.reset();
    if (!written) {
        winfx::AppMessageBox(IDS_SAVE_FAILED);
        return FALSE;
    }

    RebindHotkeys();
    m_bDirty = FALSE;
    // A disabled button cannot keep the focus; without this the focus would
    // be nowhere after Apply, and Enter would no longer reach Exit.
    if (::GetFocus() == m_btnApply.GetSafeHwnd())
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(m_hWnd, IDC_EXIT)), TRUE);
    m_btnApply.EnableWindow(false);
    UpdateAutostartEntry(hive);
    return TRUE;
}

void MainDialog::UpdateAutostartEntry(Hive hive) {
    // Without the path the entry would start nothing.
    const std::wstring path = winfx::ModulePath();
    if (path.empty()) {
        winfx::AppMessageBox(IDS_AUTOSTART_FAILED);
        return;
    }
    const Hive other = hive == Hive::User ? Hive::Machine : Hive::User;
    DeleteRunValue(other);
    if (m_bRunStartUp != 1) DeleteRunValue(hive);
    const std::optional<std::wstring> machine = ReadRunValue(Hive::Machine);
    const RunValueDecision decision = DecideRunValue({.hive = hive,
                                                      .startUp = m_bRunStartUp == 1,
                                                      .machineValue = machine.has_value(),
                                                      .machineStartsExe = machine && StartsExe(*machine, path)});

    const winfx::RegKey key = CreateKey(hive, kRunKey);
    if (!key) {
        winfx::AppMessageBox(IDS_SAVE_FAILED);
        return;
    }
    if (!decision.write) {
        ::RegDeleteValueW(key.get(), kAutostartValue);
        if (decision.report) winfx::AppMessageBox(IDS_AUTOSTART_FAILED);
        return;
    }
    const std::wstring command = BuildAutostartCommand(path);
    // REG_SZ is stored with its terminating NUL.
    const auto bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
    if (::RegSetValueExW(key.get(), kAutostartValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                         bytes) != ERROR_SUCCESS)
        winfx::AppMessageBox(IDS_AUTOSTART_FAILED);
}

}  // namespace vardix
