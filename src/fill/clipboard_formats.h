#pragma once
// What the fill copies of the user's clipboard to give it back afterwards.
// Pure logic: the format ids are numbers here, so no Windows headers.

#include <cstddef>

namespace vardix {

// The copy is held twice while it goes back (once in the program, once in
// the clipboard's new blocks), which a 32-bit address space must have room
// for. Above the bound only the 8-bit text goes back.
inline constexpr std::size_t kSnapshotLimitBytes = 32u * 1024u * 1024u;

constexpr bool SnapshotFits(std::size_t taken, std::size_t more) {
    return more <= kSnapshotLimitBytes && taken <= kSnapshotLimitBytes - more;
}

// Formats whose handle is not a global memory block (bitmaps, palettes,
// metafile pictures, owner-drawn, private and GDI object ranges) cannot be
// copied byte for byte; the system makes the standard ones up again from a
// DIB or an enhanced metafile, which can.
constexpr bool IsCopyableFormat(unsigned format) {
    switch (format) {
    case 2:       // CF_BITMAP
    case 3:       // CF_METAFILEPICT
    case 9:       // CF_PALETTE
    case 0x0080:  // CF_OWNERDISPLAY
    case 0x0082:  // CF_DSPBITMAP
    case 0x0083:  // CF_DSPMETAFILEPICT
    case 0x008E:  // CF_DSPENHMETAFILE
        return false;
    default:
        return format < 0x0200 || format > 0x03FF;  // CF_PRIVATEFIRST .. CF_GDIOBJLAST
    }
}

}  // namespace vardix
