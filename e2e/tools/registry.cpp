// The registry as the program under test sees it: exact value bytes and
// types, values of any size and type, and key security descriptors, so that a
// test can make a key refuse writes and put it back afterwards. `wine reg`
// cannot do any of this exactly: it prints values reformatted and knows
// nothing of security.

#include "vtool.h"

#include <sddl.h>

#include <utility>

namespace vtool {
namespace {

struct Root {
    const wchar_t* name;
    HKEY key;
};
const Root kRoots[] = {
    {L"HKLM", HKEY_LOCAL_MACHINE},
    {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {L"HKCU", HKEY_CURRENT_USER},
    {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
};

struct KeyPath {
    HKEY root = nullptr;
    std::wstring subkey;
};

std::optional<KeyPath> ParseKeyPath(const std::wstring& text) {
    const size_t slash = text.find(L'\\');
    const std::wstring head = text.substr(0, slash);
    for (const auto& root : kRoots) {
        if (_wcsicmp(head.c_str(), root.name) == 0) {
            return KeyPath{root.key, slash == std::wstring::npos ? std::wstring() : text.substr(slash + 1)};
        }
    }
    return std::nullopt;
}

struct NamedType {
    const wchar_t* name;
    DWORD type;
};
const NamedType kTypes[] = {
    {L"REG_NONE", REG_NONE},     {L"REG_SZ", REG_SZ},       {L"REG_EXPAND_SZ", REG_EXPAND_SZ},
    {L"REG_BINARY", REG_BINARY}, {L"REG_DWORD", REG_DWORD}, {L"REG_MULTI_SZ", REG_MULTI_SZ},
    {L"REG_QWORD", REG_QWORD},
};

std::optional<DWORD> ParseType(const std::wstring& text) {
    for (const auto& named : kTypes) {
        if (text == named.name) return named.type;
    }
    if (auto number = ParseNumber(text)) return static_cast<DWORD>(*number);
    return std::nullopt;
}

// A registry call's result code, with the error's name for the common ones so
// that a failing test reads at a glance.
std::string Status(LONG status) {
    const char* name = status == ERROR_SUCCESS         ? "ok"
                       : status == ERROR_ACCESS_DENIED ? "access denied"
                       : status == ERROR_FILE_NOT_FOUND ? "not found"
                                                        : nullptr;
    JObj out;
    out.Add("code", static_cast<long long>(status));
    if (name) out.Add("name", JStrA(name));
    return out.Str();
}

class OpenKey {
public:
    OpenKey() = default;
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    ~OpenKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY* put() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

std::string ValueJson(const std::wstring& name, DWORD type, const std::vector<unsigned char>& data) {
    return JObj()
        .Add("name", JStr(name))
        .Add("type", type)
        .Add("size", static_cast<long long>(data.size()))
        .Add("hex", JStrA(Hex(data.data(), data.size())))
        .Str();
}

// Reads a value whatever its size: a value may grow between the two calls.
LONG QueryValue(HKEY key, const std::wstring& name, DWORD& type, std::vector<unsigned char>& data) {
    for (;;) {
        DWORD size = 0;
        LONG status = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS) return status;
        data.assign(size, 0);
        status = RegQueryValueExW(key, name.c_str(), nullptr, &type, data.empty() ? nullptr : data.data(), &size);
        if (status == ERROR_MORE_DATA) continue;
        if (status == ERROR_SUCCESS) data.resize(size);
        return status;
    }
}

std::optional<KeyPath> KeyArgument(Args& args, const char* command, std::vector<std::wstring>& rest, size_t count) {
    rest = args.Positionals();
    if (rest.size() != count) {
        Usage(std::string(command) + ": wrong number of arguments");
        return std::nullopt;
    }
    auto path = ParseKeyPath(rest[0]);
    if (!path) Usage(std::string(command) + ": the key must start with HKLM\\ or HKCU\\");
    return path;
}

// The descriptor as SDDL, or JSON null when it cannot be read.
std::string SecurityString(HKEY key, SECURITY_INFORMATION what, LONG& status) {
    DWORD size = 0;
    status = RegGetKeySecurity(key, what, nullptr, &size);
    if (status != ERROR_INSUFFICIENT_BUFFER) return "null";
    std::vector<unsigned char> buffer(size);
    status = RegGetKeySecurity(key, what, buffer.data(), &size);
    if (status != ERROR_SUCCESS) return "null";
    LPWSTR text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(buffer.data(), SDDL_REVISION_1, what, &text, nullptr)) {
        status = static_cast<LONG>(GetLastError());
        return "null";
    }
    std::string json = JStr(text);
    LocalFree(text);
    return json;
}

// A key whose owner the test made someone else, with an empty DACL, grants
// this token nothing at all; taking ownership back is what an administrator
// does then, and needs the privilege switched on first.
bool EnablePrivilege(const wchar_t* name) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool ok = LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid) &&
              AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
              GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return ok;
}

}  // namespace

