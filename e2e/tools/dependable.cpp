// Helper commands for the tests that check the fill never loses the user's
// clipboard: a clipboard as rich as a real application leaves it (Unicode
// text, HTML, rich text, a picture, megabytes of text), an exact record of
// every format on it, and a probe of whether the program's message loop runs.

#include "vtool.h"

#include <cstdio>
#include <cstring>

namespace vtool {
namespace {

// Whose handle is something other than a global memory block; reading those
// as memory would be reading garbage.
bool IsHandleFormat(UINT id) {
    switch (id) {
    case CF_BITMAP:
    case CF_METAFILEPICT:
    case CF_PALETTE:
    case CF_ENHMETAFILE:
    case CF_OWNERDISPLAY:
    case CF_DSPBITMAP:
    case CF_DSPMETAFILEPICT:
    case CF_DSPENHMETAFILE:
        return true;
    default:
        return (id >= CF_PRIVATEFIRST && id <= CF_PRIVATELAST) || (id >= CF_GDIOBJFIRST && id <= CF_GDIOBJLAST);
    }
}

// 64-bit FNV-1a: megabytes of clipboard text are compared by digest, not
// shipped through the console as hex.
std::string Digest(const unsigned char* bytes, size_t size) {
    unsigned long long hash = 14695981039346656037ull;
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", hash);
    return text;
}

bool ReadFileBytes(const std::wstring& path, std::vector<unsigned char>& out) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) != FALSE && size.QuadPart < 0x40000000;
    if (ok) {
        out.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = out.empty() || (ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &read, nullptr) &&
                             read == out.size());
    }
    CloseHandle(file);
    return ok;
}

// A small picture as a drawing program would copy it: a few GDI records and
// a description, so that its bits are not trivially the same as any other.
HENHMETAFILE DrawPicture() {
    RECT frame{0, 0, 2000, 1000};  // in 0.01 mm
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, &frame, L"vtool\0picture\0");
    if (!dc) return nullptr;
    HBRUSH brush = CreateSolidBrush(RGB(0x20, 0x80, 0xC0));
    HGDIOBJ old = SelectObject(dc, brush);
    Rectangle(dc, 5, 5, 60, 30);
    Ellipse(dc, 20, 10, 70, 35);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 75, 38);
    SelectObject(dc, old);
    DeleteObject(brush);
    return CloseEnhMetaFile(dc);
}

std::string DescribeFormat(UINT id, size_t hexLimit) {
    JObj entry;
    entry.Add("id", id).Add("name", JStr(FormatName(id)));
    HANDLE data = GetClipboardData(id);
    if (!data) return entry.Add("kind", JStrA("unavailable")).Str();
    std::vector<unsigned char> bytes;
    if (id == CF_ENHMETAFILE) {
        auto metafile = static_cast<HENHMETAFILE>(data);
        UINT size = GetEnhMetaFileBits(metafile, 0, nullptr);
        bytes.resize(size);
        if (size == 0 || GetEnhMetaFileBits(metafile, size, bytes.data()) != size)
            return entry.Add("kind", JStrA("unreadable")).Str();
        entry.Add("kind", JStrA("emf"));
    } else if (IsHandleFormat(id)) {
        return entry.Add("kind", JStrA("handle")).Str();
    } else {
        const void* locked = GlobalLock(data);
        if (!locked) return entry.Add("kind", JStrA("unreadable")).Str();
        const auto* begin = static_cast<const unsigned char*>(locked);
        bytes.assign(begin, begin + GlobalSize(data));
        GlobalUnlock(data);
        entry.Add("kind", JStrA("memory"));
    }
    entry.Add("size", static_cast<long long>(bytes.size())).Add("digest", JStrA(Digest(bytes.data(), bytes.size())));
    if (bytes.size() <= hexLimit) entry.Add("hex", JStrA(Hex(bytes.data(), bytes.size())));
    return entry.Str();
}

}  // namespace

