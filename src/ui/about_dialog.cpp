#include "ui/about_dialog.h"

#include "res/resource.h"

namespace vardix {

AboutDialog::AboutDialog() : winfx::Dialog(IDD_ABOUTBOX) {}

}  // namespace vardix
