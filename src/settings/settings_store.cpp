// The settings under HKLM\SOFTWARE\Quorvantel and the machine's Run entry.
#include <cstdint>
#include <vector>

#include "res/resource.h"
#include "settings/autostart_command.h"
#include "settings/hotkey_keys.h"
#include "settings/stored_value.h"
#include "ui/main_dialog.h"
#include "ui/texts.h"
#include "winfx/app.h"
#include "winfx/handles.h"

namespace vardix {

namespace {

// The value names are plain ASCII; the 8-bit query keeps the result for a
// value of another type the same as it always was.
constexpr char kRunBackgroundA[] = "Run Background";
constexpr char kRunStartUpA[] = "Run Start Up";
constexpr char kHotkeyA[] = "hotkey";

winfx::RegKey OpenSettingsForReading() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, text::kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
    return winfx::RegKey(key);
}

winfx::RegKey CreateKey(const wchar_t* subkey) {
    HKEY key = nullptr;
    if (::RegCreateKeyW(HKEY_LOCAL_MACHINE, subkey, &key) != ERROR_SUCCESS) return {};
    return winfx::RegKey(key);
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

// The full path, however long: a truncated path in the Run entry would start
// nothing at the next logon.
std::wstring ExecutablePath() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) return std::wstring(path.data(), length);
        path.resize(path.size() * 2);
    }
}

void ReadFlags(HKEY key, BOOL& runBackground, BOOL& runStartUp) {
    runBackground = FlagFromStored(QueryStored(key, kRunBackgroundA)) ? TRUE : FALSE;
    runStartUp = FlagFromStored(QueryStored(key, kRunStartUpA)) ? TRUE : FALSE;
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
    winfx::RegKey key = CreateKey(text::kSettingsKey);
    if (!key) {
        winfx::AppMessageBox(text::kSaveFailed);
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
        winfx::AppMessageBox(text::kSaveFailed);
        return FALSE;
    }

    RebindHotkeys();
    m_bDirty = FALSE;
    // A disabled button cannot keep the focus; without this the focus would
    // be nowhere after Apply, and Enter would no longer reach Exit.
    if (::GetFocus() == m_btnApply.GetSafeHwnd())
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(m_hWnd, IDC_EXIT)), TRUE);
    m_btnApply.EnableWindow(false);
    UpdateAutostartEntry();
    return TRUE;
}

void MainDialog::UpdateAutostartEntry() {
    const winfx::RegKey key = CreateKey(text::kRunKey);
    if (!key) {
        winfx::AppMessageBox(text::kSaveFailed);
        return;
    }
    const std::wstring command = BuildAutostartCommand(ExecutablePath());
    // REG_SZ is stored with its terminating NUL.
    const auto bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
    if (::RegSetValueExW(key.get(), text::kAutostartValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                         bytes) != ERROR_SUCCESS) {
        winfx::AppMessageBox(text::kAutostartFailed);
        return;
    }
    if (m_bRunStartUp == 1) return;
    if (::RegDeleteValueW(key.get(), text::kAutostartValue) != ERROR_SUCCESS)
        winfx::AppMessageBox(text::kAutostartFailed);
}

}  // namespace vardix
