// vtool_probe.dll: loaded into another process by a WH_GETMESSAGE hook, to
// read what only that process can read. A window's system menu is such a
// thing: GetSystemMenu and the menu functions refuse another process's
// window and menus, on Windows and under Wine alike.
//
// The caller posts the registered message kProbeSysMenuMessage to the window
// with its own reply window in wParam; the hook, running in the window's
// thread as that thread takes the message from its queue, answers with one
// WM_COPYDATA. The answer is UTF-16 text, one line per menu item:
// "fType<TAB>fState<TAB>wID<TAB>text", or a single line "error<TAB>code".

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "probe.h"

namespace {

std::wstring Number(unsigned long long value) {
    wchar_t buffer[24] = {};
    int used = 0;
    do {
        buffer[used++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    std::wstring text;
    while (used > 0) text.push_back(buffer[--used]);
    return text;
}

std::wstring DescribeSystemMenu(HWND window) {
    // FALSE: the window's own copy, as it is, without resetting it.
    HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu) return L"error\t" + Number(GetLastError()) + L"\n";
    const int count = GetMenuItemCount(menu);
    if (count < 0) return L"error\t" + Number(GetLastError()) + L"\n";
    std::wstring out;
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = 255;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) {
            return L"error\t" + Number(GetLastError()) + L"\n";
        }
        out += Number(item.fType) + L"\t" + Number(item.fState) + L"\t" + Number(item.wID) + L"\t" + text + L"\n";
    }
    return out;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK VtoolProbeGetMessage(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT probeMessage = RegisterWindowMessageW(kProbeSysMenuMessage);
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg && probeMessage != 0 && msg->message == probeMessage) {
        const std::wstring answer = DescribeSystemMenu(msg->hwnd);
        COPYDATASTRUCT data{};
        data.dwData = kProbeSysMenuReply;
        data.cbData = static_cast<DWORD>((answer.size() + 1) * sizeof(wchar_t));
        data.lpData = const_cast<wchar_t*>(answer.c_str());
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(reinterpret_cast<HWND>(msg->wParam), WM_COPYDATA, reinterpret_cast<WPARAM>(msg->hwnd),
                            reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000, &ignored);
        // The window itself never sees the probe.
        msg->message = WM_NULL;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
