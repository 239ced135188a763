// The target dialogs: what a user's installer or registration window looks
// like to the program under test. Every control reports what reaches it
// (pastes, focus, text changes) on stdout, so a test can check not only the
// final texts but the order the boxes were visited in.

#include "vtool.h"

#include <richedit.h>


namespace vtool {
namespace {

enum class Kind { Edit, MyEdit, Rich, Button };

struct Preset {
    const wchar_t* name;
    std::vector<Kind> layout;  // in tab order; the first button is OK, the second Cancel
    int focus;
    const char* help;
};
// Named layouts, so tests read as scenarios rather than control lists.
const Preset kPresets[] = {
    {L"three", {Kind::Edit, Kind::Edit, Kind::Edit, Kind::Button}, 0, "three Edit boxes in a row, then OK"},
    {L"four", {Kind::Edit, Kind::Edit, Kind::Edit, Kind::Edit, Kind::Button}, 0, "four Edit boxes, then OK"},
    {L"myedit-back", {Kind::Edit, Kind::Edit, Kind::MyEdit, Kind::Edit, Kind::Button}, 2,
     "focus in a superclassed Edit (class MyEdit) with Edit boxes on both sides"},
    {L"rich-back", {Kind::Edit, Kind::Edit, Kind::Rich, Kind::Edit, Kind::Button}, 2,
     "focus in a RichEdit20W with Edit boxes on both sides"},
    {L"two-then-ok", {Kind::Edit, Kind::Edit, Kind::Button, Kind::Button}, 0, "two Edit boxes, then OK and Cancel"},
};

struct Box {
    Kind kind = Kind::Edit;
    HWND hwnd = nullptr;
    WNDPROC original = nullptr;
    std::wstring fill;
    DWORD pasteSleepMs = 0;
    bool pasteDestroys = false;
};

struct Target {
    std::vector<Box> boxes;
    int focus = 0;
    std::wstring caption = L"Vtool Target";
    HWND dialog = nullptr;
    bool focusPlaced = false;
    bool live = false;  // the prefilled texts are not news
};
Target g_target;
WNDPROC g_editProc = nullptr;

int BoxIndex(HWND hwnd) {
    for (size_t i = 0; i < g_target.boxes.size(); ++i) {
        if (g_target.boxes[i].hwnd == hwnd) return static_cast<int>(i);
    }
    return -1;
}

void EmitBoxEvent(const char* event, int box) {
    Emit(JObj().Add("event", JStrA(event)).Add("box", box).Str());
}

// A class that behaves like Edit in every way but its name: the program under
// test treats any class other than exactly "Edit" differently.
LRESULT CALLBACK MyEditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return CallWindowProcW(g_editProc, hwnd, msg, wp, lp);
}

bool RegisterMyEdit() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(nullptr, L"Edit", &wc)) return false;
    g_editProc = wc.lpfnWndProc;
    wc.lpfnWndProc = MyEditProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MyEdit";
    return RegisterClassExW(&wc) != 0;
}

LRESULT CALLBACK BoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    int index = BoxIndex(hwnd);
    if (index < 0) return DefWindowProcW(hwnd, msg, wp, lp);
    Box& box = g_target.boxes[static_cast<size_t>(index)];
    WNDPROC original = box.original;
    switch (msg) {
    case WM_PASTE:
        EmitBoxEvent("paste", index);
        if (box.pasteDestroys) {
            // The window goes away while the sender is still inside SendMessage.
            EmitBoxEvent("destroying", index);
            DestroyWindow(g_target.dialog);
            return 0;
        }
        if (box.pasteSleepMs) {
            EmitBoxEvent("sleeping", index);
            Sleep(box.pasteSleepMs);
            EmitBoxEvent("woke", index);
        }
        break;
    case WM_SETFOCUS:
        EmitBoxEvent("focus", index);
        break;
    default:
        break;
    }
    return CallWindowProcW(original, hwnd, msg, wp, lp);
}

std::string BoxJson(size_t index) {
    const Box& box = g_target.boxes[index];
    return JObj()
        .Add("box", static_cast<long long>(index))
        .Add("hwnd", JHandle(box.hwnd))
        .Add("class", JStr(ClassName(box.hwnd)))
        .Add("id", GetDlgCtrlID(box.hwnd))
        .Str();
}

