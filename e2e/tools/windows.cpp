// Looking at other processes' windows from outside, as a user (or a test)
// would: find them, read their controls, close them, click their buttons.

#include "vtool.h"

#include <algorithm>
#include <cwctype>

namespace vtool {
namespace {

std::string RectJson(const RECT& r) {
    return JArr({std::to_string(r.left), std::to_string(r.top), std::to_string(r.right), std::to_string(r.bottom)});
}

std::string WindowJson(HWND hwnd) {
    DWORD pid = 0;
    DWORD tid = GetWindowThreadProcessId(hwnd, &pid);
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    RECT client{};
    GetClientRect(hwnd, &client);
    bool hung = false;
    std::wstring caption = WindowText(hwnd, &hung);
    return JObj()
        .Add("hwnd", JHandle(hwnd))
        .Add("pid", pid)
        .Add("tid", tid)
        .Add("class", JStr(ClassName(hwnd)))
        .Add("caption", JStr(caption))
        .Add("hung", JBool(hung))
        .Add("rect", RectJson(rect))
        .Add("client", RectJson(client))
        .Add("style", static_cast<long long>(GetWindowLongPtrW(hwnd, GWL_STYLE) & 0xFFFFFFFF))
        .Add("exstyle", static_cast<long long>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & 0xFFFFFFFF))
        .Add("visible", JBool(IsWindowVisible(hwnd)))
        .Add("enabled", JBool(IsWindowEnabled(hwnd)))
        .Add("iconic", JBool(IsIconic(hwnd)))
        .Add("foreground", JBool(GetForegroundWindow() == hwnd))
        .Add("owner", JHandle(GetWindow(hwnd, GW_OWNER)))
        .Add("xid", JHandle(X11Window(hwnd)))
        .Str();
}

void CollectControls(HWND parent, int depth, HWND focus, std::vector<std::string>& out) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::wstring cls = ClassName(child);
        bool hung = false;
        std::wstring text = WindowText(child, &hung);
        LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        JObj item;
        item.Add("index", static_cast<long long>(out.size()))
            .Add("depth", depth)
            .Add("hwnd", JHandle(child))
            .Add("id", GetDlgCtrlID(child))
            .Add("class", JStr(cls))
            .Add("text", JStr(text))
            .Add("hung", JBool(hung))
            .Add("style", static_cast<long long>(style & 0xFFFFFFFF))
            .Add("tabstop", JBool((style & WS_TABSTOP) != 0))
            .Add("visible", JBool(IsWindowVisible(child)))
            .Add("enabled", JBool(IsWindowEnabled(child)))
            .Add("focused", JBool(child == focus));
        DWORD_PTR result = 0;
        if (_wcsicmp(cls.c_str(), L"Button") == 0 &&
            SendMessageTimeoutW(child, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &result)) {
            item.Add("check", static_cast<long long>(result));
        }
        if (_wcsicmp(cls.c_str(), L"ComboBox") == 0 &&
            SendMessageTimeoutW(child, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result)) {
            item.Add("cursel", static_cast<long long>(static_cast<LONG_PTR>(result)));
        }
        out.push_back(item.Str());
        if (GetWindowLongPtrW(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
            CollectControls(child, depth + 1, focus, out);
        }
    }
}

}  // namespace

HWND QueryWindow(Args& args, const wchar_t* command, int& exitCode) {
    WindowQuery query;
    std::string error;
    if (!ReadWindowQuery(args, query, error)) {
        exitCode = Usage(Narrow(command) + ": " + error);
        return nullptr;
    }
    if (!args.AllUsed(command)) {
        exitCode = kExitUsage;
        return nullptr;
    }
    auto found = FindTopLevel(query);
    if (!found.empty()) return found.front();
    Emit(JObj().Add("found", JBool(false)).Str());
    exitCode = kExitNotFound;
    return nullptr;
}

int CmdFind(Args& args) {
    WindowQuery query;
    std::string error;
    if (!ReadWindowQuery(args, query, error)) return Usage("find: " + error);
    bool all = args.Flag(L"--all");
    bool gone = args.Flag(L"--gone");
    // --ready: only windows whose thread runs its message loop again, which
    // for a dialog means its initialisation is over (it pumps no messages
    // before), whether or not the dialog is shown.
    bool ready = args.Flag(L"--ready");
    std::optional<double> wait;
    if (!args.Seconds(L"--wait", wait) || !args.AllUsed(L"find")) return kExitUsage;

    std::vector<HWND> found;
    PollUntil(wait, [&] {
        found = FindTopLevel(query);
        if (ready)
            std::erase_if(found, [](HWND hwnd) {
                DWORD_PTR ignored = 0;
                return !SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &ignored);
            });
        return found.empty() == gone;
    });
    std::vector<std::string> items;
    for (HWND hwnd : found) {
        items.push_back(WindowJson(hwnd));
        if (!all) break;
    }
    Emit(JObj().Add("found", JBool(!found.empty())).Add("windows", JArr(items)).Str());
    return found.empty() == gone ? kExitOk : kExitNotFound;
}

