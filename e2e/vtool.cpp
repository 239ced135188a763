// vtool: the end-to-end tests' hands and eyes inside the Wine prefix, one command per run (e2e/README.md).
// It answers in JSON lines of ASCII, texts \u-escaped: Wine's console under code page 936 is not reliable.
#include <windows.h>
// After windows.h, which they need.
#include <oleacc.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
std::vector<std::wstring> g_args;

std::wstring At(size_t i) { return i < g_args.size() ? g_args[i] : L"0"; }
std::wstring Arg(const std::wstring& key, const wchar_t* fallback = L"0") {  // key=value, anywhere
    for (const auto& a : g_args)
        if (a.rfind(key + L"=", 0) == 0) return a.substr(key.size() + 1);
    return fallback;
}
unsigned long long Num(const std::wstring& s) { return std::wcstoull(s.c_str(), nullptr, 0); }
HWND Win(const std::wstring& s) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(Num(s))); }
unsigned long long H(const void* h) { return reinterpret_cast<uintptr_t>(h); }
template <class... T>
int Out(const char* format, T... args) {
    std::printf(format, args...);
    return 0;
}
std::string Q(const std::wstring& s) {
    std::string o = "\"";
    for (char u[8]; wchar_t c : s)
        o += (std::snprintf(u, 8, c > 31 && c < 127 && c != '"' && c != '\\' ? "%c" : "\\u%04x", c), u);
    return o + "\"";
}
Bytes Unhex(const std::wstring& s) {
    Bytes b;
    for (size_t i = 0; i + 1 < s.size(); i += 2)
        b.push_back(static_cast<unsigned char>(std::stoul(s.substr(i, 2), nullptr, 16)));
    return b;
}
UINT Format(const std::wstring& name) {  // a number, or a registered format's name
    return iswdigit(name[0]) ? UINT(Num(name)) : RegisterClipboardFormatW(name.c_str());
}
void Place(UINT format, const Bytes& b) {  // the clipboard owns the block once it took it
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, b.size() + !b.size());
    if (block) std::copy(b.begin(), b.end(), static_cast<unsigned char*>(GlobalLock(block))), GlobalUnlock(block);
    if (block && !SetClipboardData(format, block)) GlobalFree(block);
}
bool OpenPatiently(HWND owner) {
    for (int i = 0; i < 600; ++i, Sleep(5))
        if (OpenClipboard(owner)) return true;
    return false;
}
HWND MessageWindow() {
    return CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}
// Tab moves between a target's boxes as in a dialog, for the benchmark's typed baseline.
void Pump() {
    for (MSG m; GetMessageW(&m, nullptr, 0, 0) > 0;)
        if (!IsDialogMessageW(GetAncestor(m.hwnd, GA_ROOT), &m)) TranslateMessage(&m), DispatchMessageW(&m);
}

// The whole exit code, which Wine's loader would cut to 8 bits (a crash, 0xC0000005, would show as 5).
int Run() {
    std::wstring line = L"\"" + At(0) + L"\"";
    for (size_t i = 1; i < g_args.size(); ++i) line += L" " + g_args[i];
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return Out("{\"exit\":-1}\n");
    Out("{\"pid\":%lu}\n", pi.dwProcessId);
    DWORD code = WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return Out("{\"exit\":%lu}\n", code);
}

std::vector<WNDPROC> g_procs;