void CreateControls(HWND dialog) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const int width = 110, height = 24, step = 120, top = 20, left = 16;
    int buttons = 0;
    for (size_t i = 0; i < g_target.boxes.size(); ++i) {
        Box& box = g_target.boxes[i];
        const wchar_t* cls = L"Edit";
        const wchar_t* text = L"";
        DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
        DWORD exStyle = 0;
        int id = 1001 + static_cast<int>(i);
        switch (box.kind) {
        case Kind::Edit:
        case Kind::MyEdit:
        case Kind::Rich:
            cls = box.kind == Kind::Edit ? L"Edit" : box.kind == Kind::MyEdit ? L"MyEdit" : RICHEDIT_CLASSW;
            style |= ES_AUTOHSCROLL | WS_BORDER;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case Kind::Button:
            cls = L"Button";
            id = buttons == 0 ? IDOK : buttons == 1 ? IDCANCEL : id;
            text = buttons == 0 ? L"OK" : buttons == 1 ? L"Cancel" : L"Button";
            style |= buttons == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            ++buttons;
            break;
        }
        box.hwnd = CreateWindowExW(exStyle, cls, text, style, left + step * static_cast<int>(i), top, width,
                                   height, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                                   nullptr);
        if (!box.hwnd) continue;
        SendMessageW(box.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (box.kind == Kind::Rich) SendMessageW(box.hwnd, EM_SETEVENTMASK, 0, ENM_CHANGE);
        if (!box.fill.empty()) {
            SetWindowTextW(box.hwnd, box.fill.c_str());
            // Caret at the end, as after typing: a paste that does not replace
            // the old text then visibly extends it.
            auto end = static_cast<WPARAM>(box.fill.size());
            SendMessageW(box.hwnd, EM_SETSEL, end, static_cast<LPARAM>(end));
        }
        box.original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(box.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BoxProc)));
    }
    RECT rect{0, 0, left * 2 + step * static_cast<int>(g_target.boxes.size()), top * 2 + height};
    AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
    SetWindowPos(dialog, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PlaceFocus() {
    if (g_target.focus < 0 || static_cast<size_t>(g_target.focus) >= g_target.boxes.size()) return;
    HWND box = g_target.boxes[static_cast<size_t>(g_target.focus)].hwnd;
    SetFocus(box);
    // The dialog manager puts this control back whenever the dialog is
    // activated again (say by xdotool), as long as it is the focus when the
    // dialog loses activation.
}

INT_PTR CALLBACK TargetDlgProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        g_target.dialog = dialog;
        CreateControls(dialog);
        PlaceFocus();
        return FALSE;
    case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE && !g_target.focusPlaced) {
            g_target.focusPlaced = true;
            // Activation restores the dialog's saved focus after this
            // handler; ours must win the first time.
            PostMessageW(dialog, WM_APP, 0, 0);
        }
        return FALSE;
    case WM_APP:
        PlaceFocus();
        return TRUE;
    case WM_COMMAND: {
        HWND control = reinterpret_cast<HWND>(lp);
        int index = BoxIndex(control);
        if (HIWORD(wp) == EN_CHANGE && index >= 0 && g_target.live) {
            Emit(JObj()
                     .Add("event", JStrA("change"))
                     .Add("box", index)
                     .Add("text", JStr(WindowText(control)))
                     .Str());
        } else if (HIWORD(wp) == BN_CLICKED) {
            // Buttons, Enter and Escape never close the target: only WM_CLOSE
            // does, so a stray key press cannot end a scenario early.
            Emit(JObj().Add("event", JStrA("command")).Add("id", LOWORD(wp)).Add("box", index).Str());
        }
        return TRUE;
    }
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return FALSE;
    default:
        return FALSE;
    }
}