int CmdRead(Args& args) {
    int exitCode = kExitOk;
    HWND window = QueryWindow(args, L"read", exitCode);
    if (!window) return exitCode;
    DWORD tid = GetWindowThreadProcessId(window, nullptr);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    HWND focus = GetGUIThreadInfo(tid, &info) ? info.hwndFocus : nullptr;
    std::vector<std::string> controls;
    CollectControls(window, 0, focus, controls);
    Emit(JObj()
             .Add("found", JBool(true))
             .Add("window", WindowJson(window))
             .Add("focus", JHandle(focus))
             .Add("active", JHandle(info.hwndActive))
             .Add("controls", JArr(controls))
             .Str());
    return kExitOk;
}

int CmdClose(Args& args) {
    WindowQuery query;
    std::string error;
    if (!ReadWindowQuery(args, query, error)) return Usage("close: " + error);
    std::optional<double> wait;
    if (!args.Seconds(L"--wait", wait) || !args.AllUsed(L"close")) return kExitUsage;

    auto found = FindTopLevel(query);
    for (HWND hwnd : found) PostMessageW(hwnd, WM_CLOSE, 0, 0);
    bool remaining = false;
    PollUntil(wait, [&] {
        remaining = std::any_of(found.begin(), found.end(), [](HWND hwnd) { return IsWindow(hwnd) != FALSE; });
        return !remaining;
    });
    Emit(JObj().Add("closed", static_cast<long long>(found.size())).Add("remaining", JBool(remaining)).Str());
    if (found.empty()) return kExitNotFound;
    return remaining && wait ? kExitNotFound : kExitOk;
}

int CmdMsgBox(Args& args) {
    WindowQuery query;
    if (auto caption = args.Option(L"--caption")) {
        query.caption = TextArg(*caption);
        if (!query.caption) return Usage("msgbox: bad --caption");
    }
    std::optional<unsigned long long> ownerPid;
    std::optional<double> wait;
    if (!args.Number(L"--pid", ownerPid) || !args.Seconds(L"--wait", wait) || !args.AllUsed(L"msgbox"))
        return kExitUsage;
    if (ownerPid) query.pid = static_cast<DWORD>(*ownerPid);
    query.className = L"#32770";

    std::vector<HWND> found;
    PollUntil(wait, [&] {
        found = FindTopLevel(query);
        std::erase_if(found, [](HWND hwnd) { return !IsWindowVisible(hwnd); });
        return !found.empty();
    });
    std::vector<std::string> boxes;
    for (HWND hwnd : found) {
        std::vector<std::string> texts;
        std::vector<std::string> buttons;
        for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            std::wstring cls = ClassName(child);
            std::wstring text = WindowText(child);
            if (_wcsicmp(cls.c_str(), L"Button") == 0) {
                buttons.push_back(JObj().Add("id", GetDlgCtrlID(child)).Add("text", JStr(text)).Str());
            } else if (!text.empty()) {
                texts.push_back(JStr(text));
            }
        }
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        boxes.push_back(JObj()
                            .Add("hwnd", JHandle(hwnd))
                            .Add("pid", pid)
                            .Add("caption", JStr(WindowText(hwnd)))
                            .Add("owner", JHandle(GetWindow(hwnd, GW_OWNER)))
                            .Add("texts", JArr(texts))
                            .Add("buttons", JArr(buttons))
                            .Str());
    }
    Emit(JObj().Add("found", JBool(!found.empty())).Add("boxes", JArr(boxes)).Str());
    return found.empty() ? kExitNotFound : kExitOk;
}