int CmdClipPut(Args& args) {
    bool picture = args.Flag(L"--emf");
    struct Item {
        UINT id;
        std::vector<unsigned char> bytes;
    };
    std::vector<Item> items;
    for (const auto& arg : args.Positionals()) {
        size_t eq = arg.rfind(L'=');
        if (eq == std::wstring::npos) return Usage("clip-put: expected FMT=HEX or FMT=file:PATH");
        auto id = FormatId(arg.substr(0, eq));
        if (!id) return Usage("clip-put: unknown format '" + Narrow(arg.substr(0, eq)) + "'");
        Item item{*id, {}};
        std::wstring_view value = std::wstring_view(arg).substr(eq + 1);
        if (value.starts_with(L"file:")) {
            // Taken as is, terminator included: a command line cannot carry megabytes.
            if (!ReadFileBytes(std::wstring(value.substr(5)), item.bytes))
                return Fail("clip-put: cannot read " + Narrow(value.substr(5)));
        } else {
            if (!ParseHex(value, item.bytes)) return Usage("clip-put: bad hex");
            if (item.id == CF_TEXT || item.id == CF_OEMTEXT) item.bytes.push_back(0);
            if (item.id == CF_UNICODETEXT) item.bytes.insert(item.bytes.end(), {0, 0});
        }
        items.push_back(std::move(item));
    }
    if (!args.AllUsed(L"clip-put")) return kExitUsage;
    if (items.empty() && !picture) return Usage("clip-put: nothing to put");

    HWND owner = MessageWindow();
    if (!OpenClipboardPatiently(owner)) return Fail("OpenClipboard");
    auto fail = [&](const std::string& what) {
        CloseClipboard();
        DestroyWindow(owner);
        return Fail(what);
    };
    if (!EmptyClipboard()) return fail("EmptyClipboard");
    for (const auto& item : items) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, item.bytes.empty() ? 1 : item.bytes.size());
        if (!memory) return fail("GlobalAlloc");
        if (!item.bytes.empty()) std::memcpy(GlobalLock(memory), item.bytes.data(), item.bytes.size());
        GlobalUnlock(memory);
        if (!SetClipboardData(item.id, memory)) {
            GlobalFree(memory);
            return fail("SetClipboardData " + Narrow(FormatName(item.id)));
        }
    }
    if (picture) {
        HENHMETAFILE metafile = DrawPicture();
        if (!metafile) return fail("CreateEnhMetaFile");
        if (!SetClipboardData(CF_ENHMETAFILE, metafile)) {
            DeleteEnhMetaFile(metafile);
            return fail("SetClipboardData CF_ENHMETAFILE");
        }
    }
    CloseClipboard();
    DestroyWindow(owner);
    Emit(JObj().Add("seq", GetClipboardSequenceNumber()).Str());
    return kExitOk;
}

namespace {

// Bytes shown as hex up to this size; larger blocks go by digest alone.
constexpr size_t kHexLimit = 4096;

// One line with every format; `extra` goes in front of them, and how long
// ago `changedAt` was, when given, is taken at the last moment.
int DumpClipboard(size_t hexLimit, JObj extra, const ULONGLONG* changedAt = nullptr) {
    if (!OpenClipboardPatiently(nullptr)) {
        // Held by someone else all along: an answer, not a failure of ours.
        extra.Add("open_failed", JBool(true)).Add("seq", GetClipboardSequenceNumber()).Add("formats", "[]");
        Emit(extra.Str());
        return kExitNotFound;
    }
    std::vector<UINT> ids;
    for (UINT id = EnumClipboardFormats(0); id != 0; id = EnumClipboardFormats(id)) ids.push_back(id);
    std::vector<std::string> formats;
    for (UINT id : ids) formats.push_back(DescribeFormat(id, hexLimit));
    DWORD seq = GetClipboardSequenceNumber();
    CloseClipboard();
    if (changedAt) extra.Add("changed_ms_ago", static_cast<long long>(GetTickCount64() - *changedAt));
    Emit(extra.Add("seq", seq).Add("formats", JArr(formats)).Str());
    return kExitOk;
}

}  // namespace

