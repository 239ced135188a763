#pragma once
// Functions that only some Windows versions have, looked up at run time.

#include <windows.h>

namespace winfx {

// `name` in `module`, as the pointer type `Function`; null where the module
// or this version of Windows lacks it.
template <typename Function>
Function FindFunction(HMODULE module, const char* name) {
    const FARPROC found = module ? ::GetProcAddress(module, name) : nullptr;
    // Through a plain function pointer: casting FARPROC to another function
    // type directly draws a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// A function of user32.dll, which every GUI program has loaded.
template <typename Function>
Function FindUser32Function(const char* name) {
    return FindFunction<Function>(::GetModuleHandleW(L"user32.dll"), name);
}

}  // namespace winfx