int CmdPress(Args& args) {
    std::optional<unsigned long long> hwndValue;
    std::optional<unsigned long long> wantedId;
    bool click = args.Flag(L"--click");
    if (!args.Number(L"--hwnd", hwndValue) || !args.Number(L"--id", wantedId) || !args.AllUsed(L"press"))
        return kExitUsage;
    if (!hwndValue || !wantedId) return Usage("press: give --hwnd and --id");
    HWND dialog = reinterpret_cast<HWND>(static_cast<uintptr_t>(*hwndValue));
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        int id = GetDlgCtrlID(child);
        if (static_cast<unsigned long long>(static_cast<unsigned>(id)) != *wantedId) continue;
        // Posted, never sent: the dialog may be modal, hung or about to close.
        BOOL posted = click ? PostMessageW(child, BM_CLICK, 0, 0)
                            : PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                                           reinterpret_cast<LPARAM>(child));
        Emit(JObj().Add("pressed", JBool(posted)).Add("id", id).Add("hwnd", JHandle(child)).Str());
        return posted ? kExitOk : Fail("PostMessage");
    }
    Emit(JObj().Add("pressed", JBool(false)).Str());
    return kExitNotFound;
}

int CmdHotkey(Args& args) {
    auto vkText = args.Option(L"--vk");
    auto modsText = args.Option(L"--mods").value_or(L"ctrl+alt");
    std::optional<unsigned long long> id;
    std::optional<double> seconds;
    if (!args.Number(L"--id", id) || !args.Seconds(L"--seconds", seconds) || !args.AllUsed(L"hotkey"))
        return kExitUsage;
    const int hotkeyId = static_cast<int>(id.value_or(1));
    if (!vkText) return Usage("hotkey: give --vk (a letter, F1..F24 or a number)");

    UINT vk = 0;
    std::wstring name = *vkText;
    if (name.size() == 1 && std::iswalnum(name[0])) {
        vk = static_cast<UINT>(std::towupper(name[0]));
    } else if (name.size() >= 2 && (name[0] == L'F' || name[0] == L'f') && ParseNumber(name.substr(1))) {
        vk = VK_F1 + static_cast<UINT>(*ParseNumber(name.substr(1))) - 1;
    } else if (auto number = ParseNumber(name)) {
        vk = static_cast<UINT>(*number);
    } else {
        return Usage("hotkey: bad --vk");
    }
    UINT mods = 0;
    for (std::wstring rest = modsText + L"+"; !rest.empty();) {
        size_t plus = rest.find(L'+');
        std::wstring part = rest.substr(0, plus);
        rest = rest.substr(plus + 1);
        if (part == L"ctrl") mods |= MOD_CONTROL;
        else if (part == L"alt") mods |= MOD_ALT;
        else if (part == L"shift") mods |= MOD_SHIFT;
        else if (part == L"win") mods |= MOD_WIN;
        else if (!part.empty()) return Usage("hotkey: bad --mods");
    }

    if (!RegisterHotKey(nullptr, hotkeyId, mods, vk)) {
        DWORD error = GetLastError();
        Emit(JObj().Add("registered", JBool(false)).Add("error", error).Str());
        return kExitFailed;
    }
    Emit(JObj().Add("registered", JBool(true)).Add("pid", GetCurrentProcessId()).Str());
    if (seconds) SetTimer(nullptr, 0, static_cast<UINT>(*seconds * 1000.0), nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_HOTKEY) {
            Emit(JObj()
                     .Add("event", JStrA("hotkey"))
                     .Add("id", static_cast<long long>(msg.wParam))
                     .Add("mods", static_cast<long long>(LOWORD(msg.lParam)))
                     .Add("vk", static_cast<long long>(HIWORD(msg.lParam)))
                     .Str());
        } else if (msg.message == WM_TIMER) {
            break;
        }
        DispatchMessageW(&msg);
    }
    UnregisterHotKey(nullptr, hotkeyId);
    Emit(JObj().Add("event", JStrA("done")).Str());
    return kExitOk;
}

// Screen coordinates, which are the X root window's: the tests run without a
// window manager and without Wine's virtual desktop, and click there.
int CmdRect(Args& args) {
    std::optional<unsigned long long> hwnd;
    std::optional<unsigned long long> id;
    if (!args.Number(L"--hwnd", hwnd) || !args.Number(L"--id", id) || !args.AllUsed(L"rect")) return kExitUsage;
    if (!hwnd || !id) return Usage("rect: give --hwnd and --id");
    HWND control = GetDlgItem(reinterpret_cast<HWND>(static_cast<uintptr_t>(*hwnd)), static_cast<int>(*id));
    RECT rect{};
    if (!control || !GetWindowRect(control, &rect)) {
        Emit(JObj().Add("found", JBool(false)).Str());
        return kExitNotFound;
    }
    Emit(JObj()
             .Add("found", JBool(true))
             .Add("hwnd", JHandle(control))
             .Add("rect", RectJson(rect))
             .Add("visible", JBool(IsWindowVisible(control)))
             .Add("enabled", JBool(IsWindowEnabled(control)))
             .Str());
    return kExitOk;
}

}  // namespace vtool
