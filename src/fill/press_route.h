#pragma once
// What a press does, decided on facts gathered before anything is written or
// any consent is asked for; what may start an elevated copy; and how that
// copy ends. Pure logic: rights, integrity levels and the consent prompt
// cannot be produced under Wine.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Access rights as Windows numbers them, kept here so that this header needs
// no Windows headers.
inline constexpr unsigned long kAccessAddFile = 0x0002;          // FILE_WRITE_DATA, FILE_ADD_FILE
inline constexpr unsigned long kAccessAddSubfolder = 0x0004;     // FILE_APPEND_DATA, FILE_ADD_SUBDIRECTORY
inline constexpr unsigned long kAccessWriteEa = 0x0010;          // FILE_WRITE_EA
inline constexpr unsigned long kAccessDeleteChild = 0x0040;      // FILE_DELETE_CHILD
inline constexpr unsigned long kAccessWriteAttributes = 0x0100;  // FILE_WRITE_ATTRIBUTES
inline constexpr unsigned long kAccessDelete = 0x10000;          // DELETE
inline constexpr unsigned long kAccessWriteDac = 0x40000;        // WRITE_DAC
inline constexpr unsigned long kAccessWriteOwner = 0x80000;      // WRITE_OWNER

// What the user running Vardix may do to the program that the consent prompt
// would elevate, by an access check against the user's own token; none where
// a check could not be made.
struct CopyAccess {
    std::optional<unsigned long> exe;
    std::optional<unsigned long> folder;
    // The folders above, from the folder's parent up to the drive's root.
    std::vector<std::optional<unsigned long>> ancestors;
};

// Consent is only asked for a program that no standard user can change:
// otherwise any program running as the user could swap in its own code and
// have the user approve it as "vardix.exe". Write to the exe or its folder,
// delete, rename or re-permit them, add a DLL beside it; or, higher up,
// rename or re-permit a folder on the way and put another in its place.
bool MayElevate(const CopyAccess& access);

// Where the copy lies: the executable, its folder, and the folders above it
// up to the root (`X:\`, or `\\server\share\`), each as a plain path.
struct CopyPlaces {
    std::wstring exe;
    std::wstring folder;
    std::vector<std::wstring> ancestors;
};

// The places of an executable's final path as GetFinalPathNameByHandle gives
// it (`\\?\X:\...` or `\\?\UNC\...`); none where the plain path would
// name another file (a name that ends in a dot or a blank, which plain paths
// drop) or is too long to start.
std::optional<CopyPlaces> PlacesOf(std::wstring_view finalPath);

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