int CmdRegList(Args& args) {
    std::vector<std::wstring> rest;
    auto path = KeyArgument(args, "reg-list", rest, 1);
    if (!path) return kExitUsage;
    if (!args.AllUsed(L"reg-list")) return kExitUsage;
    OpenKey key;
    LONG status = RegOpenKeyExW(path->root, path->subkey.c_str(), 0, KEY_QUERY_VALUE, key.put());
    if (status != ERROR_SUCCESS) {
        Emit(JObj().Add("key", JBool(false)).Add("values", "[]").Add("status", Status(status)).Str());
        return kExitNotFound;
    }
    std::vector<std::string> values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD length = 16384;
        status = RegEnumValueW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) return Fail("RegEnumValueW " + std::to_string(status));
        const std::wstring valueName(name, length);
        DWORD type = 0;
        std::vector<unsigned char> data;
        status = QueryValue(key.get(), valueName, type, data);
        if (status != ERROR_SUCCESS) return Fail("RegQueryValueExW " + std::to_string(status));
        values.push_back(ValueJson(valueName, type, data));
    }
    Emit(JObj().Add("key", JBool(true)).Add("values", JArr(values)).Str());
    return kExitOk;
}

int CmdRegSet(Args& args) {
    std::vector<std::wstring> rest;
    auto path = KeyArgument(args, "reg-set", rest, 4);
    if (!path) return kExitUsage;
    if (!args.AllUsed(L"reg-set")) return kExitUsage;
    auto type = ParseType(rest[2]);
    if (!type) return Usage("reg-set: bad type (REG_DWORD, REG_QWORD, REG_BINARY, REG_SZ, ... or a number)");
    std::vector<unsigned char> data;
    if (!ParseHex(rest[3], data)) return Usage("reg-set: bad hex data");
    OpenKey key;
    LONG status = RegCreateKeyExW(path->root, path->subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                                  nullptr);
    if (status == ERROR_SUCCESS) {
        // Exactly these bytes: no terminator is added, whatever the type says.
        status = RegSetValueExW(key.get(), rest[1].c_str(), 0, *type, data.empty() ? nullptr : data.data(),
                                static_cast<DWORD>(data.size()));
    }
    Emit(JObj().Add("written", JBool(status == ERROR_SUCCESS)).Add("status", Status(status)).Str());
    return status == ERROR_SUCCESS ? kExitOk : kExitFailed;
}

