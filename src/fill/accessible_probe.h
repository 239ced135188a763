#pragma once
// Asks a window's accessibility what has the focus, without being held up by
// a program that does not answer.

#include <windows.h>

#include "fill/fill_route.h"

namespace vardix {

enum class Question {
    Focus,   // the focused object of the session's window
    Value,   // only the focused object's text
    Object,  // the object a focus event names
};

// Questions to a window's accessibility, asked from a thread of its own: a
// call into a hung program blocks until it wakes, and only that thread waits
// for it. The thread keeps the window's object between questions, so that
// asking before every piece costs only the questions themselves. A question
// not answered in time makes every later one answer TimedOut at once.
class AccessibleSession {
public:
    explicit AccessibleSession(HWND window);
    ~AccessibleSession();
    AccessibleSession(const AccessibleSession&) = delete;
    AccessibleSession& operator=(const AccessibleSession&) = delete;

    AccessibleFocus Ask(Question question, const FocusEvent& event, DWORD timeoutMs);

private:
    struct Shared;
    static void Release(Shared* shared);
    static DWORD WINAPI Worker(void* param);
    Shared* m_shared;
    bool m_hung = false;
};

// The first question also makes Chromium and Qt turn their accessibility on.
AccessibleFocus ProbeAccessibleFocus(HWND window, DWORD timeoutMs);

}  // namespace vardix
