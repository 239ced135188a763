// Where a control is on the screen, so that a test can click it with the real
// mouse instead of posting messages to it.

#include "vtool.h"

namespace vtool {

int CmdRect(Args& args) {
    auto hwndText = args.Option(L"--hwnd");
    auto idText = args.Option(L"--id");
    if (!args.AllUsed(L"rect")) return kExitUsage;
    if (!hwndText) return Usage("rect: give --hwnd and optionally --id");
    auto hwndValue = ParseNumber(*hwndText);
    if (!hwndValue) return Usage("rect: bad --hwnd");
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(*hwndValue));
    if (idText) {
        auto id = ParseNumber(*idText);
        if (!id) return Usage("rect: bad --id");
        window = GetDlgItem(window, static_cast<int>(*id));
    }
    RECT rect{};
    if (!window || !GetWindowRect(window, &rect)) {
        Emit(JObj().Add("found", JBool(false)).Str());
        return kExitNotFound;
    }
    // Screen coordinates, which are the X root window's: the tests run
    // without a window manager and without Wine's virtual desktop.
    Emit(JObj()
             .Add("found", JBool(true))
             .Add("hwnd", JHandle(window))
             .Add("rect", JArr({std::to_string(rect.left), std::to_string(rect.top), std::to_string(rect.right),
                                std::to_string(rect.bottom)}))
             .Add("visible", JBool(IsWindowVisible(window)))
             .Add("enabled", JBool(IsWindowEnabled(window)))
             .Str());
    return kExitOk;
}

}  // namespace vtool
