#pragma once
// What this process is: its executable and the rights it runs with.

#include <string>

namespace winfx {

// The executable's full path, however long; empty when Windows cannot say.
std::wstring ModulePath();

// The process runs with an administrator's full rights (UAC elevated).
bool IsElevated();

// Windows redirects this process's writes to HKLM\SOFTWARE into the user's
// VirtualStore, where nobody else looks (a 32-bit program without a manifest
// under UAC).
bool IsRegistryVirtualised();

}  // namespace winfx
