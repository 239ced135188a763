#include "fill/fill_plan.h"

#include "fill/fill_route.h"

namespace vardix {

std::uintptr_t StartingBox(const FillTrace& last, std::uintptr_t window, std::uintptr_t focus, std::string_view code) {
    const bool again = last.firstBox != 0 && focus == last.lastBox && window == last.window && code == last.code;
    return again ? last.firstBox : focus;
}

bool TakesWholeCode(const LoneBoxFacts& facts) {
    if ((facts.boxDlgCode & kDlgcHasSetSel) == 0) return false;
    // A next tab stop that does not say what it is may be a box: the pieces.
    if (facts.nextIsOther && (!facts.nextAnswered || (facts.nextDlgCode & kDlgcHasSetSel) != 0)) return false;
    return facts.codeLength <= facts.limit;
}

}  // namespace vardix
