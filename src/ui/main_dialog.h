#pragma once
// The program's only window: the settings panel, the owner of the hotkeys and
// of all state, and the place where a press is handled.

#include <windows.h>

#include <optional>

#include "fill/elevated_fill.h"
#include "fill/filler.h"
#include "fill/held_hotkey.h"
#include "settings/hotkey_keys.h"
#include "settings/settings_hive.h"
#include "winfx/dialog.h"

namespace vardix {

// Posted by a copy started with the quit switch, as an uninstall does, to the
// running one's window, which then ends as after Escape, without saving. A
// registered message, not one of WM_APP's: the window is found by its caption
// alone and may belong to another program, to which it means nothing.
UINT QuitMessage();

class MainDialog : public winfx::Dialog {
public:
    explicit MainDialog(HWND parent = nullptr);
    ~MainDialog() override;

    // Started with "/runmin": set by the application before the dialog runs.
    BOOL m_bStartHidden = FALSE;

private:
    BOOL m_bDirty = FALSE;
    HotkeyIndex m_nHotkeyIndex = kDefaultHotkeyIndex;
    winfx::Button m_btnApply;
    winfx::ComboBox m_cmbHotkey;
    BOOL m_bRunStartUp;
    BOOL m_bRunBackground;
    HICON m_hIcon;
    // These need the window, and exist from its initialisation on.
    std::optional<Filler> m_filler;
    std::optional<ElevatedFill> m_elevatedFill;
    std::optional<HeldHotkey> m_heldHotkey;
    // Hidden at creation and not yet given a size by a second start.
    bool m_bUnrevealed = false;

    void DoDataExchange(bool saveAndValidate) override;
    BOOL OnInitDialog() override;
    int OnCreate(CREATESTRUCTW& create) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // Window (ui/main_dialog.cpp)
    void OnSysCommand(UINT id, LPARAM lParam);
    bool OnPaint();
    HICON OnQueryDragIcon() const;
    void OnDestroy();
    void OnWindowPosChanging(WINDOWPOS& position);
    void OnQuit();

    // Settings panel (ui/settings_panel.cpp)
    void OnSettingChanged();
    void OnApply();
    void OnHide();
    void OnExit();

    // Settings store (settings/settings_store.cpp)
    void ReadStartOptions();
    BOOL LoadSettings();
    BOOL SaveSettings();
    void UpdateAutostartEntry(Hive hive);

    // Hotkey binding (settings/hotkey_binding.cpp)
    void RegisterHotkeysAtStart();
    void RebindHotkeys();
    void ReleaseHotkeys();

    // A press: the facts gathered, the route decided on them, then acted on.
    void OnHotKey(WPARAM id, LPARAM keys);
    void FillAtPress(UINT vk);
};

}  // namespace vardix
