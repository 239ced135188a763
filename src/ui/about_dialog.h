#pragma once

#include "winfx/dialog.h"

namespace vardix {

// The About box: icon, version line and OK; reads and writes nothing.
class AboutDialog : public winfx::Dialog {
public:
    AboutDialog();
};

}  // namespace vardix