int CmdClipDump(Args& args) {
    std::optional<unsigned long long> hexLimit;
    if (!args.Number(L"--hex-limit", hexLimit) || !args.AllUsed(L"clip-dump")) return kExitUsage;
    return DumpClipboard(static_cast<size_t>(hexLimit.value_or(kHexLimit)), JObj());
}

int CmdClipSettle(Args& args) {
    std::optional<unsigned long long> sinceSeq;
    std::optional<unsigned long long> quietMs;
    std::optional<double> seconds;
    if (!args.Number(L"--since", sinceSeq) || !args.Number(L"--quiet-ms", quietMs) || !args.Seconds(L"--wait", seconds) ||
        !args.AllUsed(L"clip-settle"))
        return kExitUsage;
    if (!sinceSeq) return Usage("clip-settle: --since SEQ is required");

    // Watching the sequence number needs no OpenClipboard: a watcher that
    // opened the clipboard while a fill runs would make a box's paste fail.
    DWORD seq = GetClipboardSequenceNumber();
    ULONGLONG changedAt = GetTickCount64();
    for (Deadline deadline(seconds.value_or(10));; Sleep(5)) {
        DWORD now = GetClipboardSequenceNumber();
        if (now != seq) {
            seq = now;
            changedAt = GetTickCount64();
        }
        bool settled = seq != static_cast<DWORD>(*sinceSeq) && GetTickCount64() - changedAt >= quietMs.value_or(300);
        if (settled || deadline.Passed()) {
            JObj extra;
            extra.Add("settled", JBool(settled));
            int code = DumpClipboard(kHexLimit, extra, &changedAt);
            return code == kExitOk && !settled ? kExitNotFound : code;
        }
    }
}

int CmdWaitHidden(Args& args) {
    std::optional<unsigned long long> command;
    std::optional<double> seconds;
    if (!args.Number(L"--post-command", command) || !args.Seconds(L"--wait", seconds)) return kExitUsage;
    int exitCode = kExitOk;
    HWND window = QueryWindow(args, L"wait-hidden", exitCode);
    if (!window) return exitCode;
    ULONGLONG start = GetTickCount64();
    if (command) {
        // Posted, not sent: a sent message is answered even by a thread stuck
        // in SendMessage, a posted one only by a running message loop.
        WPARAM wp = MAKEWPARAM(static_cast<WORD>(*command), BN_CLICKED);
        if (!PostMessageW(window, WM_COMMAND, wp, 0)) return Fail("PostMessage");
        Emit(JObj().Add("event", JStrA("posted")).Str());
    }
    for (Deadline deadline(seconds.value_or(10)); IsWindowVisible(window); Sleep(5)) {
        if (deadline.Passed()) {
            Emit(JObj().Add("event", JStrA("visible")).Add("ms", static_cast<long long>(GetTickCount64() - start)).Str());
            return kExitNotFound;
        }
    }
    Emit(JObj().Add("event", JStrA("hidden")).Add("ms", static_cast<long long>(GetTickCount64() - start)).Str());
    return kExitOk;
}

int CmdDesktop(Args& args) {
    if (!args.AllUsed(L"desktop")) return kExitUsage;
    DWORD desktopPid = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &desktopPid);
    // Wine's clipboard manager: a message-only window of the desktop process
    // that mirrors the clipboard to X. Only one runs at a time.
    std::vector<std::string> managers;
    for (HWND window = nullptr;
         (window = FindWindowExW(HWND_MESSAGE, window, L"__wine_clipboard_manager", nullptr)) != nullptr;) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        managers.push_back(JObj().Add("hwnd", JHandle(window)).Add("pid", pid).Str());
    }
    Emit(JObj().Add("desktop_pid", desktopPid).Add("clipboard_managers", JArr(managers)).Str());
    return kExitOk;
}

}  // namespace vtool
