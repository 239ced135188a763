// A target with higher rights refuses the fill; only a Vardix with the same
// rights can reach it. Vardix offers to restart itself elevated, and the new
// copy takes over from this one.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "settings/autostart_command.h"
#include "ui/main_dialog.h"
#include "ui/texts.h"
#include "winfx/app.h"
#include "winfx/process.h"

namespace vardix {

UINT TakeOverMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"Vardix.TakeOver");
    return message;
}

void MainDialog::OnRefusedForRights() {
    // Already elevated, the refusal has another cause that a restart cannot mend.
    if (winfx::IsElevated()) {
        winfx::AppMessageBox(text::kTargetNeedsElevation);
        return;
    }
    if (winfx::AppMessageBox(text::kOfferElevatedRestart, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    // Let go first, so that the new copy finds the hotkeys free.
    ReleaseHotkeys();
    if (StartElevatedCopy()) {
        OnCancel();
        return;
    }
    // The user declined the elevation prompt, or it failed: as before.
    RebindHotkeys();
}

bool MainDialog::StartElevatedCopy() const {
    const std::wstring path = winfx::ModulePath();
    if (path.empty()) return false;
    const std::wstring arguments = BuildTakeOverArguments();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // A declined prompt is the user's answer, and a failed start leaves
    // Vardix as it was: neither needs the shell's error box.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = m_hWnd;
    info.lpVerb = L"runas";
    info.lpFile = path.c_str();
    info.lpParameters = arguments.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&info) != FALSE;
}

// The hotkeys go at once, so that the new copy can take them even while a
// message box of this one is still open; the dialog ends as after Escape,
// without saving.
void MainDialog::OnTakeOver() {
    ReleaseHotkeys();
    OnCancel();
}

}  // namespace vardix