LRESULT CALLBACK ControlProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    const auto i = size_t(GetDlgCtrlID(h) - 100);
    const DWORD sleep = DWORD(Num(Arg(L"sleep" + std::to_wstring(i))));
    // Whether the piece carries the marker that keeps clipboard monitors out, looked at while it is the content.
    static const UINT marker = RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing");
    if (m == WM_PASTE) Out("{\"paste\":%zu,\"marked\":%d}\n", i, IsClipboardFormatAvailable(marker));
    if (m == WM_PASTE && i == Num(Arg(L"close", L"99"))) return DestroyWindow(GetParent(h));
    if (m == WM_PASTE && sleep) Sleep(sleep), Out("{\"woke\":%zu}\n", i);
    return CallWindowProcW(g_procs[i], h, m, w, l);
}
LRESULT CALLBACK TargetProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_COMMAND && HIWORD(w) == BN_CLICKED) Out("{\"click\":%u}\n", LOWORD(w));
    if (m == WM_DESTROY) PostQuitMessage(0);
    const LRESULT result = DefWindowProcW(h, m, w, l);
    if (m == WM_ACTIVATE && LOWORD(w) != WA_INACTIVE) SetFocus(GetDlgItem(h, int(100 + Num(Arg(L"focus")))));
    return result;
}
int Target() {
    LoadLibraryW(L"riched20.dll");
    const WNDCLASSW wc{0,       TargetProc,    0, 0, nullptr, nullptr, nullptr, HBRUSH(COLOR_BTNFACE + 1),
                       nullptr, L"VtoolTarget"};
    RegisterClassW(&wc);
    // As a framework registers its boxes: a superclass of Edit under a name of its own.
    const std::wstring super = Arg(L"super", L"Edit"), layout = Arg(L"layout", L"row");
    WNDCLASSEXW ec{};
    ec.cbSize = sizeof ec;
    if (super != L"Edit" && GetClassInfoExW(nullptr, L"Edit", &ec))
        ec.lpszClassName = super.c_str(), RegisterClassExW(&ec);
    const size_t n = Num(Arg(L"boxes", L"3")), rows = layout == L"column" ? n : 1 + (layout == L"name");
    const HWND target = CreateWindowExW(0, wc.lpszClassName, L"Vtool Target", WS_CAPTION, 9, 9, int(110 * n + 240),
                                        int(55 + 35 * rows), nullptr, nullptr, nullptr, nullptr);
    for (size_t i = 0; i < n + 2; ++i) {
        const std::wstring cls = i < n ? Arg(L"class" + std::to_wstring(i), super.c_str()) : L"Button";
        const std::wstring text = i < n ? Arg(L"text" + std::to_wstring(i), L"") : i == n ? L"OK" : L"Cancel";
        // As a dialog editor makes them: boxes scroll, so a text wider than the box still fits.
        const DWORD style = i < n ? ES_AUTOHSCROLL | WS_TABSTOP : Num(Arg(L"buttons", L"1")) ? WS_TABSTOP : 0;
        const size_t row = layout == L"column" ? std::min(i, n - 1) : layout == L"name" && i;
        const size_t column = layout == L"column" ? i - row : i - (layout == L"name" && i);
        const HWND c = CreateWindowExW(WS_EX_CLIENTEDGE, cls.c_str(), text.c_str(), WS_CHILD | WS_VISIBLE | style,
                                       int(10 + 110 * column), int(15 + 35 * row), 100, 24, target, HMENU(100 + i),
                                       nullptr, nullptr);
        if (Num(Arg(L"reverse"))) SetWindowPos(c, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        // The caret after the old text, as after typing: a paste that does not replace the text shows.
        SendMessageW(c, EM_SETSEL, text.size(), LPARAM(text.size()));
        g_procs.push_back(WNDPROC(SetWindowLongPtrW(c, GWLP_WNDPROC, LONG_PTR(ControlProc))));
        Out("{\"box\":%llu}\n", H(c));
    }
    ShowWindow(target, SW_SHOW);
    Out("{\"ready\":%llu}\n", H(target));
    Pump();
    return Out("{\"closed\":1}\n");
}

// [hwnd, id, class, text, pid, visible, enabled, foreground, focus, ready, owner, style, exstyle, value, rect];
// text, value (a check, a selection) and ready (it answers) by messages with a time-out, as it may hang.
BOOL CALLBACK Describe(HWND h, LPARAM) {
    wchar_t cls[256] = L"", text[4096] = L"";
    GetClassNameW(h, cls, 256);
    DWORD pid = 0;
    GUITHREADINFO info{sizeof info, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {}};
    GetGUIThreadInfo(GetWindowThreadProcessId(h, &pid), &info);
    RECT r{};
    GetWindowRect(h, &r);
    DWORD_PTR value = 0;
    const LRESULT ready = SendMessageTimeoutW(h, WM_GETTEXT, 4096, LPARAM(text), SMTO_ABORTIFHUNG, 300, &value);
    const UINT query = std::wstring(cls) == L"Button"     ? BM_GETCHECK
                       : std::wstring(cls) == L"ComboBox" ? CB_GETCURSEL
                                                          : WM_NULL;
    SendMessageTimeoutW(h, query, 0, 0, SMTO_ABORTIFHUNG, 300, &(value = 0));
    Out("[%llu,%d,%s,%s,%lu,%d,%d,%d,%d,%d,%llu,%ld,%ld,%lld,[%ld,%ld,%ld,%ld]]\n", H(h), GetDlgCtrlID(h),
        Q(cls).c_str(), Q(text).c_str(), pid, IsWindowVisible(h), IsWindowEnabled(h), GetForegroundWindow() == h,
        info.hwndFocus == h, ready != 0, H(GetWindow(h, GW_OWNER)), GetWindowLongW(h, GWL_STYLE),
        GetWindowLongW(h, GWL_EXSTYLE), (long long)LONG_PTR(value), r.left, r.top, r.right, r.bottom);
    return TRUE;
}
int Windows() {
    At(0) == L"0" ? EnumWindows(Describe, 0) : EnumChildWindows(Win(At(0)), Describe, 0);
    return Out("{\"end\":1}\n");
}

// Posted, never sent: the window may be hung or about to close.
int Post() { return Out("{\"posted\":%d}\n", PostMessageW(Win(At(0)), UINT(Num(At(1))), WPARAM(Num(At(2))), 0)); }

// As a click on it would; xid is its X window, which the tests then give the X input focus.
int Focus() {
    for (int i = 0; i < 20 && GetForegroundWindow() != Win(At(0)); ++i, Sleep(100)) SetForegroundWindow(Win(At(0)));
    const auto xid = H(GetPropW(Win(At(0)), L"__wine_x11_whole_window"));
    return Out("{\"fg\":%d,\"xid\":%llu}\n", GetForegroundWindow() == Win(At(0)), xid);
}

int Hotkey() {
    const BOOL registered = RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, UINT(Num(At(0))));
    Out("{\"registered\":%d,\"error\":%lu}\n", registered, registered ? 0 : GetLastError());
    SetTimer(nullptr, 0, UINT(Num(At(1)) * 1000), nullptr);
    for (MSG m; registered && GetMessageW(&m, nullptr, 0, 0) > 0 && m.message != WM_TIMER;) continue;
    return 0;
}

