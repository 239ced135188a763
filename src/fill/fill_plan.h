#pragma once
// Which boxes one press fills: where it starts, and whether the focus box
// takes the whole code. Pure logic: window handles are plain numbers here.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vardix {

// Where the last fill went, to tell a press of the same code again from a
// press in a new place.
struct FillTrace {
    std::uintptr_t window = 0;
    std::uintptr_t firstBox = 0;
    std::uintptr_t lastBox = 0;
    std::string code;
};

// The box a press starts from. Pressed again with the focus still in the box
// where the last fill ended, the same code goes into the same boxes: starting
// from that box would put the first piece into the last box.
std::uintptr_t StartingBox(const FillTrace& last, std::uintptr_t window, std::uintptr_t focus, std::string_view code);

struct LoneBoxFacts {
    std::uint32_t boxDlgCode;   // WM_GETDLGCODE of the box the fill starts in
    bool nextAnswered;          // the next tab stop in the fill's direction answered WM_GETDLGCODE
    std::uint32_t nextDlgCode;  // its answer
    bool nextIsOther;           // there is a next tab stop, and it is not the box itself
    std::size_t codeLength;     // the whole code's characters
    std::size_t limit;          // EM_GETLIMITTEXT of the box
};

// Whether the box is the only one in the fill's direction and takes the whole
// code in one paste: its pieces would otherwise go onto a button, or into the
// same box one over the other. A box that is too short for the whole code is
// filled piece by piece, as the next box may only be enabled once it is full.
bool TakesWholeCode(const LoneBoxFacts& facts);

}  // namespace vardix
