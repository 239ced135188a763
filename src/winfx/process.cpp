#include "winfx/process.h"

#include <windows.h>

#include <vector>

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

std::optional<unsigned long> TokenIntegrityLevelOf(HANDLE process) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &token)) return std::nullopt;
    const KernelHandle owner(token);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    if (size < sizeof(TOKEN_MANDATORY_LABEL)) return std::nullopt;
    std::vector<unsigned char> buffer(size);
    if (!::GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size)) return std::nullopt;
    const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
    if (!::IsValidSid(sid) || *::GetSidSubAuthorityCount(sid) == 0) return std::nullopt;
    return *::GetSidSubAuthority(sid, static_cast<DWORD>(*::GetSidSubAuthorityCount(sid) - 1));
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

std::wstring FinalPath(const std::wstring& path) {
    // No access asked: the name is all that is wanted, and nobody is kept
    // from the file meanwhile.
    const FileHandle file(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return {};
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(file.get(), final.data(), static_cast<DWORD>(final.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < final.size()) {
            final.resize(length);
            return final;
        }
        final.resize(length);
    }
}

bool IsElevated() { return TokenFlag(TokenElevation); }

std::optional<unsigned long> IntegrityLevel(unsigned long processId) {
    if (processId == ::GetCurrentProcessId()) return TokenIntegrityLevelOf(::GetCurrentProcess());
    // The least access there is; still refused for an elevated process of
    // another account.
    const KernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return std::nullopt;
    return TokenIntegrityLevelOf(process.get());
}

bool IsRegistryVirtualised() { return TokenFlag(TokenVirtualizationEnabled); }

std::optional<unsigned long> UserAccess(const std::wstring& path) {
    const SECURITY_INFORMATION parts =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    ::GetFileSecurityW(path.c_str(), parts, nullptr, 0, &size);
    if (size == 0) return std::nullopt;
    std::vector<unsigned char> descriptor(size);
    if (!::GetFileSecurityW(path.c_str(), parts, descriptor.data(), size, &size)) return std::nullopt;
    // AccessCheck wants an impersonation token. Unelevated, an administrator's
    // token is the filtered one: the rights any of the user's programs have.
    HANDLE own = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &own)) return std::nullopt;
    const KernelHandle ownOwner(own);
    HANDLE token = nullptr;
    if (!::DuplicateToken(own, SecurityIdentification, &token)) return std::nullopt;
    const KernelHandle tokenOwner(token);
    GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    PRIVILEGE_SET privileges{};
    DWORD privilegesSize = sizeof privileges;
    DWORD granted = 0;
    BOOL status = FALSE;
    if (!::AccessCheck(descriptor.data(), token, MAXIMUM_ALLOWED, &mapping, &privileges, &privilegesSize, &granted,
                       &status))
        return std::nullopt;
    return status ? granted : 0;
}

}  // namespace winfx