int CmdRegDelete(Args& args) {
    std::vector<std::wstring> rest = args.Positionals();
    if (!args.AllUsed(L"reg-delete")) return kExitUsage;
    if (rest.empty() || rest.size() > 2) return Usage("reg-delete: give KEY [NAME]");
    auto path = ParseKeyPath(rest[0]);
    if (!path || path->subkey.empty()) return Usage("reg-delete: the key must be below HKLM\\ or HKCU\\");
    LONG status = ERROR_SUCCESS;
    if (rest.size() == 2) {
        OpenKey key;
        status = RegOpenKeyExW(path->root, path->subkey.c_str(), 0, KEY_SET_VALUE, key.put());
        if (status == ERROR_SUCCESS) status = RegDeleteValueW(key.get(), rest[1].c_str());
    } else {
        status = RegDeleteTreeW(path->root, path->subkey.c_str());
        if (status == ERROR_SUCCESS) status = RegDeleteKeyW(path->root, path->subkey.c_str());
    }
    // Gone already is as good as deleted.
    const bool gone = status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    Emit(JObj().Add("deleted", JBool(gone)).Add("status", Status(status)).Str());
    return gone ? kExitOk : kExitFailed;
}

int CmdRegSecurity(Args& args) {
    auto setText = args.Option(L"--set");
    std::vector<std::wstring> rest;
    auto path = KeyArgument(args, "reg-security", rest, 1);
    if (!path) return kExitUsage;
    if (!args.AllUsed(L"reg-security")) return kExitUsage;

    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_INFORMATION parts = 0;
    if (setText) {
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(setText->c_str(), SDDL_REVISION_1, &descriptor,
                                                                  nullptr)) {
            return Usage("reg-security: --set is not a security descriptor string");
        }
        // Only the parts the string names: an owner or group left out stays.
        PSID sid = nullptr;
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL acl = nullptr;
        if (GetSecurityDescriptorOwner(descriptor, &sid, &defaulted) && sid) parts |= OWNER_SECURITY_INFORMATION;
        if (GetSecurityDescriptorGroup(descriptor, &sid, &defaulted) && sid) parts |= GROUP_SECURITY_INFORMATION;
        if (GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) && present) {
            parts |= DACL_SECURITY_INFORMATION;
        }
    }
    const REGSAM access = READ_CONTROL | ((parts & DACL_SECURITY_INFORMATION) ? WRITE_DAC : 0) |
                          ((parts & (OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION)) ? WRITE_OWNER : 0);
    OpenKey key;
    LONG status = RegOpenKeyExW(path->root, path->subkey.c_str(), 0, access, key.put());
    if (status == ERROR_ACCESS_DENIED && (parts & OWNER_SECURITY_INFORMATION) &&
        EnablePrivilege(SE_TAKE_OWNERSHIP_NAME)) {
        status = RegOpenKeyExW(path->root, path->subkey.c_str(), 0, WRITE_OWNER, key.put());
        if (status == ERROR_SUCCESS) {
            // Owner first; as the owner again, the token may read and rewrite the rest.
            status = RegSetKeySecurity(key.get(), OWNER_SECURITY_INFORMATION, descriptor);
            RegCloseKey(std::exchange(*key.put(), nullptr));
            if (status == ERROR_SUCCESS) status = RegOpenKeyExW(path->root, path->subkey.c_str(), 0, access, key.put());
        }
    }
    if (status != ERROR_SUCCESS) {
        if (descriptor) LocalFree(descriptor);
        Emit(JObj().Add("key", JBool(false)).Add("status", Status(status)).Str());
        return status == ERROR_FILE_NOT_FOUND ? kExitNotFound : kExitFailed;
    }
    const SECURITY_INFORMATION all = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    JObj out;
    out.Add("key", JBool(true));
    out.Add("before", SecurityString(key.get(), all, status));
    if (descriptor) {
        status = RegSetKeySecurity(key.get(), parts, descriptor);
        LocalFree(descriptor);
        out.Add("set", Status(status));
        if (status != ERROR_SUCCESS) {
            Emit(out.Str());
            return kExitFailed;
        }
        out.Add("after", SecurityString(key.get(), all, status));
    }
    Emit(out.Str());
    return kExitOk;
}

