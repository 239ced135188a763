#include "ui/main_dialog.h"

#include <optional>
#include <string>

#include "fill/press_route.h"
#include "fill/typed_fill.h"
#include "res/resource.h"
#include "ui/about_dialog.h"
#include "winfx/app.h"
#include "winfx/handles.h"
#include "winfx/resources.h"

namespace vardix {

UINT QuitMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"Vardix.Quit");
    return message;
}

namespace {

std::string ClassNameOf(HWND window) {
    char name[260] = {};
    if (window) ::GetClassNameA(window, name, sizeof name);
    return name;
}

BOOL CALLBACK CancelOtherDialog(HWND window, LPARAM mainDialog) {
    wchar_t className[8] = {};
    if (window != reinterpret_cast<HWND>(mainDialog) && ::GetClassNameW(window, className, 8) > 0 &&
        ::lstrcmpW(className, L"#32770") == 0)
        ::EndDialog(window, IDCANCEL);
    return TRUE;
}

}  // namespace

MainDialog::MainDialog(HWND parent)
    : winfx::Dialog(IDD_MAIN, parent),
      m_bRunStartUp(FALSE),
      m_bRunBackground(FALSE),
      // Shared icon from the resources: never destroyed.
      m_hIcon(::LoadIconW(winfx::App::Current()->Instance(), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

MainDialog::~MainDialog() = default;

bool MainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message != 0 && message == QuitMessage()) {
        OnQuit();
        return true;
    }
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return false;
        OnSysCommand(static_cast<UINT>(wParam), lParam);
        return true;
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(OnQueryDragIcon());
        return true;
    case WM_DESTROY:
        OnDestroy();
        return false;
    case WM_WINDOWPOSCHANGING:
        OnWindowPosChanging(*reinterpret_cast<WINDOWPOS*>(lParam));
        return false;
    case WM_HOTKEY:
        OnHotKey(wParam, lParam);
        return true;
    case WM_TIMER:
        if (wParam == Filler::kRestoreTimerId && m_filler) m_filler->OnRestoreTimer();
        if (wParam == HeldHotkey::kTimerId && m_heldHotkey) m_heldHotkey->OnTimer();
        return true;
    case ElevatedFill::kStartedMessage:
        m_elevatedFill->OnStarted(wParam, lParam);
        return true;
    case ElevatedFill::kEndedMessage:
        m_elevatedFill->OnEnded(wParam);
        return true;
    case WM_COMMAND: {
        const WORD id = LOWORD(wParam);
        const WORD code = HIWORD(wParam);
        if (id == IDC_APPLY && code == BN_CLICKED) OnApply();
        else if (id == IDC_HIDE && code == BN_CLICKED) OnHide();
        else if (id == IDC_EXIT && code == BN_CLICKED) OnExit();
        else if ((id == IDC_RUN_STARTUP || id == IDC_RUN_BACKGROUND) && code == BN_CLICKED) OnSettingChanged();
        else if (id == IDC_HOTKEY_LETTER && code == CBN_SELCHANGE) OnSettingChanged();
        else return false;
        return true;
    }
    default:
        return false;
    }
}

int MainDialog::OnCreate(CREATESTRUCTW&) {
    ReadStartOptions();
    if (m_bRunBackground == 1 || m_bStartHidden == 1) {
        // No taskbar button, no size, and hidden until a second start gives
        // it a place and a size.
        const LONG_PTR exStyle = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
        ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE,
                            (exStyle & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW)) | WS_EX_TOOLWINDOW);
        // Without SWP_NOACTIVATE the call would make the unseen window the
        // active one, taking the keyboard from the program the user is in.
        ::SetWindowPos(m_hWnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOACTIVATE);
        m_bUnrevealed = true;
    }
    return 0;
}

BOOL MainDialog::OnInitDialog() {
    winfx::Dialog::OnInitDialog();

    m_bDirty = FALSE;
    m_btnApply.EnableWindow(false);

    if (HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE)) {
        const std::wstring aboutText = winfx::LoadText(IDS_ABOUTBOX);
        if (!aboutText.empty()) {
            ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText.c_str());
        }
    }

    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    // An uninstall may ask from a lower integrity level than a Vardix run as
    // administrator, and Windows drops such messages unless let through.
    ::ChangeWindowMessageFilterEx(m_hWnd, QuitMessage(), MSGFLT_ALLOW, nullptr);

    m_filler.emplace(m_hWnd);
    m_elevatedFill.emplace(m_hWnd);
    m_heldHotkey.emplace(m_hWnd);
    LoadSettings();
    m_cmbHotkey.SetCurSel(m_nHotkeyIndex);
    UpdateData(false);
    RegisterHotkeysAtStart();
    // The focus goes to the first tab stop, the Exit button; a window nobody
    // can see must not take the keyboard from the program the user is in.
    return m_bUnrevealed ? FALSE : TRUE;
}

