#include "winfx/process.h"

#include <windows.h>

#include "winfx/handles.h"

namespace winfx {

namespace {

// Both answers are one DWORD: TOKEN_ELEVATION holds nothing else.
bool TokenFlag(TOKEN_INFORMATION_CLASS what) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    const KernelHandle owner(token);
    DWORD value = 0;
    DWORD size = 0;
    return ::GetTokenInformation(token, what, &value, sizeof value, &size) && value != 0;
}

}  // namespace

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

bool IsElevated() { return TokenFlag(TokenElevation); }

bool IsRegistryVirtualised() { return TokenFlag(TokenVirtualizationEnabled); }

}  // namespace winfx
