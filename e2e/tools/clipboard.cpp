#include "vtool.h"

#include <cstring>

namespace vtool {
namespace {

struct NamedFormat {
    UINT id;
    const wchar_t* name;
};
const NamedFormat kNamedFormats[] = {
    {CF_TEXT, L"CF_TEXT"},
    {CF_BITMAP, L"CF_BITMAP"},
    {CF_METAFILEPICT, L"CF_METAFILEPICT"},
    {CF_OEMTEXT, L"CF_OEMTEXT"},
    {CF_DIB, L"CF_DIB"},
    {CF_PALETTE, L"CF_PALETTE"},
    {CF_UNICODETEXT, L"CF_UNICODETEXT"},
    {CF_ENHMETAFILE, L"CF_ENHMETAFILE"},
    {CF_HDROP, L"CF_HDROP"},
    {CF_LOCALE, L"CF_LOCALE"},
    {CF_DIBV5, L"CF_DIBV5"},
};

}  // namespace

std::optional<UINT> FormatId(const std::wstring& name) {
    for (const auto& format : kNamedFormats) {
        if (name == format.name) return format.id;
    }
    if (auto number = ParseNumber(name)) return static_cast<UINT>(*number);
    if (name.empty()) return std::nullopt;
    UINT id = RegisterClipboardFormatW(name.c_str());
    if (id == 0) return std::nullopt;
    return id;
}

std::wstring FormatName(UINT id) {
    for (const auto& format : kNamedFormats) {
        if (id == format.id) return format.name;
    }
    wchar_t name[256] = {};
    int length = GetClipboardFormatNameW(id, name, 256);
    if (length > 0) return std::wstring(name, static_cast<size_t>(length));
    return L"#" + std::to_wstring(id);
}

// Another process (the program under test, or a hog of our own) may hold the
// clipboard for a moment; a test helper must not fail on that.
bool OpenClipboardPatiently(HWND owner, DWORD timeoutMs) {
    ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (OpenClipboard(owner)) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(5);
    }
}

