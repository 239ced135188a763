#include "winfx/app.h"

#include <optional>

#include "winfx/dialog.h"
#include "winfx/module_name.h"
#include "winfx/process.h"
#include "winfx/resources.h"

namespace winfx {

namespace {

App* g_app = nullptr;

// The message box is created by the system, so its colours are set by
// subclassing it the moment it is created, as the class library did.
constexpr wchar_t kOriginalProcProp[] = L"winfx.msgbox.proc";

LRESULT CALLBACK ColoredMessageBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto original = reinterpret_cast<WNDPROC>(::GetPropW(window, kOriginalProcProp));
    App* app = App::Current();
    switch (message) {
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return reinterpret_cast<LRESULT>(app->ColorDialogItem(reinterpret_cast<HDC>(wParam)));
    case WM_NCDESTROY:
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        ::RemovePropW(window, kOriginalProcProp);
        break;
    default:
        break;
    }
    return ::CallWindowProcW(original, window, message, wParam, lParam);
}

void ColorMessageBox(HWND window, void*) {
    const LONG_PTR original = ::GetWindowLongPtrW(window, GWLP_WNDPROC);
    ::SetPropW(window, kOriginalProcProp, reinterpret_cast<HANDLE>(original));
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ColoredMessageBoxProc));
}

}  // namespace

App::App() { g_app = this; }

App::~App() {
    if (g_app == this) g_app = nullptr;
}

App* App::Current() { return g_app; }

int App::Run(HINSTANCE instance) {
    m_instance = instance;
    m_name = ModuleBaseName(ModulePath());
    if (!InitInstance()) return m_exitCode;
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

void App::SetDialogBkColor(COLORREF background, COLORREF text) {
    m_background = background;
    m_text = text;
    m_dialogBrush.reset(::CreateSolidBrush(background));
}

HBRUSH App::ColorDialogItem(HDC dc) const {
    ::SetTextColor(dc, m_text);
    ::SetBkColor(dc, m_background);
    return DialogBrush();
}

int OwnedMessageBox(HWND owner, const wchar_t* text, UINT type) {
    App* app = App::Current();
    std::optional<DialogCreationHook> colors;
    if (app && app->HasDialogColors()) colors.emplace(&ColorMessageBox, nullptr);
    return ::MessageBoxW(owner, text, app ? app->Name().c_str() : L"", type);
}

int AppMessageBox(const wchar_t* text, UINT type) {
    if ((type & (MB_ICONMASK | MB_TYPEMASK)) == MB_OK) type |= MB_ICONEXCLAMATION;
    App* app = App::Current();
    return OwnedMessageBox(app && app->m_pMainWnd ? app->m_pMainWnd->GetSafeHwnd() : nullptr, text, type);
}

int AppMessageBox(UINT textId, UINT type) { return AppMessageBox(LoadText(textId).c_str(), type); }

}  // namespace winfx