std::vector<WORD> DialogTemplate(const std::wstring& caption) {
    std::vector<WORD> words;
    auto putDword = [&](DWORD value) {
        words.push_back(LOWORD(value));
        words.push_back(HIWORD(value));
    };
    auto putString = [&](const std::wstring& text) {
        for (wchar_t c : text) words.push_back(static_cast<WORD>(c));
        words.push_back(0);
    };
    putDword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
    putDword(0);
    words.push_back(0);   // no controls in the template: they are created by hand
    words.push_back(40);  // x, y, cx, cy in dialog units; resized later
    words.push_back(40);
    words.push_back(200);
    words.push_back(40);
    words.push_back(0);  // no menu
    words.push_back(0);  // standard dialog class
    putString(caption);
    words.push_back(9);
    putString(L"MS Shell Dlg");
    return words;
}

bool ParseIndexed(const std::wstring& arg, size_t& index, std::wstring& value) {
    size_t eq = arg.find(L'=');
    if (eq == std::wstring::npos) return false;
    auto number = ParseNumber(arg.substr(0, eq));
    if (!number) return false;
    index = static_cast<size_t>(*number);
    value = arg.substr(eq + 1);
    return true;
}

}  // namespace

int CmdTarget(Args& args) {
    const Preset* preset = &kPresets[0];
    if (auto name = args.Option(L"--preset")) {
        preset = nullptr;
        for (const auto& p : kPresets) {
            if (*name == p.name) preset = &p;
        }
        if (!preset) {
            std::string known = "target: unknown preset; known presets:";
            for (const auto& p : kPresets) known += "\n  " + Narrow(p.name) + ": " + p.help;
            return Usage(known);
        }
    }
    for (Kind kind : preset->layout) g_target.boxes.emplace_back().kind = kind;
    g_target.focus = preset->focus;
    if (auto caption = args.Option(L"--caption")) {
        auto text = TextArg(*caption);
        if (!text) return Usage("target: bad --caption");
        g_target.caption = *text;
    }
    size_t index = 0;
    std::wstring value;
    for (const auto& arg : args.Options(L"--fill")) {
        std::vector<unsigned char> utf8;
        if (!ParseIndexed(arg, index, value) || index >= g_target.boxes.size() || !ParseHex(value, utf8))
            return Usage("target: --fill N=<UTF-8 hex>");
        g_target.boxes[index].fill =
            FromUtf8(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
    }
    for (const auto& arg : args.Options(L"--paste-sleep")) {
        if (!ParseIndexed(arg, index, value) || index >= g_target.boxes.size())
            return Usage("target: --paste-sleep N=MS");
        auto ms = ParseNumber(value);
        if (!ms) return Usage("target: --paste-sleep N=MS");
        g_target.boxes[index].pasteSleepMs = static_cast<DWORD>(*ms);
    }
    for (const auto& arg : args.Options(L"--paste-destroy")) {
        auto number = ParseNumber(arg);
        if (!number || *number >= g_target.boxes.size()) return Usage("target: --paste-destroy N");
        g_target.boxes[static_cast<size_t>(*number)].pasteDestroys = true;
    }
    if (!args.AllUsed(L"target")) return kExitUsage;

    if (!RegisterMyEdit()) return Fail("registering MyEdit");
    if (!LoadLibraryW(L"riched20.dll")) return Fail("loading riched20.dll");

    auto words = DialogTemplate(g_target.caption);
    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), nullptr,
                                             TargetDlgProc, 0);
    if (!dialog) return Fail("CreateDialogIndirectParam");
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);

    // The X window exists once Wine has mapped the dialog.
    unsigned long long xid = 0;
    for (Deadline deadline(5.0); (xid = X11Window(dialog)) == 0 && !deadline.Passed();) PumpFor(20);

    std::vector<std::string> boxes;
    for (size_t i = 0; i < g_target.boxes.size(); ++i) boxes.push_back(BoxJson(i));
    g_target.live = true;
    Emit(JObj()
             .Add("event", JStrA("ready"))
             .Add("hwnd", JHandle(dialog))
             .Add("xid", JHandle(xid))
             .Add("pid", GetCurrentProcessId())
             .Add("tid", GetCurrentThreadId())
             .Add("focus", g_target.focus)
             .Add("boxes", JArr(boxes))
             .Str());

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsWindow(dialog) && IsDialogMessageW(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    Emit(JObj().Add("event", JStrA("closed")).Str());
    return kExitOk;
}

}  // namespace vtool
