#pragma once
// The second way of filling: typing the pieces, for boxes that a toolkit
// draws inside one window, where nothing can be pasted.

#include <windows.h>

#include <string>
#include <vector>

#include "fill/fill_route.h"

namespace vardix {

// Paste, type or leave alone, by the foreground thread's focus window at the
// press; asks the window's accessibility only where it would type, and gives
// its answer (`asked`).
FillWay ChooseFillWayAt(HWND foreground, HWND focus, AccessibleFocus& asked);

// Types each piece into the focused box, a Tab between pieces unless the box
// moved on by itself. First waits for the hotkey's keys to be let go
// (`hotkeyVk` is its own key, held as long as the user likes, up to 10 s),
// dropping the presses its auto-repeat queued meanwhile, and ends without
// typing where a key stays down. Stops as soon as the foreground or its focus window is no
// longer `foreground` and `focus`, and, where the window's accessibility
// named its boxes (`asked`), as soon as the focus is not in a new single-line
// text before a piece. Types nothing where a piece holds a control character.
// The clipboard is not touched. True when every piece went out.
bool TypePieces(HWND foreground, HWND focus, const std::vector<std::wstring>& pieces, UINT hotkeyVk,
                const AccessibleFocus& asked);

// Types the clipboard's code into `focus`, the focus window of `foreground`,
// as TypePieces does, with the accessibility's answer ChooseFillWayAt gave.
// True when every piece went out.
bool TypeCode(HWND owner, HWND foreground, HWND focus, UINT hotkeyVk, const AccessibleFocus& asked);

// The foreground thread's focus window, which GetFocus gives only to a thread
// attached to it.
HWND FocusOf(HWND foreground);

}  // namespace vardix