// A link key in the place of KEY, pointing at TARGET: whoever opens KEY meets
// TARGET and its security instead. This is how a test puts a key that grants
// nothing at all where the program looks, yet can take it away again: the
// link itself stays deletable, while the target, once nothing may open it,
// cannot even be given back to its owner under Wine.
int CmdRegLink(Args& args) {
    std::vector<std::wstring> rest;
    auto path = KeyArgument(args, "reg-link", rest, 2);
    if (!path) return kExitUsage;
    if (!args.AllUsed(L"reg-link")) return kExitUsage;
    auto target = ParseKeyPath(rest[1]);
    if (!target || target->root != HKEY_LOCAL_MACHINE) return Usage("reg-link: the target must be below HKLM\\");
    const std::wstring link = L"\\Registry\\Machine\\" + target->subkey;
    OpenKey key;
    DWORD disposition = 0;
    LONG status = RegCreateKeyExW(path->root, path->subkey.c_str(), 0, nullptr, REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK,
                                  KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, key.put(), &disposition);
    if (status == ERROR_SUCCESS && disposition != REG_CREATED_NEW_KEY) status = ERROR_ALREADY_EXISTS;
    if (status == ERROR_SUCCESS) {
        // The link's target is counted in bytes and has no terminator.
        status = RegSetValueExW(key.get(), L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(link.data()),
                                static_cast<DWORD>(link.size() * sizeof(wchar_t)));
    }
    Emit(JObj().Add("linked", JBool(status == ERROR_SUCCESS)).Add("status", Status(status)).Str());
    return status == ERROR_SUCCESS ? kExitOk : kExitFailed;
}

int CmdRegUnlink(Args& args) {
    std::vector<std::wstring> rest;
    auto path = KeyArgument(args, "reg-unlink", rest, 1);
    if (!path) return kExitUsage;
    if (!args.AllUsed(L"reg-unlink")) return kExitUsage;
    using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);
    const auto ntDeleteKey =
        reinterpret_cast<NtDeleteKeyFn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    if (!ntDeleteKey) return Fail("NtDeleteKey not found");
    OpenKey key;
    // The link itself, not what it points at: RegDeleteKey would follow it.
    LONG status = RegOpenKeyExW(path->root, path->subkey.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE, key.put());
    if (status == ERROR_SUCCESS) {
        DWORD type = 0;
        std::vector<unsigned char> data;
        status = QueryValue(key.get(), L"SymbolicLinkValue", type, data);
        if (status != ERROR_SUCCESS || type != REG_LINK) {
            Emit(JObj().Add("unlinked", JBool(false)).Add("error", JStrA("not a link key")).Str());
            return kExitFailed;
        }
        status = ntDeleteKey(key.get()) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    }
    const bool gone = status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    Emit(JObj().Add("unlinked", JBool(gone)).Add("status", Status(status)).Str());
    return gone ? kExitOk : kExitFailed;
}

// What the program's own save would meet on this key right now, tried with the
// same calls: open or create it with RegCreateKeyW (the widest access the key
// grants), write a scratch value, delete it again.
int CmdRegProbe(Args& args) {
    std::vector<std::wstring> rest;
    auto path = KeyArgument(args, "reg-probe", rest, 1);
    if (!path) return kExitUsage;
    if (!args.AllUsed(L"reg-probe")) return kExitUsage;
    constexpr wchar_t kScratch[] = L"vtool probe";
    JObj out;
    OpenKey key;
    LONG status = RegCreateKeyW(path->root, path->subkey.c_str(), key.put());
    out.Add("create", Status(status));
    if (status == ERROR_SUCCESS) {
        const DWORD data = 0;
        status = RegSetValueExW(key.get(), kScratch, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
        out.Add("set", Status(status));
        // Tried also when the write failed: a refusal shows as 5, not as 2.
        out.Add("delete", Status(RegDeleteValueW(key.get(), kScratch)));
    }
    Emit(out.Str());
    return kExitOk;
}

}  // namespace vtool
