#include "fill/fill_plan.h"

#include <algorithm>
#include <utility>

#include "fill/fill_route.h"

namespace vardix {

namespace {

bool Empty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

// On one row: their heights overlap by at least half of the smaller one.
bool SameRow(const Rect& a, const Rect& b) {
    const long overlap = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return 2 * overlap >= std::min(a.bottom - a.top, b.bottom - b.top);
}

// How far along its row a window begins, in the way the dialog is read.
long Along(const Rect& r, bool rtl) { return rtl ? -r.right : r.left; }

// Twice the height of the middle, so that no half is lost.
long Middle(const Rect& r) { return r.top + r.bottom; }

// Whether `c` comes after `box` as the user reads; none where the screen
// cannot tell.
std::optional<bool> After(const Rect& box, const Rect& c, bool rtl) {
    if (Empty(box) || Empty(c)) return std::nullopt;
    if (SameRow(box, c)) return Along(c, rtl) > Along(box, rtl);
    return Middle(c) > Middle(box);
}

// Whether `a` is nearer to `box` than `b`, both after it: a box on the same
// row before one on a lower row, a nearer row before a further one, then the
// one further back along its row.
bool Nearer(const Rect& box, const Rect& a, const Rect& b, bool rtl) {
    const bool aSame = SameRow(box, a);
    if (aSame != SameRow(box, b)) return aSame;
    if (!aSame && !SameRow(a, b)) return Middle(a) < Middle(b);
    return Along(a, rtl) < Along(b, rtl);
}

}  // namespace

std::uintptr_t StartingBox(const FillTrace& last, std::uintptr_t window, std::uintptr_t focus, std::string_view code) {
    const bool again = last.firstBox != 0 && focus == last.lastBox && window == last.window && code == last.code;
    return again ? last.firstBox : focus;
}

Step NextBox(const StepFacts& facts, const DlgCodeOf& dlgCodeOf) {
    const auto of = [&](Step way) -> const Candidate& { return way == Step::Forward ? facts.forward : facts.backward; };
    const auto after = [&](Step way) {
        return of(way).present ? After(facts.box, of(way).rect, facts.rtl) : std::optional<bool>(false);
    };
    // Where both are equally near or the screen cannot tell, the class name
    // guesses: frameworks give their boxes the reverse of the order they were
    // made in, a dialog's own Edit boxes keep it.
    Step first = facts.editClass ? Step::Forward : Step::Backward;
    Step second = facts.editClass ? Step::Backward : Step::Forward;
    if (after(first) == true && after(second) == true && Nearer(facts.box, of(second).rect, of(first).rect, facts.rtl))
        std::swap(first, second);
    for (const Step way : {first, second}) {
        if (after(way) == false) continue;
        const std::optional<std::uint32_t> code = dlgCodeOf(way);
        if (code && (*code & kDlgcHasSetSel) != 0) return way;
    }
    return Step::Nowhere;
}

bool TakesWholeCode(std::optional<std::uint32_t> boxDlgCode, std::size_t codeLength, std::size_t limit) {
    return boxDlgCode && (*boxDlgCode & kDlgcHasSetSel) != 0 && codeLength <= limit;
}

}  // namespace vardix
