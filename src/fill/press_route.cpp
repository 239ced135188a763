#include "fill/press_route.h"

namespace vardix {

PressRoute ChoosePressRoute(const PressFacts& facts) {
    // Before the rights: a consent prompt for a press that can fill nothing
    // would be asked for in vain.
    if (!facts.code || IsTerminalClass(facts.foregroundClass) || IsTerminalClass(facts.focusClass))
        return PressRoute::Nothing;
    if (facts.refusedForRights) return facts.copyProtected ? PressRoute::Elevated : PressRoute::NotElevated;
    switch (facts.way) {
    case FillWay::Type:
        return PressRoute::Type;
    case FillWay::Paste:
        return PressRoute::Paste;
    case FillWay::Nothing:
        break;
    }
    return PressRoute::Nothing;
}

bool MayElevate(const ExeFacts& facts) {
    return facts.checked && !facts.writeExe && !facts.deleteExe && !facts.addToFolder && !facts.replaceFolder;
}

}  // namespace vardix
