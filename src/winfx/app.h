#pragma once
// The application object: one per process, reached from WinMain.

#include <windows.h>

#include <string>

#include "winfx/handles.h"

namespace winfx {

class Dialog;

class App {
public:
    App();
    virtual ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    static App* Current();

    // Runs the whole program; the exit code of the process.
    int Run(HINSTANCE instance);

    HINSTANCE Instance() const { return m_instance; }
    // The executable's file name without its extension: the caption of every
    // message box.
    const std::wstring& Name() const { return m_name; }

    // Colours of the application's dialog boxes and message boxes.
    void SetDialogBkColor(COLORREF background, COLORREF text);
    bool HasDialogColors() const { return static_cast<bool>(m_dialogBrush); }
    HBRUSH DialogBrush() const { return static_cast<HBRUSH>(m_dialogBrush.get()); }
    // Answers a WM_CTLCOLOR* message in those colours: the brush to return.
    HBRUSH ColorDialogItem(HDC dc) const;

    // The process's exit code when InitInstance returns false.
    int m_exitCode = 0;

    // The window that owns the application-wide message boxes.
    Dialog* m_pMainWnd = nullptr;

protected:
    // Returns whether the application's message loop should follow; a
    // dialog-based program runs its dialog in here and returns false.
    virtual BOOL InitInstance() = 0;

private:
    HINSTANCE m_instance = nullptr;
    std::wstring m_name;
    COLORREF m_background = RGB(255, 255, 255);
    COLORREF m_text = RGB(0, 0, 0);
    GdiObject m_dialogBrush;
};

// A modal message box in the application's colours with its name as caption,
// owned by the main window. A plain OK box gets the exclamation mark, as
// users know it from other programs; other types give their icon themselves.
int AppMessageBox(const wchar_t* text, UINT type = MB_OK);
// The same with a text of the string table.
int AppMessageBox(UINT textId, UINT type = MB_OK);

// The same, owned by `owner` and with exactly the given type.
int OwnedMessageBox(HWND owner, const wchar_t* text, UINT type = MB_OK);

}  // namespace winfx
