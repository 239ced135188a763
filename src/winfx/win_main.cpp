#include <windows.h>

#include "winfx/app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything loads a DLL: the elevated copy must never load one that
    // someone put beside vardix.exe. Windows' own DLLs come from System32.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    winfx::App* app = winfx::App::Current();
    return app ? app->Run(instance) : 1;
}
