#include "winfx/app.h"

#include "winfx/dialog.h"
#include "winfx/module_name.h"
#include "winfx/process.h"

namespace winfx {

namespace {

App* g_app = nullptr;

// The message box is created by the system, so its colours are set by
// subclassing it the moment it is created, as the class library did.
constexpr wchar_t kOriginalProcProp[] = L"winfx.msgbox.proc";
HHOOK g_messageBoxHook = nullptr;

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

LRESULT CALLBACK MessageBoxCreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && g_messageBoxHook) {
        const auto window = reinterpret_cast<HWND>(wParam);
        wchar_t className[16] = {};
        ::GetClassNameW(window, className, 16);
        if (::lstrcmpW(className, L"#32770") == 0) {
            const LONG_PTR original = ::GetWindowLongPtrW(window, GWLP_WNDPROC);
            ::SetPropW(window, kOriginalProcProp, reinterpret_cast<HANDLE>(original));
            ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ColoredMessageBoxProc));
            ::UnhookWindowsHookEx(std::exchange(g_messageBoxHook, nullptr));
            return 0;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
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
    InitInstance();
    return 0;
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
    const bool colored = app && app->HasDialogColors() && !g_messageBoxHook;
    if (colored)
        g_messageBoxHook = ::SetWindowsHookExW(WH_CBT, &MessageBoxCreationHook, nullptr, ::GetCurrentThreadId());
    const int answer = ::MessageBoxW(owner, text, app ? app->Name().c_str() : L"", type);
    if (colored && g_messageBoxHook) ::UnhookWindowsHookEx(std::exchange(g_messageBoxHook, nullptr));
    return answer;
}

int AppMessageBox(const wchar_t* text, UINT type) {
    if ((type & MB_ICONMASK) == 0) {
        switch (type & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL:
            type |= MB_ICONEXCLAMATION;
            break;
        case MB_YESNO:
        case MB_YESNOCANCEL:
            type |= MB_ICONQUESTION;
            break;
        default:
            break;
        }
    }
    App* app = App::Current();
    return OwnedMessageBox(app && app->m_pMainWnd ? app->m_pMainWnd->GetSafeHwnd() : nullptr, text, type);
}

}  // namespace winfx