int Put() {
    Sleep(DWORD(Num(Arg(L"after"))));
    if (!OpenPatiently(MessageWindow())) return Out("{\"seq\":0}\n");
    EmptyClipboard();
    for (const auto& a : g_args) {
        const std::wstring name = a.substr(0, a.find(L'=')), value = a.substr(a.find(L'=') + 1);
        std::ifstream file(value.substr(1).c_str(), std::ios::binary);  // @PATH: a file's bytes, for big data
        const Bytes b = value[0] == L'@' ? Bytes(std::istreambuf_iterator<char>(file), {}) : Unhex(value);
        if (name != L"after" && name != L"emf") Place(Format(name), b);
    }
    if (const HDC dc = Arg(L"emf") == L"1" ? CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr) : nullptr)
        Ellipse(dc, 20, 10, 70, 35), SetClipboardData(CF_ENHMETAFILE, CloseEnhMetaFile(dc));
    CloseClipboard();
    return Out("{\"seq\":%lu}\n", GetClipboardSequenceNumber());
}

// Every format: [id, name, size, FNV-1a digest]; a picture by its bits, other handles than memory left out.
int Dump() {
    if (!OpenPatiently(nullptr)) return Out("{\"seq\":0}\n");
    for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) {
        wchar_t name[256] = L"";
        GetClipboardFormatNameW(f, name, 256);
        const HANDLE data = GetClipboardData(f);
        Bytes b(f == CF_ENHMETAFILE && data ? GetEnhMetaFileBits(HENHMETAFILE(data), 0, nullptr) : 0);
        if (!b.empty()) GetEnhMetaFileBits(HENHMETAFILE(data), UINT(b.size()), b.data());
        const bool memory = f != CF_ENHMETAFILE && f != CF_BITMAP && f != CF_METAFILEPICT && f != CF_PALETTE &&
                            (f < 0x80 || f >= 0x400);
        if (const auto* p = memory && data ? static_cast<const unsigned char*>(GlobalLock(data)) : nullptr)
            b.assign(p, p + GlobalSize(data));
        if (memory && data) GlobalUnlock(data);
        unsigned long long digest = 14695981039346656037ull;
        for (unsigned char c : b) digest = (digest ^ c) * 1099511628211ull;
        Out("[%u,%s,%zu,\"%016llx\"]\n", f, Q(name).c_str(), b.size(), digest);
    }
    CloseClipboard();
    return Out("{\"seq\":%lu}\n", GetClipboardSequenceNumber());
}

