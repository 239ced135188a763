#pragma once
// What this process is: its executable and the rights it runs with.

#include <optional>
#include <string>

namespace winfx {

// The executable's full path, however long; empty when Windows cannot say.
std::wstring ModulePath();

// The final path of a file, as GetFinalPathNameByHandle gives it
// (`\\?\X:\...`): junctions, links and substituted drives resolved; empty
// when it cannot be opened.
std::wstring FinalPath(const std::wstring& path);

// The process runs with an administrator's full rights (UAC elevated).
bool IsElevated();

// The integrity level of a process (its token's mandatory label, as a
// relative id: 0x2000 medium, 0x3000 high); none when its token cannot be
// read.
std::optional<unsigned long> IntegrityLevel(unsigned long processId);

// Windows redirects this process's writes to HKLM\SOFTWARE into the user's
// VirtualStore, where nobody else looks (a 32-bit program without a manifest
// under UAC).
bool IsRegistryVirtualised();

// The rights this process's user has to a file or folder (FILE_* bits), by
// an access check against the process's own token; none when the check
// cannot be made.
std::optional<unsigned long> UserAccess(const std::wstring& path);

}  // namespace winfx
