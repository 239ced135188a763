#include <windows.h>

#include "winfx/app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    winfx::App* app = winfx::App::Current();
    return app ? app->Run(instance) : 1;
}