LRESULT CALLBACK WatchProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m != WM_CLIPBOARDUPDATE) return DefWindowProcW(h, m, w, l);
    const DWORD seq = GetClipboardSequenceNumber(), hold = DWORD(Num(At(0)));
    DWORD owner = 0;  // the writer's process, while its window owns the clipboard
    GetWindowThreadProcessId(GetClipboardOwner(), &owner);
    // A manager that lags behind gets a change's notice after the next change: what it looked at once, it does not
    // hold for again, or one look would hold the clipboard twice as long.
    static DWORD held = 0;
    if (hold && seq != std::exchange(held, seq) && OpenPatiently(h)) Sleep(hold), CloseClipboard();
    return Out("{\"seq\":%lu,\"pid\":%lu}\n", seq, owner);
}
// Also the session's keeper: while it runs, Wine's desktop process and its clipboard manager never wind down
// between two programs (a new manager would empty the clipboard seconds after it starts).
int Watch() {
    const HWND window = MessageWindow();
    SetWindowLongPtrW(window, GWLP_WNDPROC, LONG_PTR(WatchProc));
    for (int i = 0; i < 400 && !FindWindowExW(HWND_MESSAGE, nullptr, L"__wine_clipboard_manager", nullptr); ++i)
        Sleep(50);
    Out("{\"watching\":%d,\"acp\":%u}\n", AddClipboardFormatListener(window), GetACP());
    Pump();
    return 0;
}

// A clipboard owner that offers every format by delayed rendering, hangs MS (At(0)), then renders each when asked.
std::vector<std::pair<UINT, Bytes>> g_lazy;
LRESULT CALLBACK LazyProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    for (const auto& [format, b] : g_lazy)
        if (m == WM_RENDERFORMAT && w == format) Place(format, b), Out("{\"render\":%u}\n", format);
    return DefWindowProcW(h, m, w, l);
}
int Lazy() {
    const HWND window = MessageWindow();
    SetWindowLongPtrW(window, GWLP_WNDPROC, LONG_PTR(LazyProc));
    if (!OpenPatiently(window)) return Out("{\"ready\":0}\n");
    EmptyClipboard();
    for (size_t i = 1; i < g_args.size(); ++i) {
        const std::wstring name = g_args[i].substr(0, g_args[i].find(L'='));
        g_lazy.emplace_back(Format(name), Unhex(g_args[i].substr(name.size() + 1)));
        SetClipboardData(g_lazy.back().first, nullptr);
    }
    CloseClipboard(), Out("{\"ready\":%lu}\n", GetClipboardSequenceNumber());
    Sleep(DWORD(Num(At(0)))), Out("{\"woke\":1}\n"), Pump();
    return 0;
}

