#include "fill/elevated_fill.h"

// After windows.h, which they need.
#include <objbase.h>
#include <shellapi.h>

#include <cstdint>
#include <memory>
#include <string>

#include "fill/filler.h"
#include "fill/typed_fill.h"
#include "ui/texts.h"
#include "winfx/app.h"
#include "winfx/process.h"

namespace vardix {

namespace {

// Presses count again after this at the latest, in case the copy hangs.
constexpr DWORD kCopyWaitLimitMs = 30000;
// A box may hold its piece for 30 s; the copy gives its restore a little more.
constexpr DWORD kCopyRestoreLimitMs = 35000;
constexpr DWORD kCopyRestorePollMs = 100;
// Mandatory label ids; a level that cannot be read counts as the highest.
constexpr unsigned long kSystemLevel = 0x4000;

struct StartRequest {
    HWND window;
    std::wstring path;
    std::wstring arguments;
};

DWORD WINAPI StartElevatedCopy(void* parameter) {
    const std::unique_ptr<StartRequest> request(static_cast<StartRequest*>(parameter));
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // A declined prompt is the user's answer, and a failed start gets a
    // message of our own: neither needs the shell's error box.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = request->window;
    info.lpVerb = L"runas";
    info.lpFile = request->path.c_str();
    info.lpParameters = request->arguments.c_str();
    info.nShow = SW_HIDE;
    const bool started = ::ShellExecuteExW(&info) != FALSE;
    const DWORD error = started ? 0 : ::GetLastError();
    if (SUCCEEDED(com)) ::CoUninitialize();
    // The copy must bring the target back to the front after the prompt.
    if (info.hProcess) ::AllowSetForegroundWindow(::GetProcessId(info.hProcess));
    // The window's thread owns the handle from here; a window that is gone
    // takes nothing, and the handle is closed here.
    if (!::PostMessageW(request->window, ElevatedFill::kStartedMessage, reinterpret_cast<WPARAM>(info.hProcess),
                        static_cast<LPARAM>(error)) &&
        info.hProcess)
        ::CloseHandle(info.hProcess);
    return 0;
}

void CALLBACK OnCopyEnded(void* window, BOOLEAN) {
    ::PostMessageW(static_cast<HWND>(window), ElevatedFill::kEndedMessage, 0, 0);
}

}  // namespace

bool RefusedForRights(HWND foreground) {
    DWORD process = 0;
    const DWORD thread = ::GetWindowThreadProcessId(foreground, &process);
    if (!thread || process == ::GetCurrentProcessId()) return false;
    RightsFacts facts;
    facts.selfElevated = winfx::IsElevated();
    facts.ownLevel = winfx::IntegrityLevel(::GetCurrentProcessId()).value_or(kSystemLevel);
    facts.targetLevel = winfx::IntegrityLevel(process);
    {
        const winfx::ThreadInputAttachment attachment(::GetCurrentThreadId(), thread);
        facts.attachError = attachment.attached() ? 0 : attachment.error();
    }
#ifdef VARDIX_EVERY_TARGET_HIGHER
    // The end-to-end tests' build only: Wine has no integrity levels, and
    // reports every process as elevated.
    facts.selfElevated = false;
    facts.targetLevel = facts.ownLevel + 1;
#endif
    return RefusedForRights(facts);
}

void ElevatedFill::Start(HWND foreground) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(foreground, &process);
    const FillRequest fill{static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(foreground)), process};
    auto request =
        std::make_unique<StartRequest>(StartRequest{m_window, winfx::ModulePath(), BuildFillArguments(fill)});
    // Started from the press, which gives Vardix the right to the foreground
    // that the consent prompt needs to come up in front.
    const winfx::KernelHandle thread(::CreateThread(nullptr, 0, &StartElevatedCopy, request.get(), 0, nullptr));
    if (!thread) {
        OnStarted(0, static_cast<LPARAM>(::GetLastError()));
        return;
    }
    // The thread owns the request now.
    request.release();
    m_starting = true;
}

void ElevatedFill::OnStarted(WPARAM process, LPARAM error) {
    m_starting = false;
    winfx::KernelHandle copy(reinterpret_cast<HANDLE>(process));
    if (!copy) {
        // A declined prompt changes nothing, nor does a start that gave no
        // process to wait for. Any other failure is told once per run: a
        // policy that denies elevation would otherwise bring the message at
        // every press.
        if (error == ERROR_SUCCESS || error == ERROR_CANCELLED || m_failureShown) return;
        m_failureShown = true;
        winfx::AppMessageBox(text::kElevationFailed);
        return;
    }
    HANDLE wait = nullptr;
    if (!::RegisterWaitForSingleObject(&wait, copy.get(), &OnCopyEnded, m_window, kCopyWaitLimitMs, WT_EXECUTEONLYONCE))
        return;
    m_wait.reset(wait);
    m_process = std::move(copy);
}

void ElevatedFill::OnEnded() {
    m_wait.reset();
    m_process.reset();
}

void RunFillCopy(const FillRequest& request) {
    if (static_cast<std::uintptr_t>(request.window) != request.window) return;
    const auto target = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(request.window));
    DWORD process = 0;
    if (!::IsWindow(target) || !::GetWindowThreadProcessId(target, &process) || process != request.process) return;
    // After the consent prompt Windows may leave the foreground elsewhere;
    // a window in the background is never filled.
    ::SetForegroundWindow(target);
    if (::GetForegroundWindow() != target) return;

    // Owns the clipboard while the copy fills and puts the copy back.
    const winfx::Window owner(
        ::CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    if (!owner) return;
    Filler filler(owner.get());
    if (!filler.ReadCode()) return;
    // The hotkey's own key is not known here; by the time the consent prompt
    // is answered, every key of the press is up anyway.
    if (FillByTyping(owner.get(), 0)) return;
    filler.Fill(target);
    // Until the user's copy is back: a slow box may hold its piece a while.
    // The paste's answer arrives among the messages.
    const DWORD start = ::GetTickCount();
    while (!filler.Restored() && ::GetTickCount() - start < kCopyRestoreLimitMs) {
        ::MsgWaitForMultipleObjectsEx(0, nullptr, kCopyRestorePollMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        for (MSG message; ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) ::DispatchMessageW(&message);
        filler.OnRestoreTimer();
    }
}

}  // namespace vardix
