// What the tests of the program's own window need beyond looking at it from
// outside: its system menu, read from inside its process, and the spots on
// its frame where a user clicks to bring it to the front or to close it.

#include <algorithm>
#include <string>

#include "probe.h"
#include "vtool.h"

namespace vtool {
namespace {

std::wstring ProbePath() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, length);
    dir.erase(dir.find_last_of(L"\\/") + 1);
    return dir + kProbeDllName;
}

struct Reply {
    bool received = false;
    std::wstring text;
};
Reply g_reply;

LRESULT CALLBACK ReplyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data && data->dwData == kProbeSysMenuReply && data->lpData) {
            g_reply.text.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
            while (!g_reply.text.empty() && g_reply.text.back() == L'\0') g_reply.text.pop_back();
            g_reply.received = true;
            return TRUE;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos) return parts;
        start = end + 1;
    }
}

std::string ItemType(unsigned long long fType) {
    if (fType & MFT_SEPARATOR) return JStrA("separator");
    if (fType & MFT_BITMAP) return JStrA("bitmap");
    if (fType & MFT_OWNERDRAW) return JStrA("ownerdraw");
    return JStrA("string");
}

}  // namespace

int CmdSysMenu(Args& args) {
    int exitCode = kExitOk;
    HWND window = QueryWindow(args, L"sysmenu", exitCode);
    if (!window) return exitCode;

    HMODULE probe = LoadLibraryW(ProbePath().c_str());
    if (!probe) return Fail("LoadLibrary " + Narrow(ProbePath()));
    auto hookProc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe, kProbeHookProc)));
    if (!hookProc) return Fail("GetProcAddress");

    WNDCLASSW cls{};
    cls.lpfnWndProc = ReplyProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"VtoolProbeReply";
    RegisterClassW(&cls);
    HWND reply = CreateWindowExW(0, cls.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, cls.hInstance,
                                 nullptr);
    if (!reply) return Fail("CreateWindowEx");

    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, hookProc, probe, thread);
    if (!hook) return Fail("SetWindowsHookEx");
    const UINT probeMessage = RegisterWindowMessageW(kProbeSysMenuMessage);
    if (!PostMessageW(window, probeMessage, reinterpret_cast<WPARAM>(reply), 0)) {
        UnhookWindowsHookEx(hook);
        return Fail("PostMessage");
    }
    Deadline deadline(5.0);
    while (!g_reply.received && !deadline.Passed()) PumpFor(50);
    UnhookWindowsHookEx(hook);
    DestroyWindow(reply);
    if (!g_reply.received) {
        Emit(JObj().Add("found", JBool(true)).Add("answered", JBool(false)).Str());
        return Fail("the window's thread did not answer the probe (is it taking messages?)");
    }

    std::vector<std::string> items;
    for (const std::wstring& line : Split(g_reply.text, L'\n')) {
        if (line.empty()) continue;
        auto fields = Split(line, L'\t');
        if (fields.size() == 2 && fields[0] == L"error") {
            Emit(JObj().Add("found", JBool(true)).Add("answered", JBool(true)).Add("error", Narrow(fields[1])).Str());
            return kExitFailed;
        }
        if (fields.size() < 4) return Fail("garbled answer from the probe");
        auto fType = ParseNumber(fields[0]).value_or(0);
        std::wstring text = fields[3];
        for (size_t i = 4; i < fields.size(); ++i) text += L"\t" + fields[i];
        items.push_back(JObj()
                            .Add("index", static_cast<long long>(items.size()))
                            .Add("type", ItemType(fType))
                            .Add("ftype", static_cast<long long>(fType))
                            .Add("state", static_cast<long long>(ParseNumber(fields[1]).value_or(0)))
                            .Add("id", static_cast<long long>(ParseNumber(fields[2]).value_or(0)))
                            .Add("text", JStr(text))
                            .Str());
    }
    Emit(JObj()
             .Add("found", JBool(true))
             .Add("answered", JBool(true))
             .Add("hwnd", JHandle(window))
             .Add("items", JArr(items))
             .Str());
    return kExitOk;
}

int CmdFramePoint(Args& args) {
    auto part = args.Option(L"--part").value_or(L"close");
    LRESULT wanted = HTNOWHERE;
    if (part == L"close") wanted = HTCLOSE;
    else if (part == L"caption") wanted = HTCAPTION;
    else return Usage("frame-point: --part is close or caption");
    int exitCode = kExitOk;
    HWND window = QueryWindow(args, L"frame-point", exitCode);
    if (!window) return exitCode;
    // Asks the window itself what a click at each point of its top edge would
    // hit, the way the system finds out, and keeps the points where no other
    // window covers it; whoever draws the frame, the answer is the same.
    RECT rect{};
    GetWindowRect(window, &rect);
    const LONG bottom = std::min(rect.bottom, rect.top + 48);
    const LONG left = wanted == HTCLOSE ? std::max(rect.left, rect.right - 80) : rect.left;
    const LONG step = wanted == HTCLOSE ? 2 : 3;
    std::vector<POINT> hits;
    for (LONG y = rect.top; y < bottom; y += step) {
        for (LONG x = left; x < rect.right; x += step) {
            DWORD_PTR hit = HTNOWHERE;
            if (!SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 2000, &hit)) {
                return Fail("WM_NCHITTEST");
            }
            if (static_cast<LRESULT>(hit) == wanted && WindowFromPoint(POINT{x, y}) == window) hits.push_back({x, y});
        }
    }
    if (hits.empty()) {
        Emit(JObj().Add("found", JBool(true)).Add("visible", JBool(false)).Str());
        return kExitNotFound;
    }
    // The hit nearest the middle of them all: inside the part even where
    // another window covers some of it.
    long long sumX = 0, sumY = 0;
    for (const POINT& p : hits) {
        sumX += p.x;
        sumY += p.y;
    }
    const long long n = static_cast<long long>(hits.size());
    const long long midX = sumX / n, midY = sumY / n;
    POINT best = hits.front();
    long long bestDistance = -1;
    for (const POINT& p : hits) {
        const long long dx = p.x - midX, dy = p.y - midY;
        if (bestDistance < 0 || dx * dx + dy * dy < bestDistance) {
            bestDistance = dx * dx + dy * dy;
            best = p;
        }
    }
    Emit(JObj()
             .Add("found", JBool(true))
             .Add("visible", JBool(true))
             .Add("x", static_cast<long long>(best.x))
             .Add("y", static_cast<long long>(best.y))
             .Str());
    return kExitOk;
}

}  // namespace vtool
