#include "app/filler_app.h"

// After windows.h, which it needs.
#include <shellapi.h>

#include <string>
#include <vector>

#include "fill/elevated_fill.h"
#include "fill/fill_command.h"
#include "res/resource.h"
#include "settings/autostart_command.h"
#include "ui/main_dialog.h"
#include "winfx/handles.h"
#include "winfx/resources.h"

namespace vardix {

namespace {

FillerApp theApp;

// Ending may first put the user's clipboard back, which waits for other programs.
constexpr DWORD kQuitWaitMs = 10000;

// The arguments after the program's own name, as Windows splits them.
std::vector<std::wstring> Arguments(const wchar_t* commandLine) {
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(commandLine, &count);
    if (!words) return {};
    std::vector<std::wstring> arguments(words + (count > 0 ? 1 : 0), words + count);
    ::LocalFree(words);
    return arguments;
}

// Every window with a caption of the main dialog's is asked, as another
// program's may carry it too and ignores the message. The wait is for the
// processes, so that the uninstaller finds the file free; a window already
// gone is no error.
void QuitRunningCopies() {
    std::vector<HWND> found;
    for (const std::wstring& caption : winfx::DialogCaptions(IDD_MAIN))
        for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, nullptr, caption.c_str())) != nullptr;)
            found.push_back(window);
    std::vector<winfx::KernelHandle> ending;
    for (const HWND window : found) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        // Opened before the post, so that the id cannot name another process
        // by the time of the wait; asked even where it cannot be waited for.
        winfx::KernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
        if (::PostMessageW(window, QuitMessage(), 0, 0) && process) ending.push_back(std::move(process));
    }
    const DWORD start = ::GetTickCount();
    for (const winfx::KernelHandle& process : ending) {
        const DWORD spent = ::GetTickCount() - start;
        ::WaitForSingleObject(process.get(), spent < kQuitWaitMs ? kQuitWaitMs - spent : 0);
    }
}

// The main dialog in any of its languages: the language is the user's, and a
// copy started by another user, an administrator say, may have another. The
// Chinese caption in particular keeps marking a running Vardix, as it always
// has for other programs.
HWND FindRunningCopy() {
    for (const std::wstring& caption : winfx::DialogCaptions(IDD_MAIN))
        if (const HWND window = ::FindWindowW(nullptr, caption.c_str())) return window;
    return nullptr;
}

}  // namespace

FillerApp::FillerApp() : m_bRunMinimized(FALSE) {}

FillerApp::~FillerApp() = default;

BOOL FillerApp::InitInstance() {
    const wchar_t* commandLine = ::GetCommandLineW();
    // No dialog, no hotkeys, no reveal: only the running copy is asked to end.
    if (HasQuitSwitch(commandLine)) {
        QuitRunningCopies();
        return FALSE;
    }
    // The elevated copy fills and ends: no window, no hotkeys, no settings.
    if (const auto fill = ParseFillArguments(Arguments(commandLine))) {
        m_exitCode = static_cast<int>(RunFillCopy(*fill));
        return FALSE;
    }
    if (HasRunMinSwitch(commandLine)) m_bRunMinimized = TRUE;

    MainDialog dialog;
    // The caption is the only mark of a running instance; there is no lock.
    const HWND running = FindRunningCopy();
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
