#include "fill/elevated_fill.h"

// After windows.h, which they need.
#include <objbase.h>
#include <shellapi.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "fill/copy_limits.h"
#include "fill/filler.h"
#include "fill/typed_fill.h"
#include "res/resource.h"
#include "winfx/app.h"
#include "winfx/process.h"

namespace vardix {

namespace {

constexpr DWORD kCopyRestorePollMs = 100;
// Mandatory label ids; a level that cannot be read counts as the highest.
constexpr unsigned long kSystemLevel = 0x4000;
constexpr DWORD kFrontRetryMs = 100;

struct StartRequest {
    HWND window;
    HWND parent;
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
    // The window that was active at the press: Microsoft's note on the
    // CorrectShellExecuteHWND compatibility fix says that a window that is not
    // the active one makes Windows flash the elevation request in the taskbar
    // instead of prompting. Vardix's own dialog is hidden and never active.
    info.hwnd = request->parent;
    info.lpVerb = L"runas";
    info.lpFile = request->path.c_str();
    info.lpParameters = request->arguments.c_str();
    info.nShow = SW_HIDE;
    const bool started = ::ShellExecuteExW(&info) != FALSE;
    const DWORD error = started ? 0 : ::GetLastError();
    if (SUCCEEDED(com)) ::CoUninitialize();
    // The window's thread owns the handle from here; a window that is gone
    // takes nothing, and the handle is closed here.
    if (!::PostMessageW(request->window, ElevatedFill::kStartedMessage, reinterpret_cast<WPARAM>(info.hProcess),
                        static_cast<LPARAM>(error)) &&
        info.hProcess)
        ::CloseHandle(info.hProcess);
    return 0;
}

void CALLBACK OnCopyEnded(void* watch, BOOLEAN) {
    ::PostMessageW(static_cast<ElevatedFill::Watch*>(watch)->window, ElevatedFill::kEndedMessage,
                   reinterpret_cast<WPARAM>(watch), 0);
}

UINT CopyEndText(DWORD code) {
    switch (static_cast<CopyEnd>(code)) {
    case CopyEnd::WindowGone:
        return IDS_COPY_WINDOW_GONE;
    case CopyEnd::NoCode:
        return IDS_COPY_NO_CODE;
    case CopyEnd::NotInFront:
        return IDS_COPY_NOT_IN_FRONT;
    case CopyEnd::NotFillable:
        return IDS_COPY_NOT_FILLABLE;
    case CopyEnd::Stopped:
        return IDS_COPY_STOPPED;
    default:
        // Filled, or ended by something else.
        return 0;
    }
}

// The documented rules let a process take the foreground only at certain
// moments: tried again until one comes. Nothing the resident could pass on
// helps: the right to the foreground it might give ends with the user's
// click on the consent prompt, which is input. After the prompt the
// foreground may also come back late. The window's thread sets its focus a
// moment after it is in front; keys typed before would find the focus still
// moving.
bool BringToFront(HWND target) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (::GetForegroundWindow() != target) ::SetForegroundWindow(target);
        if (::GetForegroundWindow() == target && FocusOf(target)) return true;
        if (::GetTickCount() - start >= kCopyFrontTriesMs) return false;
        ::Sleep(kFrontRetryMs);
    }
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

std::optional<std::wstring> ProtectedCopyPath() {
    // The file itself, wherever links and junctions on the way lead: the
    // same path is checked and started.
    const auto places = PlacesOf(winfx::FinalPath(winfx::ModulePath()));
    if (!places) return std::nullopt;
    CopyAccess access{winfx::UserAccess(places->exe), winfx::UserAccess(places->folder), {}};
    for (const std::wstring& ancestor : places->ancestors) access.ancestors.push_back(winfx::UserAccess(ancestor));
#ifdef VARDIX_EVERY_TARGET_HIGHER
    // The end-to-end tests' build only: Wine lets the user change every file
    // (each is the user's own), so the package's folder under Program Files
    // stands for one that standard users cannot change, as on Windows.
    wchar_t programFiles[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH);
    if (length > 0 && length < MAX_PATH && !places->ancestors.empty() &&
        ::CompareStringOrdinal(places->ancestors.front().c_str(), -1, programFiles, -1, TRUE) == CSTR_EQUAL)
        access = CopyAccess{0, 0, std::vector<std::optional<unsigned long>>(places->ancestors.size(), 0)};
#endif
    if (!MayElevate(access)) return std::nullopt;
    return places->exe;
}

void ElevatedFill::Refuse() {
    if (m_refusalShown) return;
    m_refusalShown = true;
    winfx::AppMessageBox(IDS_NOT_ELEVATED);
}

void ElevatedFill::Start(HWND foreground, const std::wstring& path) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(foreground, &process);
    const FillRequest fill{static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(foreground)), process,
                           static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(FocusOf(foreground)))};
    auto request = std::make_unique<StartRequest>(StartRequest{m_window, foreground, path, BuildFillArguments(fill)});
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
        winfx::AppMessageBox(IDS_ELEVATION_FAILED);
        return;
    }
    auto watch = std::make_unique<Watch>();
    watch->window = m_window;
    watch->started = ::GetTickCount();
    watch->process = std::move(copy);
    // No time-out: a copy that outlasts the wait still has its outcome told.
    HANDLE wait = nullptr;
    if (!::RegisterWaitForSingleObject(&wait, watch->process.get(), &OnCopyEnded, watch.get(), INFINITE,
                                       WT_EXECUTEONLYONCE))
        return;
    watch->wait.reset(wait);
    // The last copy is still running past the wait: it is kept so that its
    // outcome is told too. One before that, stuck twice as long, is let go.
    if (m_copy) m_overdue = std::move(m_copy);
    m_copy = std::move(watch);
}

