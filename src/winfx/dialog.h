#pragma once
// A modal dialog from a resource template, with the hooks a dialog procedure
// alone does not offer: a WM_CREATE handler, the template's initialisation
// data, data exchange with member variables and the application's colours.

#include <windows.h>

#include "winfx/handles.h"

namespace winfx {

// Calls `attach` with the next dialog-class window ("#32770": dialogs and
// message boxes) that this thread creates, before that window gets its first
// message, so that it can be subclassed from the start. One watches at a
// time; while another does, this one does nothing.
class DialogCreationHook {
public:
    using Attach = void (*)(HWND window, void* context);
    DialogCreationHook(Attach attach, void* context);
    ~DialogCreationHook();
    DialogCreationHook(const DialogCreationHook&) = delete;
    DialogCreationHook& operator=(const DialogCreationHook&) = delete;

private:
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam);

    Attach m_attach;
    void* m_context;
    WindowsHook m_hook;
};

// A child control bound to a dialog's control by its id.
class Control {
public:
    void Attach(HWND window) { m_hWnd = window; }
    HWND GetSafeHwnd() const { return m_hWnd; }
    void EnableWindow(bool enable) const { ::EnableWindow(m_hWnd, enable ? TRUE : FALSE); }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }

protected:
    HWND m_hWnd = nullptr;
};

class Button : public Control {};

class ComboBox : public Control {
public:
    int GetCurSel() const { return static_cast<int>(Send(CB_GETCURSEL)); }
    // An index outside the list leaves no entry selected.
    void SetCurSel(int index) const { Send(CB_SETCURSEL, static_cast<WPARAM>(index)); }
};

class Dialog {
public:
    explicit Dialog(UINT templateId, HWND parent = nullptr);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Creates the dialog, runs its modal loop and destroys it.
    INT_PTR DoModal();
    HWND GetSafeHwnd() const { return m_hWnd; }

protected:
    // Called for WM_CREATE, before the controls exist and before the window
    // is first shown. -1 ends the creation.
    virtual int OnCreate(CREATESTRUCTW& create);
    // Fills the controls from the template's initialisation data, then shows
    // the members in the controls.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(bool saveAndValidate);
    virtual void OnOK();
    virtual void OnCancel();
    // Messages of the derived dialog; returns false for default handling.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    void UpdateData(bool saveAndValidate);
    void EndDialog(int result);
    // A message box owned by this dialog, exactly the given type.
    int MessageBox(const wchar_t* text, UINT type = MB_OK) const;
    // The same with a text of the string table.
    int MessageBox(UINT textId, UINT type = MB_OK) const;

    // Data exchange helpers for DoDataExchange.
    void DdxControl(int id, Control& control) const;
    void DdxCheck(bool saveAndValidate, int id, BOOL& value) const;

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static void AttachAtCreation(HWND window, void* dialog);
    static LRESULT CALLBACK CreationWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void ExecuteDialogInit();
    void CenterIfSized();

    UINT m_templateId;
    HWND m_parent;
    WNDPROC m_originalProc = nullptr;
};

}  // namespace winfx
