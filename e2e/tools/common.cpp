#include "vtool.h"

#include <cstdio>
#include <cwchar>

namespace vtool {

Args::Args(int argc, wchar_t** argv, int first) {
    for (int i = first; i < argc; ++i) items_.emplace_back(argv[i]);
    used_.assign(items_.size(), false);
}

bool Args::Flag(std::wstring_view name) {
    bool found = false;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (!used_[i] && items_[i] == name) {
            used_[i] = true;
            found = true;
        }
    }
    return found;
}

std::vector<std::wstring> Args::Options(std::wstring_view name) {
    std::vector<std::wstring> values;
    for (size_t i = 0; i + 1 < items_.size(); ++i) {
        if (!used_[i] && items_[i] == name) {
            used_[i] = used_[i + 1] = true;
            values.push_back(items_[i + 1]);
            ++i;
        }
    }
    return values;
}

std::optional<std::wstring> Args::Option(std::wstring_view name) {
    auto values = Options(name);
    if (values.empty()) return std::nullopt;
    return values.back();
}

std::vector<std::wstring> Args::Positionals() {
    std::vector<std::wstring> values;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (!used_[i] && !(items_[i].size() > 2 && items_[i].starts_with(L"--"))) {
            used_[i] = true;
            values.push_back(items_[i]);
        }
    }
    return values;
}

bool Args::Seconds(std::wstring_view name, std::optional<double>& value) {
    auto text = Option(name);
    if (!text) return true;
    value = ParseSeconds(*text);
    if (!value) Usage("bad " + Narrow(name));
    return value.has_value();
}

bool Args::Number(std::wstring_view name, std::optional<unsigned long long>& value) {
    auto text = Option(name);
    if (!text) return true;
    value = ParseNumber(*text);
    if (!value) Usage("bad " + Narrow(name));
    return value.has_value();
}

bool Args::AllUsed(const wchar_t* command) {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (!used_[i]) {
            Usage(Narrow(command) + ": unexpected argument '" + Narrow(items_[i]) + "'");
            return false;
        }
    }
    return true;
}

std::string Hex(const void* data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 0xF]);
    }
    return out;
}

static int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool ParseHex(std::wstring_view text, std::vector<unsigned char>& out) {
    out.clear();
    if (text.size() % 2 != 0) return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = HexDigit(text[i]);
        int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        out.push_back(static_cast<unsigned char>(high * 16 + low));
    }
    return true;
}

std::optional<unsigned long long> ParseNumber(std::wstring_view text) {
    if (text.empty()) return std::nullopt;
    std::wstring copy(text);
    wchar_t* end = nullptr;
    unsigned long long value = std::wcstoull(copy.c_str(), &end, 0);
    if (end == copy.c_str() || *end != L'\0') return std::nullopt;
    return value;
}

std::optional<double> ParseSeconds(std::wstring_view text) {
    std::wstring copy(text);
    wchar_t* end = nullptr;
    double value = std::wcstod(copy.c_str(), &end);
    if (copy.empty() || *end != L'\0' || value < 0) return std::nullopt;
    return value;
}

