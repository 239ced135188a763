#pragma once
// What a press does, decided on facts gathered before anything is written or
// any consent is asked for; what may start an elevated copy; and how that
// copy ends. Pure logic: rights, integrity levels and the consent prompt
// cannot be produced under Wine.

#include <string_view>

#include "fill/fill_route.h"

namespace vardix {

enum class PressRoute {
    Nothing,      // no code on the clipboard, or a box that nothing may be typed or pasted into
    Elevated,     // a target with higher rights: the elevated one-fill copy
    NotElevated,  // the same, but this vardix.exe could be changed by anyone: no consent is asked
    Type,
    Paste,
};

struct PressFacts {
    bool code = false;                 // the clipboard's text is a code
    std::string_view foregroundClass;  // class names can be read across rights
    std::string_view focusClass;
    bool refusedForRights = false;
    bool copyProtected = false;      // MayElevate, for a target with higher rights
    FillWay way = FillWay::Nothing;  // for a target of the same rights: the way ChooseFillWay and the
                                     // accessibility chose
};

PressRoute ChoosePressRoute(const PressFacts& facts);

// What the user running Vardix may do to the program that the consent prompt
// would elevate, by an access check against the user's own token.
struct ExeFacts {
    bool checked = false;        // every check could be made
    bool writeExe = false;       // write to vardix.exe
    bool deleteExe = false;      // delete or rename it (its own right, or the folder's right to delete children)
    bool addToFolder = false;    // add a file (a DLL beside it) to its folder
    bool replaceFolder = false;  // delete or rename the folder itself
};

// Consent is only asked for a program that no standard user can change:
// otherwise any program running as the user could swap in its own code and
// have the user approve it as "vardix.exe".
bool MayElevate(const ExeFacts& facts);

// The elevated copy's exit code: the resident tells the user what it means.
// Never 1, which Windows gives a process that could not start.
enum class CopyEnd : unsigned long {
    Filled = 0,
    WindowGone = 2,   // the window is gone, not a top-level window, or of another process
    NoCode = 3,       // the clipboard held no code any more
    NotInFront = 4,   // the boxes needed typing, and the window could not be brought to the front
    NotFillable = 5,  // a box that nothing may be typed into (a multi-line text, a terminal)
    Stopped = 6,      // the fill began and stopped before the last piece
};

}  // namespace vardix
