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

std::optional<double> WaitOption(Args& args, bool& bad) {
    bad = false;
    auto text = args.Option(L"--wait");
    if (!text) return std::nullopt;
    auto seconds = ParseSeconds(*text);
    if (!seconds) bad = true;
    return seconds;
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

HWND FirstWindow(Args& args, const wchar_t* command, int& exitCode) {
    WindowQuery query;
    std::string error;
    if (!ReadWindowQuery(args, query, error)) {
        exitCode = Usage(Narrow(command) + ": " + error);
        return nullptr;
    }
    bool bad = false;
    auto wait = WaitOption(args, bad);
    if (bad) {
        exitCode = Usage("bad --wait");
        return nullptr;
    }
    if (!args.AllUsed(command)) {
        exitCode = kExitUsage;
        return nullptr;
    }
    Deadline deadline(wait.value_or(0.0));
    for (;;) {
        auto found = FindTopLevel(query);
        if (!found.empty()) return found.front();
        if (deadline.Passed()) break;
        Sleep(50);
    }
    Emit(JObj().Add("found", JBool(false)).Str());
    exitCode = kExitNotFound;
    return nullptr;
}

std::wstring WithoutAmpersands(std::wstring text) {
    std::erase(text, L'&');
    return text;
}

}  // namespace

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
    bool bad = false;
    auto wait = WaitOption(args, bad);
    if (bad) return Usage("bad --wait");
    if (!args.AllUsed(L"find")) return kExitUsage;

    Deadline deadline(wait.value_or(0.0));
    std::vector<HWND> found;
    for (;;) {
        found = FindTopLevel(query);
        if (ready)
            std::erase_if(found, [](HWND hwnd) {
                DWORD_PTR ignored = 0;
                return !SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &ignored);
            });
        if (found.empty() == gone || deadline.Passed()) break;
        Sleep(50);
    }
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
    HWND window = FirstWindow(args, L"read", exitCode);
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
    bool bad = false;
    auto wait = WaitOption(args, bad);
    if (bad) return Usage("bad --wait");
    if (!args.AllUsed(L"close")) return kExitUsage;

    auto found = FindTopLevel(query);
    for (HWND hwnd : found) PostMessageW(hwnd, WM_CLOSE, 0, 0);
    Deadline deadline(wait.value_or(0.0));
    bool remaining = false;
    for (;;) {
        remaining = false;
        for (HWND hwnd : found) remaining = remaining || IsWindow(hwnd);
        if (!remaining || deadline.Passed()) break;
        Sleep(50);
    }
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
    if (auto pid = args.Option(L"--pid")) {
        auto value = ParseNumber(*pid);
        if (!value) return Usage("msgbox: bad --pid");
        query.pid = static_cast<DWORD>(*value);
    }
    query.className = L"#32770";
    bool bad = false;
    auto wait = WaitOption(args, bad);
    if (bad) return Usage("bad --wait");
    if (!args.AllUsed(L"msgbox")) return kExitUsage;

    Deadline deadline(wait.value_or(0.0));
    std::vector<HWND> found;
    for (;;) {
        found.clear();
        for (HWND hwnd : FindTopLevel(query)) {
            if (IsWindowVisible(hwnd)) found.push_back(hwnd);
        }
        if (!found.empty() || deadline.Passed()) break;
        Sleep(50);
    }
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
    auto hwndText = args.Option(L"--hwnd");
    auto idText = args.Option(L"--id");
    auto buttonText = args.Option(L"--text");
    bool click = args.Flag(L"--click");
    if (!args.AllUsed(L"press")) return kExitUsage;
    if (!hwndText || (!idText && !buttonText)) return Usage("press: give --hwnd and --id or --text");
    auto hwndValue = ParseNumber(*hwndText);
    if (!hwndValue) return Usage("press: bad --hwnd");
    HWND dialog = reinterpret_cast<HWND>(static_cast<uintptr_t>(*hwndValue));
    std::optional<std::wstring> wanted;
    if (buttonText) {
        wanted = TextArg(*buttonText);
        if (!wanted) return Usage("press: bad --text");
    }
    std::optional<unsigned long long> wantedId;
    if (idText) {
        wantedId = ParseNumber(*idText);
        if (!wantedId) return Usage("press: bad --id");
    }
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        int id = GetDlgCtrlID(child);
        bool match = wantedId ? static_cast<unsigned long long>(static_cast<unsigned>(id)) == *wantedId
                              : WithoutAmpersands(WindowText(child)) == WithoutAmpersands(*wanted);
        if (!match) continue;
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
    auto idText = args.Option(L"--id").value_or(L"1");
    auto secondsText = args.Option(L"--seconds");
    if (!args.AllUsed(L"hotkey")) return kExitUsage;
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
    auto id = ParseNumber(idText);
    if (!id) return Usage("hotkey: bad --id");

    if (!RegisterHotKey(nullptr, static_cast<int>(*id), mods, vk)) {
        DWORD error = GetLastError();
        Emit(JObj().Add("registered", JBool(false)).Add("error", error).Str());
        return kExitFailed;
    }
    Emit(JObj().Add("registered", JBool(true)).Add("pid", GetCurrentProcessId()).Str());
    if (secondsText) {
        auto seconds = ParseSeconds(*secondsText);
        if (!seconds) return Usage("bad --seconds");
        SetTimer(nullptr, 0, static_cast<UINT>(*seconds * 1000.0), nullptr);
    }
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
    UnregisterHotKey(nullptr, static_cast<int>(*id));
    Emit(JObj().Add("event", JStrA("done")).Str());
    return kExitOk;
}

}  // namespace vtool
