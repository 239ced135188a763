#pragma once
// A target with higher rights refuses the fill; only a Vardix with the same
// rights can reach it. The press then starts one elevated copy whose only
// job is that one fill, and the running Vardix stays as it is.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "fill/fill_command.h"
#include "fill/press_route.h"
#include "winfx/handles.h"

namespace vardix {

// Whether the foreground window is out of reach for this process's rights.
bool RefusedForRights(HWND foreground);

// The path to start elevated where the consent prompt may elevate this
// vardix.exe: no program of the user's can change it, put a DLL beside it,
// or swap a folder on its way; none otherwise.
std::optional<std::wstring> ProtectedCopyPath();

// The elevated copy as the resident program sees it: started on a worker
// thread, since the consent prompt holds ShellExecuteEx, then waited for.
class ElevatedFill {
public:
    // Posted to the window: wParam the copy's process handle (0 when none
    // started), lParam the start's error; then, once a copy has ended, the
    // second message, its wParam naming which copy.
    static constexpr UINT kStartedMessage = WM_APP + 1;
    static constexpr UINT kEndedMessage = WM_APP + 2;

    explicit ElevatedFill(HWND window) : m_window(window) {}

    // Presses are ignored meanwhile, up to the wait's limit: the copy has the
    // clipboard to itself.
    bool Running() const;
    void Start(HWND foreground, const std::wstring& path);
    void OnStarted(WPARAM process, LPARAM error);
    // Tells the user once when a copy filled nothing, and why, however long
    // it took.
    void OnEnded(WPARAM copy);
    // A copy that anyone could change is not elevated: said once per run.
    void Refuse();

    // One started copy, until it has ended and its outcome is told.
    struct Watch {
        HWND window = nullptr;
        DWORD started = 0;
        winfx::KernelHandle process;
        // Declared after the process: unregistered before the handle closes.
        winfx::RegisteredWait wait;
    };

private:
    HWND m_window;
    bool m_starting = false;
    bool m_failureShown = false;
    bool m_refusalShown = false;
    // The last press's copy, and an earlier one that outlasted the wait.
    std::unique_ptr<Watch> m_copy;
    std::unique_ptr<Watch> m_overdue;
};

// The copy started with "/fill": fills the window once, as a press would, and
// returns when the user's clipboard is back.
CopyEnd RunFillCopy(const FillRequest& request);

}  // namespace vardix