HWND MessageWindow() {
    return CreateWindowExW(0, L"STATIC", L"vtool", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

namespace {

// Registered only by the commands that look for it: registering it in every
// helper run would put the name in the atom table before the program under
// test does.
UINT ExcludeFormat() {
    static const UINT id = RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing");
    return id;
}

std::vector<std::string> FormatList() {
    std::vector<std::string> items;
    for (UINT id = EnumClipboardFormats(0); id != 0; id = EnumClipboardFormats(id)) {
        items.push_back(JObj().Add("id", id).Add("name", JStr(FormatName(id))).Str());
    }
    return items;
}

std::string TextHex(UINT format) {
    HANDLE data = GetClipboardData(format);
    if (!data) return "null";
    const auto* bytes = static_cast<const char*>(GlobalLock(data));
    if (!bytes) return "null";
    size_t size = GlobalSize(data);
    size_t length = strnlen(bytes, size);
    std::string hex = JStrA(Hex(bytes, length));
    GlobalUnlock(data);
    return hex;
}

}  // namespace

int CmdClipGet(Args& args) {
    auto names = args.Positionals();
    if (!args.AllUsed(L"clip-get")) return kExitUsage;
    if (names.size() != 1) return Usage("clip-get: give one format");
    auto id = FormatId(names[0]);
    if (!id) return Usage("clip-get: unknown format");

    if (!OpenClipboardPatiently(nullptr)) return Fail("OpenClipboard");
    HANDLE data = GetClipboardData(*id);
    if (!data) {
        CloseClipboard();
        Emit(JObj().Add("format", *id).Add("present", JBool(false)).Str());
        return kExitNotFound;
    }
    size_t size = GlobalSize(data);
    const auto* bytes = static_cast<const unsigned char*>(GlobalLock(data));
    if (!bytes) {
        CloseClipboard();
        return Fail("GlobalLock (not a memory format?)");
    }
    size_t length = size;
    if (*id == CF_TEXT || *id == CF_OEMTEXT) {
        length = strnlen(reinterpret_cast<const char*>(bytes), size);
    } else if (*id == CF_UNICODETEXT) {
        length = 0;
        while (length + 1 < size && (bytes[length] != 0 || bytes[length + 1] != 0)) length += 2;
    }
    std::string hex = Hex(bytes, length);
    GlobalUnlock(data);
    CloseClipboard();
    Emit(JObj()
             .Add("format", *id)
             .Add("present", JBool(true))
             .Add("size", static_cast<long long>(size))
             .Add("hex", JStrA(hex))
             .Str());
    return kExitOk;
}

int CmdClipFormats(Args& args) {
    if (!args.AllUsed(L"clip-formats")) return kExitUsage;
    if (!OpenClipboardPatiently(nullptr)) return Fail("OpenClipboard");
    auto formats = FormatList();
    CloseClipboard();
    HWND owner = GetClipboardOwner();
    DWORD ownerPid = 0;
    if (owner) GetWindowThreadProcessId(owner, &ownerPid);
    Emit(JObj()
             .Add("seq", GetClipboardSequenceNumber())
             .Add("owner", JHandle(owner))
             .Add("owner_pid", ownerPid)
             .Add("formats", JArr(formats))
             .Str());
    return kExitOk;
}

namespace {

struct ListenOptions {
    bool hog = false;
    DWORD holdMs = 30;
    unsigned long updates = 0;
};
ListenOptions* g_listen = nullptr;

LRESULT CALLBACK ListenProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLIPBOARDUPDATE && g_listen) {
        ++g_listen->updates;
        DWORD seq = GetClipboardSequenceNumber();
        if (g_listen->hog) {
            bool opened = OpenClipboardPatiently(hwnd, 1000);
            if (opened) {
                Sleep(g_listen->holdMs);
                CloseClipboard();
            }
            Emit(JObj().Add("event", JStrA("held")).Add("seq", seq).Add("opened", JBool(opened)).Str());
            return 0;
        }
        bool excluded = IsClipboardFormatAvailable(ExcludeFormat()) != FALSE;
        HWND owner = GetClipboardOwner();
        DWORD ownerPid = 0;
        if (owner) GetWindowThreadProcessId(owner, &ownerPid);
        JObj line;
        line.Add("event", JStrA("update"))
            .Add("ms", static_cast<long long>(GetTickCount64()))
            .Add("seq", seq)
            .Add("excluded", JBool(excluded))
            .Add("owner", JHandle(owner))
            .Add("owner_pid", ownerPid);
        // A well-behaved clipboard monitor leaves excluded content alone.
        if (!excluded) {
            if (OpenClipboardPatiently(hwnd, 1000)) {
                line.Add("formats", JArr(FormatList()));
                line.Add("text_hex", IsClipboardFormatAvailable(CF_TEXT) ? TextHex(CF_TEXT) : "null");
                CloseClipboard();
            } else {
                line.Add("open_failed", JBool(true));
            }
        }
        Emit(line.Str());
        return 0;
    }
    if (msg == WM_TIMER) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

int Listen(ListenOptions& options, std::optional<double> seconds) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ListenProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VtoolClipboardListener";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
    if (!hwnd) return Fail("CreateWindow");
    g_listen = &options;
    if (!AddClipboardFormatListener(hwnd)) return Fail("AddClipboardFormatListener");
    if (seconds) SetTimer(hwnd, 1, static_cast<UINT>(*seconds * 1000.0), nullptr);
    Emit(JObj()
             .Add("event", JStrA(options.hog ? "hogging" : "listening"))
             .Add("pid", GetCurrentProcessId())
             .Add("seq", GetClipboardSequenceNumber())
             .Str());
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    RemoveClipboardFormatListener(hwnd);
    Emit(JObj().Add("event", JStrA("done")).Add("updates", options.updates).Str());
    return kExitOk;
}

}  // namespace

int CmdClipListen(Args& args) {
    ListenOptions options;
    std::optional<double> seconds;
    if (!args.Seconds(L"--seconds", seconds) || !args.AllUsed(L"clip-listen")) return kExitUsage;
    return Listen(options, seconds);
}

int CmdClipHog(Args& args) {
    ListenOptions options;
    options.hog = true;
    std::optional<unsigned long long> holdMs;
    std::optional<double> seconds;
    if (!args.Number(L"--hold-ms", holdMs) || !args.Seconds(L"--seconds", seconds) || !args.AllUsed(L"clip-hog"))
        return kExitUsage;
    options.holdMs = static_cast<DWORD>(holdMs.value_or(options.holdMs));
    return Listen(options, seconds);
}

}  // namespace vtool
