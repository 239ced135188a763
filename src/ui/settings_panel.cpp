// The settings panel: the dirty flag mirrored by Apply, Apply, Hide and Exit.
#include "res/resource.h"
#include "ui/main_dialog.h"
#include "winfx/app.h"

namespace vardix {

void MainDialog::DoDataExchange(bool saveAndValidate) {
    DdxControl(IDC_APPLY, m_btnApply);
    DdxControl(IDC_HOTKEY_LETTER, m_cmbHotkey);
    DdxCheck(saveAndValidate, IDC_RUN_STARTUP, m_bRunStartUp);
    DdxCheck(saveAndValidate, IDC_RUN_BACKGROUND, m_bRunBackground);
}

// Records that something was touched, not that it differs from what is stored.
void MainDialog::OnSettingChanged() {
    m_bDirty = TRUE;
    m_btnApply.EnableWindow(true);
}

void MainDialog::OnApply() { SaveSettings(); }

void MainDialog::OnHide() { ::ShowWindow(m_hWnd, SW_HIDE); }

void MainDialog::OnExit() {
    if (!m_bDirty) {
        if (winfx::AppMessageBox(IDS_CONFIRM_EXIT, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
        SaveSettings();
        winfx::Dialog::OnOK();
        return;
    }
    switch (winfx::AppMessageBox(IDS_CONFIRM_SAVE_ON_EXIT, MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
        SaveSettings();
        winfx::Dialog::OnOK();
        break;
    case IDNO:
        winfx::Dialog::OnOK();
        break;
    default:
        break;
    }
}

}  // namespace vardix
