#pragma once
// The program's only window: the settings panel, the owner of the hotkeys and
// of all state, and the place where a fill runs.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "fill/clipboard_session.h"
#include "fill/fill_outcome.h"
#include "settings/hotkey_keys.h"
#include "settings/settings_hive.h"
#include "winfx/dialog.h"

namespace vardix {

// Posted by a copy started with the take-over switch to the running one's
// window, which then ends. A registered message, not one of WM_APP's: the
// window is found by its caption alone and may belong to another program,
// to which a registered message means nothing.
UINT TakeOverMessage();

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
    int m_nPieceCount = 0;
    std::vector<std::string> m_arrPieces;
    std::string m_strClipSaved;
    winfx::Button m_btnApply;
    winfx::ComboBox m_cmbHotkey;
    BOOL m_bRunStartUp;
    BOOL m_bRunBackground;
    HICON m_hIcon;
    // The user's clipboard from the press until it is back: while a box that
    // did not answer in time may still paste its piece, or while another
    // program keeps Vardix from putting it back.
    std::optional<ClipboardSnapshot> m_snapPending;
    // The clipboard's sequence number as Vardix saved or last wrote it; any
    // other number means someone else has put content there.
    DWORD m_dwClipSeq = 0;
    // The box whose paste has not answered yet, and since when it is overdue.
    HWND m_hPasteBox = nullptr;
    DWORD m_dwHoldStart = 0;
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

    // Elevated restart and take-over (app/elevated_restart.cpp)
    void OnRefusedForRights();
    bool StartElevatedCopy() const;
    void OnTakeOver();

    // Fill engine (fill/*.cpp)
    bool WriteClipboardText(std::string text);
    BOOL ParseClipboardText();
    LRESULT OnHotKey(WPARAM wParam, LPARAM lParam);
    FillEnd FillForegroundFields();
    bool FinishPendingRestore(DWORD budgetMs);
    std::optional<FillEnd> PasteInto(HWND box);
    bool AwaitPasteAnswer(DWORD timeoutMs);
    static void CALLBACK OnPasteAnswered(HWND box, UINT message, ULONG_PTR dialog, LRESULT result);
    void OnTimer(UINT_PTR id);
    void EndHoldAtExit();
};

}  // namespace vardix
