#include "app/filler_app.h"

// After windows.h, which it needs.
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/elevated_fill.h"
#include "settings/autostart_command.h"
#include "ui/main_dialog.h"
#include "ui/texts.h"

namespace vardix {

namespace {

FillerApp theApp;

// The arguments after the program's own name, as Windows splits them.
std::vector<std::wstring> Arguments(const wchar_t* commandLine) {
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(commandLine, &count);
    if (!words) return {};
    std::vector<std::wstring> arguments(words + (count > 0 ? 1 : 0), words + count);
    ::LocalFree(words);
    return arguments;
}

}  // namespace

FillerApp::FillerApp() : m_bRunMinimized(FALSE) {}

FillerApp::~FillerApp() = default;

BOOL FillerApp::InitInstance() {
    const wchar_t* commandLine = ::GetCommandLineW();
    // The elevated copy fills and ends: no window, no hotkeys, no settings.
    if (const auto fill = ParseFillArguments(Arguments(commandLine))) {
        RunFillCopy(*fill);
        return FALSE;
    }
    if (HasRunMinSwitch(commandLine)) m_bRunMinimized = TRUE;

    MainDialog dialog;
    // The caption is the only mark of a running instance; there is no lock.
    const HWND running = ::FindWindowW(nullptr, text::kMainCaption);
    if (running && !m_bRunMinimized) {
        // The one way back to a hidden dialog: a fixed place and size, since
        // a window hidden at creation has no size of its own.
        ::SetWindowPos(running, HWND_BOTTOM, 400, 300, 372, 210, SWP_SHOWWINDOW);
        ::ShowWindow(running, SW_SHOWNORMAL);
        ::SetForegroundWindow(running);
        return FALSE;
    }

    m_pMainWnd = &dialog;
    dialog.m_bStartHidden = m_bRunMinimized;
    SetDialogBkColor(RGB(255, 255, 255), RGB(0, 0, 160));
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

}  // namespace vardix
