#pragma once
// Asks a window's accessibility what has the focus, without being held up by
// a program that does not answer.

#include <windows.h>

#include "fill/fill_route.h"

namespace vardix {

// The first question also makes Chromium and Qt turn their accessibility on.
// Asked from a thread of its own: a call into a hung program blocks until it
// wakes, and only that thread waits for it.
AccessibleFocus ProbeAccessibleFocus(HWND window, DWORD timeoutMs);

// The object a focus event names, asked the same way.
AccessibleFocus ProbeAccessibleObject(const FocusEvent& event, DWORD timeoutMs);

}  // namespace vardix
