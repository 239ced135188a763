#include "winfx/dialog.h"

#include <string>
#include <utility>

#include "winfx/app.h"
#include "winfx/dialog_init_data.h"
#include "winfx/handles.h"
#include "winfx/resources.h"

namespace winfx {

namespace {

constexpr wchar_t kDialogProp[] = L"winfx.dialog";

// One thread, and a window's creation is synchronous: the one hook that
// watches for the next dialog window.
DialogCreationHook* g_watching = nullptr;

// The few dialog messages whose result is the procedure's return value itself.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_VKEYTOITEM:
        return true;
    default:
        return false;
    }
}

}  // namespace

DialogCreationHook::DialogCreationHook(Attach attach, void* context) : m_attach(attach), m_context(context) {
    if (g_watching) return;
    m_hook.reset(::SetWindowsHookExW(WH_CBT, &Proc, nullptr, ::GetCurrentThreadId()));
    if (m_hook) g_watching = this;
}

DialogCreationHook::~DialogCreationHook() {
    if (g_watching == this) g_watching = nullptr;
}

LRESULT CALLBACK DialogCreationHook::Proc(int code, WPARAM wParam, LPARAM lParam) {
    const auto window = reinterpret_cast<HWND>(wParam);
    wchar_t className[16] = {};
    if (code == HCBT_CREATEWND && g_watching && ::GetClassNameW(window, className, 16) &&
        ::lstrcmpW(className, L"#32770") == 0) {
        DialogCreationHook* hook = std::exchange(g_watching, nullptr);
        hook->m_hook.reset();
        hook->m_attach(window, hook->m_context);
        return 0;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

Dialog::Dialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

Dialog::~Dialog() = default;

INT_PTR Dialog::DoModal() {
    // A dialog procedure never sees WM_CREATE: the dialog manager installs it
    // only after the window exists. A hook around the creation subclasses the
    // new window first, so OnCreate runs before the window is ever shown.
    // Without a parent of its own a dialog belongs to the main window, which
    // then takes no input while it runs, as users expect of a modal box.
    HWND parent = m_parent;
    App* app = App::Current();
    if (!parent && app->m_pMainWnd && app->m_pMainWnd != this) parent = app->m_pMainWnd->GetSafeHwnd();

    const DialogCreationHook hook(&AttachAtCreation, this);
    const INT_PTR result = ::DialogBoxParamW(app->Instance(), MAKEINTRESOURCEW(m_templateId), parent, &DialogProc,
                                             reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

void Dialog::AttachAtCreation(HWND window, void* context) {
    auto* dialog = static_cast<Dialog*>(context);
    dialog->m_hWnd = window;
    ::SetPropW(window, kDialogProp, dialog);
    dialog->m_originalProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CreationWndProc)));
}

LRESULT CALLBACK Dialog::CreationWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* dialog = static_cast<Dialog*>(::GetPropW(window, kDialogProp));
    const WNDPROC original = dialog->m_originalProc;
    if (message != WM_CREATE) return ::CallWindowProcW(original, window, message, wParam, lParam);

    LRESULT result = ::CallWindowProcW(original, window, message, wParam, lParam);
    try {
        if (result != -1) result = dialog->OnCreate(*reinterpret_cast<CREATESTRUCTW*>(lParam));
    } catch (...) {
        // Nothing may unwind through the system's frames; the window is
        // created as if OnCreate had had nothing to do.
    }
    // WM_CREATE was all this subclass was for.
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    ::RemovePropW(window, kDialogProp);
    return result;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<Dialog*>(lParam);
        dialog->m_hWnd = window;
        ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
    } else {
        dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    }
    if (!dialog) return FALSE;
    try {
        return dialog->Dispatch(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's frames: the message gets
        // the default handling and the program goes on.
        return FALSE;
    }
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    bool handled = OnMessage(message, wParam, lParam, result);
    if (!handled) {
        handled = true;
        App* app = App::Current();
        switch (message) {
        case WM_INITDIALOG:
            result = OnInitDialog();
            CenterIfSized();
            break;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
                OnOK();
            } else if (LOWORD(wParam) == IDCANCEL && HIWORD(wParam) == BN_CLICKED) {
                OnCancel();
            } else {
                handled = false;
            }
            break;
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            if (app && app->HasDialogColors()) {
                result = reinterpret_cast<LRESULT>(app->ColorDialogItem(reinterpret_cast<HDC>(wParam)));
            } else {
                handled = false;
            }
            break;
        default:
            handled = false;
            break;
        }
    }
    if (!handled) return FALSE;
    if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

int Dialog::OnCreate(CREATESTRUCTW&) { return 0; }

// A dialog opens centred on its owner, or on the screen's work area when it
// has none, instead of in the corner its template names. A window that was
// made zero-sized to run unseen is left where it is.
void Dialog::CenterIfSized() {
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    if (width <= 0 || height <= 0) return;
    RECT area{};
    const HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner && ::IsWindowVisible(owner)) ::GetWindowRect(owner, &area);
    else ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int x = area.left + (area.right - area.left - width) / 2;
    const int y = area.top + (area.bottom - area.top - height) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x > 0 ? x : 0, y > 0 ? y : 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL Dialog::OnInitDialog() {
    ExecuteDialogInit();
    UpdateData(false);
    return TRUE;
}

void Dialog::DoDataExchange(bool) {}

void Dialog::OnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

void Dialog::UpdateData(bool saveAndValidate) { DoDataExchange(saveAndValidate); }

void Dialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

int Dialog::MessageBox(const wchar_t* text, UINT type) const { return OwnedMessageBox(m_hWnd, text, type); }

int Dialog::MessageBox(UINT textId, UINT type) const { return MessageBox(LoadText(textId).c_str(), type); }

void Dialog::DdxControl(int id, Control& control) const {
    if (!control.GetSafeHwnd()) control.Attach(::GetDlgItem(m_hWnd, id));
}

void Dialog::DdxCheck(bool saveAndValidate, int id, BOOL& value) const {
    if (saveAndValidate) {
        value = ::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED ? TRUE : FALSE;
    } else {
        ::CheckDlgButton(m_hWnd, id, value ? BST_CHECKED : BST_UNCHECKED);
    }
}

void Dialog::ExecuteDialogInit() {
    const HINSTANCE instance = App::Current()->Instance();
    const HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(m_templateId), MAKEINTRESOURCEW(RT_DLGINIT_ID));
    if (!found) return;
    const HGLOBAL loaded = ::LoadResource(instance, found);
    const auto* block = static_cast<const unsigned char*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!block) return;
    const auto entries = ParseDialogInitData(block, ::SizeofResource(instance, found));
    if (!entries) return;
    for (const DialogInitEntry& entry : *entries) {
        // Combo box strings are all the templates hold.
        if (entry.message != kDlgInitAddString) continue;
        std::string text(entry.data.begin(), entry.data.end());
        // The data is an 8-bit string; c_str() supplies the NUL a damaged entry may lack.
        ::SendDlgItemMessageA(m_hWnd, entry.controlId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

}  // namespace winfx