// KEY is HKLM\..., HKLM32\... (the 32-bit view, WOW6432Node) or HKCU\...; values go as exact bytes.
int Reg() {
    const std::wstring op = At(0), hive = At(1).substr(0, At(1).find(L'\\')), sub = At(1).substr(hive.size() + 1);
    const HKEY root = hive == L"HKCU" ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    const REGSAM view = hive == L"HKLM32" ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(root, sub.c_str(), 0, MAXIMUM_ALLOWED | view, &key);
    if ((op == L"set" || op == L"sddl") && status == ERROR_FILE_NOT_FOUND)
        status = RegCreateKeyExW(root, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
    wchar_t name[256];
    Bytes b(65536);
    for (DWORD i = 0, n = 256, type = 0, size = 65536;
         op == L"get" && !status && !RegEnumValueW(key, i++, name, &n, nullptr, &type, b.data(), &size);
         n = 256, size = 65536)
        Out("[%s,%lu,%s]\n", Q(name).c_str(), type, Q(std::wstring(b.begin(), b.begin() + size)).c_str());
    b = Unhex(At(4));
    if (op == L"set" && !status)
        status = RegSetValueExW(key, At(2).c_str(), 0, DWORD(Num(At(3))), b.data(), DWORD(b.size()));
    if (op == L"del" && !status)
        status = g_args.size() > 2 ? RegDeleteValueW(key, At(2).c_str()) : RegDeleteTreeW(key, nullptr);
    if (op == L"del" && !status && g_args.size() == 2) status = RegDeleteKeyExW(root, sub.c_str(), view, 0);
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (op == L"sddl" && !status &&
        ConvertStringSecurityDescriptorToSecurityDescriptorW(At(2).c_str(), SDDL_REVISION_1, &sd, nullptr))
        status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
    LocalFree(sd);
    if (key) RegCloseKey(key);
    return Out("{\"status\":%ld}\n", status);
}

// A window that draws its boxes itself, as many toolkits do: no child windows, WM_PASTE does nothing. With acc=1 a
// button follows the boxes (its typed keys as the last text).
struct Pane {
    std::vector<std::wstring> texts;
    size_t at = 0, caret = 0, anchor = 0, boxes = 0;
} g_pane;
void Show(HWND h) {
    std::string line = "{\"at\":" + std::to_string(g_pane.at) + ",\"boxes\":[";
    for (const auto& t : g_pane.texts) line += Q(t) + (&t == &g_pane.texts.back() ? "" : ",");
    Out("%s]}\n", line.c_str());
    InvalidateRect(h, nullptr, TRUE);
}
void MoveTo(HWND h, size_t box) {
    g_pane.at = box, g_pane.caret = g_pane.anchor = g_pane.texts[box].size();
    if (Num(Arg(L"advance"))) NotifyWinEvent(EVENT_OBJECT_FOCUS, h, OBJID_CLIENT, LONG(box + Num(Arg(L"acc"))));
    if (Num(Arg(L"list"))) SetTimer(h, 1, UINT(Num(Arg(L"list"))), nullptr);
}
// acc=1: the pane's own accessibility, as a toolkit's: child I+1 is box I (a single-line text, its text the value),
// then the button; list=MS: MS after each move a list's item (child 100) gets a focus event too. (MinGW's
// IID_IAccessible names oleacc's import stub, not the GUID.)
const IID kIidAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
#define STUB(method) \
    HRESULT STDMETHODCALLTYPE method override { return E_NOTIMPL; }
HRESULT I4(VARIANT* out, long value) {
    out->vt = VT_I4;
    out->lVal = value;
    return S_OK;
}
struct PaneAccessible : IAccessible {
    HWND h = nullptr;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IDispatch || iid == kIidAccessible ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // one for the whole run
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    STUB(GetTypeInfoCount(UINT*))
    STUB(GetTypeInfo(UINT, LCID, ITypeInfo**))
    STUB(GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*))
    STUB(Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))
    STUB(get_accParent(IDispatch**))
    STUB(get_accChildCount(long*))
    STUB(get_accChild(VARIANT, IDispatch**))
    STUB(get_accName(VARIANT, BSTR*))
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT c, BSTR* out) override {
        if (c.lVal < 1 || size_t(c.lVal) > g_pane.boxes) return E_NOTIMPL;
        *out = SysAllocString(g_pane.texts[c.lVal - 1].c_str());
        return S_OK;
    }
    STUB(get_accDescription(VARIANT, BSTR*))
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT c, VARIANT* out) override {
        if (c.lVal >= 100) return I4(out, ROLE_SYSTEM_LISTITEM);
        if (size_t(c.lVal) > g_pane.boxes) return I4(out, ROLE_SYSTEM_PUSHBUTTON);
        return I4(out, c.lVal ? ROLE_SYSTEM_TEXT : ROLE_SYSTEM_CLIENT);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT c, VARIANT* out) override {
        return I4(out, STATE_SYSTEM_FOCUSABLE | (size_t(c.lVal) == g_pane.at + 1 ? STATE_SYSTEM_FOCUSED : 0));
    }
    STUB(get_accHelp(VARIANT, BSTR*))
    STUB(get_accHelpTopic(BSTR*, VARIANT, long*))
    STUB(get_accKeyboardShortcut(VARIANT, BSTR*))
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override { return I4(out, LONG(g_pane.at + 1)); }
    STUB(get_accSelection(VARIANT*))
    STUB(get_accDefaultAction(VARIANT, BSTR*))
    STUB(accSelect(long, VARIANT))
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* height, VARIANT c) override {
        POINT at{10 + 110 * (c.lVal - 1), c.lVal < 100 ? 15 : 45};
        ClientToScreen(h, &at);
        *x = at.x;
        *y = at.y;
        *w = 100;
        *height = 24;
        return S_OK;
    }
    STUB(accNavigate(long, VARIANT, VARIANT*))
    STUB(accHitTest(long, long, VARIANT*))
    STUB(accDoDefaultAction(VARIANT))
    STUB(put_accName(VARIANT, BSTR))
    STUB(put_accValue(VARIANT, BSTR))
} g_accessible;
LRESULT CALLBACK PaneProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    auto& [texts, at, caret, anchor, boxes] = g_pane;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if (m == WM_GETOBJECT && LONG(l) == OBJID_CLIENT && Num(Arg(L"acc")))
        return LresultFromObject(kIidAccessible, w, &g_accessible);
    if (m == WM_TIMER && KillTimer(h, 1)) NotifyWinEvent(EVENT_OBJECT_FOCUS, h, OBJID_CLIENT, 100);
    if (m == WM_KEYDOWN && w == VK_TAB) MoveTo(h, (at + (shift ? texts.size() - 1 : 1)) % texts.size());
    if (m == WM_KEYDOWN && w == VK_TAB && Num(Arg(L"steal"))) SetForegroundWindow(Win(Arg(L"steal")));
    // child=1: the first Tab gives the focus to another window of the pane's, which takes the keys as the pane does.
    static HWND child = nullptr;
    if (m == WM_KEYDOWN && w == VK_TAB && Num(Arg(L"child")) && !child)
        SetFocus(child = CreateWindowExW(0, Arg(L"class", L"VtoolPane").c_str(), L"", WS_CHILD | WS_VISIBLE, 0, 60, 50,
                                         20, h, nullptr, nullptr, nullptr));
    if (m == WM_KEYDOWN && (w == VK_HOME || w == VK_END)) caret = w == VK_HOME ? 0 : texts[at].size();
    if (m == WM_KEYDOWN && (w == VK_HOME || w == VK_END) && !shift) anchor = caret;
    if (m == WM_CHAR && w >= L' ') {
        const size_t from = std::min(caret, anchor);
        texts[at].replace(from, std::max(caret, anchor) - from, 1, wchar_t(w));
        caret = anchor = from + 1;
        if (texts[at].size() == Num(Arg(L"advance")) && at + 1 < boxes) MoveTo(h, at + 1);
    }
    // menu=1: Alt released with no key pressed since its own press opens a menu layer, tracked by hand as
    // toolkits do (with Ctrl down, Windows' own menu key handling never sees a lone Alt).
    static bool lone = false;
    if (m == WM_KEYDOWN || m == WM_SYSKEYDOWN) lone = w == VK_MENU;
    if ((m == WM_KEYUP || m == WM_SYSKEYUP) && w == VK_MENU && std::exchange(lone, false) && Num(Arg(L"menu")))
        Out("{\"menu\":1}\n");
    // For the benchmark: WM_SETTEXT empties the boxes, WM_GETTEXT reads them joined by dashes.
    if (m == WM_SETTEXT) std::fill(texts.begin(), texts.end(), L""), MoveTo(h, 0);
    if (m == WM_GETTEXT) {
        std::wstring all;
        for (const auto& t : texts) all += (&t == &texts[0] ? L"" : L"-") + t;
        return lstrlenW(lstrcpynW(reinterpret_cast<wchar_t*>(l), all.c_str(), int(w)));
    }
    if (m == WM_KEYDOWN || m == WM_CHAR || m == WM_SETTEXT) Show(h);
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        const HDC dc = BeginPaint(h, &ps);
        for (int i = 0; i < int(texts.size()); ++i)
            Rectangle(dc, 10 + 110 * i, 15, 110 + 110 * i, 39),
                TextOutW(dc, 14 + 110 * i, 19, texts[i].c_str(), int(texts[i].size()));
        return EndPaint(h, &ps);
    }
    if (m == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(h, m, w, l);
}
int PaneCommand() {
    const std::wstring name = Arg(L"class", L"VtoolPane");
    const WNDCLASSW wc{0, PaneProc, 0, 0, nullptr, nullptr, nullptr, HBRUSH(COLOR_WINDOW + 1), nullptr, name.c_str()};
    RegisterClassW(&wc);
    g_pane.boxes = Num(Arg(L"boxes", L"4"));
    for (size_t i = 0; i < g_pane.boxes + Num(Arg(L"acc")); ++i)
        g_pane.texts.push_back(Arg(L"text" + std::to_wstring(i), L""));
    const HWND h = CreateWindowExW(0, wc.lpszClassName, L"Vtool Pane", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 9, 120,
                                   int(110 * g_pane.texts.size() + 30), 110, nullptr, nullptr, nullptr, nullptr);
    g_accessible.h = h;
    CoInitialize(nullptr);
    MoveTo(h, 0), Show(h), Out("{\"ready\":%llu}\n", H(h));
    for (MSG m; GetMessageW(&m, nullptr, 0, 0) > 0;) TranslateMessage(&m), DispatchMessageW(&m);
    return Out("{\"closed\":1}\n");
}

