#include "fill/fill_outcome.h"

namespace vardix {

FillEnd ClassifySendFailure(unsigned long lastError) {
    switch (lastError) {
    case kErrorAccessDenied:
        return FillEnd::AccessDenied;
    case kErrorInvalidWindowHandle:
        return FillEnd::TargetGone;
    case kErrorTimeout:
    case 0:
        return FillEnd::TimedOut;
    default:
        return FillEnd::SendFailed;
    }
}

bool AttachFailureEndsFill(unsigned long lastError) { return lastError == kErrorAccessDenied; }

}  // namespace vardix