bool ElevatedFill::Running() const {
    return m_starting || (m_copy && ::GetTickCount() - m_copy->started < kCopyWaitLimitMs);
}

void ElevatedFill::OnEnded(WPARAM copy) {
    for (std::unique_ptr<Watch>* slot : {&m_copy, &m_overdue}) {
        // A message may name a copy let go of since.
        if (!*slot || reinterpret_cast<WPARAM>(slot->get()) != copy) continue;
        DWORD code = 0;
        const bool read = ::GetExitCodeProcess((*slot)->process.get(), &code) != FALSE;
        if (read && code == STILL_ACTIVE) return;
        slot->reset();
        if (const UINT message = read ? CopyEndText(code) : 0) winfx::AppMessageBox(message);
        return;
    }
}

CopyEnd RunFillCopy(const FillRequest& request) {
    const DWORD started = ::GetTickCount();
    if (static_cast<std::uintptr_t>(request.window) != request.window) return CopyEnd::WindowGone;
    const auto target = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(request.window));
    DWORD process = 0;
    if (!::IsWindow(target) || ::GetAncestor(target, GA_ROOT) != target ||
        !::GetWindowThreadProcessId(target, &process) || process != request.process)
        return CopyEnd::WindowGone;
    // Only the box the user pressed in: gone, or no longer the window's (the
    // window changed its page meanwhile), its place may now hold anything.
    auto first = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(request.box));
    if (static_cast<std::uintptr_t>(request.box) != request.box ||
        (first && first != target && !::IsChild(target, first)))
        return CopyEnd::NotFillable;

    // Owns the clipboard while the copy fills and puts the copy back.
    const winfx::Window owner(
        ::CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    if (!owner) return CopyEnd::Stopped;
    Filler filler(owner.get());
    if (!filler.ReadCode()) return CopyEnd::NoCode;
    // A window that is not in front may have no focus window of its own: the
    // box of the press, where there was one.
    if (!first) first = FocusOf(target);
    AccessibleFocus asked;
    const FillWay way = ChooseFillWayAt(target, first, asked);
    if (way == FillWay::Nothing) return CopyEnd::NotFillable;
    if (way == FillWay::Type) {
        // Keys go to the foreground: typed anywhere else they would land in
        // another program.
        if (!BringToFront(target)) return CopyEnd::NotInFront;
        // In front, the window may have put its focus elsewhere: asked again there.
        const HWND focus = FocusOf(target);
        if (focus != first && ChooseFillWayAt(target, focus, asked) != FillWay::Type) return CopyEnd::NotFillable;
        // The hotkey's own key is not known here; by the time the consent
        // prompt is answered, every key of the press is up anyway.
        return TypeCode(owner.get(), target, focus, 0, asked) ? CopyEnd::Filled : CopyEnd::Stopped;
    }
    // Pasting needs no foreground: the messages go to the window checked above.
    const FillEnd end = filler.Fill(target, first);
    // Until the user's copy is back: a slow box may hold its piece a while.
    // The paste's answer arrives among the messages. Cut short at the copy's
    // run limit: the resident ignores presses while the copy runs.
    const DWORD filled = ::GetTickCount();
    const auto waiting = [&] {
        const DWORD now = ::GetTickCount();
        return now - filled < kCopyRestoreLimitMs && now - started < kCopyRunLimitMs;
    };
    while (!filler.Restored() && waiting()) {
        ::MsgWaitForMultipleObjectsEx(0, nullptr, kCopyRestorePollMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        for (MSG message; ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) ::DispatchMessageW(&message);
        filler.OnRestoreTimer();
    }
    return end == FillEnd::Completed ? CopyEnd::Filled : CopyEnd::Stopped;
}

}  // namespace vardix