// The texts of vardix.exe's dialogs ID... in the language Windows picks for this process, as for the program, measured
// in their controls' fonts: [id, text, width, room]; a button's frame takes room, and a check box's box.
int Fit() {
    const HMODULE program = LoadLibraryExW(At(0).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HDC dc = CreateCompatibleDC(nullptr);
    for (size_t i = 1; i < g_args.size(); ++i) {
        const HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(Num(At(i))), RT_DIALOG);
        const auto* dialog = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(program, found)));
        const HWND d = CreateDialogIndirectParamW(nullptr, dialog, nullptr, nullptr, 0);
        for (HWND c = GetWindow(d, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            wchar_t cls[16] = L"", text[256] = L"";
            GetClassNameW(c, cls, 16), GetWindowTextW(c, text, 256);
            const LONG type = GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK;
            const bool button = !lstrcmpiW(cls, L"Button"),
                       check = button && type > BS_DEFPUSHBUTTON && type != BS_GROUPBOX;
            RECT room{}, need{};
            GetClientRect(c, &room);
            SelectObject(dc, HFONT(SendMessageW(c, WM_GETFONT, 0, 0)));
            DrawTextW(dc, text, -1, &need, DT_CALCRECT | DT_SINGLELINE);
            room.right -= (button ? 8 : 0) + (check ? GetSystemMetrics(SM_CXMENUCHECK) : 0);
            if (*text && *text != 0xFFFF && (button || !lstrcmpiW(cls, L"Static")))  // not an icon's resource id
                Out("[%d,%s,%ld,%ld]\n", GetDlgCtrlID(c), Q(text).c_str(), need.right, room.right);
        }
        DestroyWindow(d);
    }
    return Out("{\"end\":1}\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);  // the tests read each line while a command runs on
    const std::pair<const wchar_t*, int (*)()> commands[] = {
        {L"run", Run},          {L"target", Target}, {L"windows", Windows}, {L"post", Post},   {L"focus", Focus},
        {L"hotkey", Hotkey},    {L"put", Put},       {L"dump", Dump},       {L"watch", Watch}, {L"reg", Reg},
        {L"pane", PaneCommand}, {L"lazy", Lazy},     {L"fit", Fit}};
    g_args.assign(argv + (argc > 1 ? 2 : 1), argv + argc);
    for (const auto& [name, run] : commands)
        if (argc > 1 && std::wstring(argv[1]) == name) return run();
    Out("{\"error\":\"unknown command: see e2e/README.md\"}\n");
    return 64;
}
