#pragma once

#include "winfx/app.h"

namespace vardix {

// Starts the program: either runs the main dialog, or reveals the instance
// that is already running and ends.
class FillerApp : public winfx::App {
public:
    FillerApp();
    ~FillerApp() override;

    BOOL m_bRunMinimized;

protected:
    BOOL InitInstance() override;
};

}  // namespace vardix
