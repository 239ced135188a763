#pragma once
// Which boxes one press fills: where it starts, which box comes next as the
// user reads, and whether the focus box takes the whole code. Pure logic:
// window handles are plain numbers, rectangles plain structs here.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
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

// A window's place on the screen, as GetWindowRect gives it.
struct Rect {
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;
};

// The next tab stop one way from the box the fill is in.
struct Candidate {
    bool present = false;  // there is one, and it is neither that box nor one filled already
    Rect rect;
};

struct StepFacts {
    Rect box;        // the box the fill is in
    bool rtl;        // the dialog lays out right to left (WS_EX_LAYOUTRTL)
    bool editClass;  // the first box's class is exactly "Edit"
    Candidate forward;
    Candidate backward;
};

enum class Step { Forward, Backward, Nowhere };

// WM_GETDLGCODE's answer of the candidate that way; none where it did not
// answer in time.
using DlgCodeOf = std::function<std::optional<std::uint32_t>(Step)>;

// Which way the next piece goes: to a box that comes after the current one
// as the user reads, the nearer of the two. The tab order runs either way
// round in the dialogs of real frameworks, so only the screen can say. A
// candidate is asked what it is only when its place counts, the nearer one
// first: most steps cost one message.
Step NextBox(const StepFacts& facts, const DlgCodeOf& dlgCodeOf);

// Whether the box the fill starts in, with no box after it, takes the whole
// code in one paste: its pieces would otherwise go into it one over the
// other. A box too short for the whole code gets its pieces, as the next box
// may only come once it is full.
bool TakesWholeCode(std::optional<std::uint32_t> boxDlgCode, std::size_t codeLength, std::size_t limit);

}  // namespace vardix