std::wstring FromUtf8(std::string_view text) {
    if (text.empty()) return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::string Narrow(std::wstring_view ascii) {
    std::string out;
    for (wchar_t c : ascii) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

namespace {
struct Alias {
    const wchar_t* name;
    const wchar_t* text;
};
const Alias kAliases[] = {
    {L"@vardix-main", kVardixMainCaption},
    {L"@vardix", L"vardix"},
};
}  // namespace

std::optional<std::wstring> TextArg(std::wstring_view arg) {
    if (arg.starts_with(L"hex:")) {
        std::vector<unsigned char> bytes;
        if (!ParseHex(arg.substr(4), bytes)) return std::nullopt;
        return FromUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    if (arg.starts_with(L"@")) {
        for (const auto& alias : kAliases) {
            if (arg == alias.name) return std::wstring(alias.text);
        }
        return std::nullopt;
    }
    return std::wstring(arg);
}

std::string JStrA(std::string_view ascii) {
    std::wstring wide;
    for (char c : ascii) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return JStr(wide);
}

std::string JStr(std::wstring_view text) {
    std::string out = "\"";
    char buf[8];
    for (wchar_t c : text) {
        if (c == L'"') {
            out += "\\\"";
        } else if (c == L'\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
            out += buf;
        }
    }
    out += "\"";
    return out;
}

std::string JHandle(unsigned long long value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "\"0x%llx\"", value);
    return buf;
}

std::string JHandle(const void* handle) {
    return JHandle(static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
}

std::string JBool(bool value) { return value ? "true" : "false"; }

JObj& JObj::Add(const char* key, const std::string& json) {
    if (!body_.empty()) body_ += ",";
    body_ += JStrA(key) + ":" + json;
    return *this;
}

JObj& JObj::Add(const char* key, long long value) { return Add(key, std::to_string(value)); }

std::string JArr(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += ",";
        out += items[i];
    }
    return out + "]";
}

void Emit(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int Fail(const std::string& message, int code) {
    std::fprintf(stderr, "vtool: %s (error %lu)\n", message.c_str(), GetLastError());
    std::fflush(stderr);
    return code;
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "vtool: %s\n", message.c_str());
    std::fflush(stderr);
    return kExitUsage;
}

Deadline::Deadline(double seconds) : end_(GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000.0)) {}

bool Deadline::Passed() const { return GetTickCount64() >= end_; }

void PumpFor(DWORD ms) {
    ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

bool ReadWindowQuery(Args& args, WindowQuery& query, std::string& error) {
    if (auto caption = args.Option(L"--caption")) {
        query.caption = TextArg(*caption);
        if (!query.caption) {
            error = "bad --caption (use ASCII, hex:<utf8 hex> or an @alias)";
            return false;
        }
    }
    if (auto cls = args.Option(L"--class")) query.className = *cls;
    if (auto pid = args.Option(L"--pid")) {
        auto value = ParseNumber(*pid);
        if (!value) {
            error = "bad --pid";
            return false;
        }
        query.pid = static_cast<DWORD>(*value);
    }
    if (auto hwnd = args.Option(L"--hwnd")) {
        auto value = ParseNumber(*hwnd);
        if (!value) {
            error = "bad --hwnd";
            return false;
        }
        query.hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(*value));
    }
    if (!query.caption && !query.className && !query.pid && !query.hwnd) {
        error = "give --caption, --class, --pid or --hwnd";
        return false;
    }
    return true;
}

namespace {
struct EnumState {
    const WindowQuery* query;
    std::vector<HWND> found;
};

bool Matches(HWND hwnd, const WindowQuery& query) {
    if (query.hwnd && hwnd != *query.hwnd) return false;
    if (query.pid) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid != *query.pid) return false;
    }
    if (query.className && ClassName(hwnd) != *query.className) return false;
    if (query.caption && WindowText(hwnd) != *query.caption) return false;
    return true;
}

BOOL CALLBACK EnumTop(HWND hwnd, LPARAM param) {
    auto* state = reinterpret_cast<EnumState*>(param);
    if (Matches(hwnd, *state->query)) state->found.push_back(hwnd);
    return TRUE;
}
}  // namespace

std::vector<HWND> FindTopLevel(const WindowQuery& query) {
    if (query.hwnd) {
        if (IsWindow(*query.hwnd) && Matches(*query.hwnd, query)) return {*query.hwnd};
        return {};
    }
    EnumState state{&query, {}};
    EnumWindows(EnumTop, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

std::wstring WindowText(HWND hwnd, bool* hung) {
    if (hung) *hung = false;
    DWORD_PTR length = 0;
    // Another process's window may be the hung target of a test: never block on it.
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
        if (hung) *hung = true;
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                             reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 2000, &copied)) {
        if (hung) *hung = true;
        return {};
    }
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::wstring ClassName(HWND hwnd) {
    wchar_t name[256] = {};
    int length = GetClassNameW(hwnd, name, 256);
    return std::wstring(name, static_cast<size_t>(length > 0 ? length : 0));
}

unsigned long long X11Window(HWND hwnd) {
    return static_cast<unsigned long long>(
        reinterpret_cast<uintptr_t>(GetPropW(hwnd, L"__wine_x11_whole_window")));
}

}  // namespace vtool