void MainDialog::OnSysCommand(UINT, LPARAM) {
    AboutDialog about;
    about.DoModal();
}

bool MainDialog::OnPaint() {
    if (!::IsIconic(m_hWnd)) return false;

    winfx::PaintDC dc(m_hWnd);
    ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0);
    const int cxIcon = ::GetSystemMetrics(SM_CXICON);
    const int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - cxIcon + 1) / 2;
    const int y = (client.bottom - client.top - cyIcon + 1) / 2;
    ::DrawIcon(dc.get(), x, y, m_hIcon);
    return true;
}

HICON MainDialog::OnQueryDragIcon() const { return m_hIcon; }

// Until a second start gives it a size, the window stays hidden, although the
// dialog manager shows a dialog after initialisation: shown, it would become
// an invisible foreground window that swallows the user's keys, and an
// Escape meant for another program would end this one.
void MainDialog::OnWindowPosChanging(WINDOWPOS& position) {
    if (!m_bUnrevealed) return;
    if (!(position.flags & SWP_NOSIZE) && position.cx > 0 && position.cy > 0) {
        m_bUnrevealed = false;
        return;
    }
    position.flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
    position.flags |= SWP_NOACTIVATE;
}

// An open message box or About box would keep the dialog until answered, and
// Yes in the question at Exit would save: each ends as if cancelled first.
void MainDialog::OnQuit() {
    ::EnumThreadWindows(::GetCurrentThreadId(), &CancelOtherDialog, reinterpret_cast<LPARAM>(m_hWnd));
    OnCancel();
}

void MainDialog::OnDestroy() {
    ReleaseHotkeys();
    // A last try, so that leaving does not leave a piece on the clipboard.
    if (m_filler) m_filler->EndAtExit();
}

void MainDialog::OnHotKey(WPARAM id, LPARAM keys) {
    if ((id != HOTKEY_ID_LOWER_CODE && id != HOTKEY_ID_LETTER) || m_heldHotkey->Repeating()) return;
    const UINT vk = HIWORD(keys);
    FillAtPress(vk);
    m_heldHotkey->Answered(vk);
}

void MainDialog::FillAtPress(UINT vk) {
    // While the elevated copy fills, the clipboard is its own; until the
    // last fill's copy is back, the clipboard holds a piece, not the code.
    if (m_elevatedFill->Running() || !m_filler->ReadyForPress()) return;
    const HWND foreground = ::GetForegroundWindow();
    const HWND focus = FocusOf(foreground);
    const std::string foregroundClass = ClassNameOf(foreground);
    const std::string focusClass = ClassNameOf(focus);
    PressFacts facts{.code = m_filler->ReadCode(), .foregroundClass = foregroundClass, .focusClass = focusClass};
    // The slower facts only where they can change the route; a target with
    // higher rights refuses the questions about its boxes anyway.
    if (facts.code) facts.refusedForRights = RefusedForRights(foreground);
    std::optional<std::wstring> copyPath;
    if (facts.refusedForRights) copyPath = ProtectedCopyPath();
    facts.copyProtected = copyPath.has_value();
    AccessibleFocus asked;
    if (!facts.refusedForRights && facts.code) facts.way = ChooseFillWayAt(foreground, focus, asked);
    switch (ChoosePressRoute(facts)) {
    case PressRoute::Elevated:
        // Higher rights drop injected keys as they refuse pastes: the copy
        // types too. This copy takes no snapshot and restores nothing.
        m_elevatedFill->Start(foreground, *copyPath);
        break;
    case PressRoute::NotElevated:
        m_elevatedFill->Refuse();
        break;
    case PressRoute::Type:
        TypeCode(m_hWnd, foreground, focus, vk, asked);
        break;
    case PressRoute::Paste:
        m_filler->Fill(foreground);
        break;
    case PressRoute::Nothing:
        break;
    }
}

}  // namespace vardix
