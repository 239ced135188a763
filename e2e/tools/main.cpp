// vtool: the Win32 side of the end-to-end tests. It runs inside the test's
// Wine prefix and gives the Python driver exact access to what only a
// Windows program can see: code page, clipboard formats, window handles,
// focus, control texts, hotkey registrations.

#include "vtool.h"

#include <cstdio>

namespace vtool {
namespace {

struct Command {
    const wchar_t* name;
    int (*run)(Args&);
    const char* help;
};

const Command kCommands[] = {
    {L"acp", CmdAcp, "acp                         print the ANSI and OEM code pages"},
    {L"clip-get", CmdClipGet,
     "clip-get FMT                bytes of one format as hex (text formats up to their zero\n"
     "                            terminator); exit 1 when the format is absent"},
    {L"clip-formats", CmdClipFormats, "clip-formats                formats on the clipboard, in order, with their names"},
    {L"clip-listen", CmdClipListen,
     "clip-listen [--seconds S]   print one line per clipboard update, with whether the\n"
     "                            ExcludeClipboardContentFromMonitorProcessing format is there"},
    {L"clip-hog", CmdClipHog,
     "clip-hog [--hold-ms MS] [--seconds S]\n"
     "                            on every clipboard update open the clipboard and hold it"},
    {L"target", CmdTarget,
     "target [--preset P] [--caption T] [--fill N=HEX]... [--paste-sleep N=MS]...\n"
     "       [--paste-destroy N]  open a target dialog and report its events; --fill takes\n"
     "                            UTF-8 as hex; --preset x lists the presets"},
    {L"find", CmdFind,
     "find QUERY [--all] [--wait S] [--gone] [--ready]\n"
     "                            describe matching top-level windows (--ready: only those\n"
     "                            whose thread answers messages, i.e. past initialisation)"},
    {L"read", CmdRead, "read QUERY                  the controls of a window in tab order, with texts and focus"},
    {L"close", CmdClose, "close QUERY [--wait S]      post WM_CLOSE and wait for the window to go"},
    {L"msgbox", CmdMsgBox,
     "msgbox [--caption T] [--pid N] [--wait S]\n"
     "                            visible message boxes (#32770), with texts and buttons"},
    {L"press", CmdPress,
     "press --hwnd H --id N [--click]\n"
     "                            post a button's WM_COMMAND to its dialog (or BM_CLICK to\n"
     "                            the button, which also toggles check boxes)"},
    {L"hotkey", CmdHotkey,
     "hotkey --vk VK [--mods ctrl+alt] [--id N] [--seconds S]\n"
     "                            hold a hotkey registration and print every WM_HOTKEY"},
    {L"reg-list", CmdRegList, "reg-list KEY                all values of a key; exit 1 when the key is absent"},
    {L"reg-set", CmdRegSet,
     "reg-set KEY NAME TYPE HEX   write exactly these bytes (TYPE REG_DWORD, REG_QWORD,\n"
     "                            REG_BINARY, REG_SZ, ... or a number); creates the key"},
    {L"reg-delete", CmdRegDelete, "reg-delete KEY [NAME]       delete a value, or the key with everything below it"},
    {L"reg-security", CmdRegSecurity,
     "reg-security KEY [--set SDDL]\n"
     "                            the key's owner, group and DACL as SDDL; --set replaces the\n"
     "                            parts the string gives (give the old ones back the same way)"},
    {L"reg-probe", CmdRegProbe,
     "reg-probe KEY               RegCreateKeyW on the key, then write and delete a scratch\n"
     "                            value: the result codes a save would meet"},
    {L"reg-link", CmdRegLink,
     "reg-link KEY TARGET         a new (volatile) link key KEY that leads to TARGET (HKLM)"},
    {L"reg-unlink", CmdRegUnlink, "reg-unlink KEY              delete the link key KEY itself, not its target"},
    {L"rect", CmdRect, "rect --hwnd H --id N        screen rectangle of the window's control N"},
    {L"clip-put", CmdClipPut,
     "clip-put FMT=HEX|FMT=file:PATH... [--emf]\n"
     "                            empty the clipboard and put these formats on it in one go;\n"
     "                            FMT is CF_TEXT, CF_UNICODETEXT, ..., a number or a registered\n"
     "                            name (\"HTML Format\"); hex text gets its terminating zero\n"
     "                            appended, a file's bytes are taken as is; --emf adds a small\n"
     "                            enhanced metafile as CF_ENHMETAFILE"},
    {L"clip-dump", CmdClipDump,
     "clip-dump [--hex-limit N]   every format on the clipboard in order: size, FNV-1a digest\n"
     "                            and, up to N bytes (4096), the bytes (metafile bits for\n"
     "                            CF_ENHMETAFILE); exit 1 with open_failed when the\n"
     "                            clipboard stays held for 3 s"},
    {L"clip-settle", CmdClipSettle,
     "clip-settle --since SEQ [--quiet-ms 300] [--wait S]\n"
     "                            wait, without opening the clipboard, until its sequence\n"
     "                            number has moved on from SEQ and then kept still; then\n"
     "                            as clip-dump, with settled and changed_ms_ago (the last\n"
     "                            change it saw, or its own start); exit 1 on time-out"},
    {L"wait-hidden", CmdWaitHidden,
     "wait-hidden QUERY [--post-command ID] [--wait S]\n"
     "                            post a button's WM_COMMAND, then wait until the window is\n"
     "                            invisible; prints the milliseconds it took"},
    {L"desktop", CmdDesktop,
     "desktop                     the desktop window's process and Wine's clipboard manager\n"
     "                            windows with their processes"},
    {L"sysmenu", CmdSysMenu,
     "sysmenu QUERY               the window's system menu, read inside its own thread by\n"
     "                            vtool_probe.dll (a WH_GETMESSAGE hook): type, state, id, text"},
    {L"frame-point", CmdFramePoint,
     "frame-point QUERY [--part close|caption]\n"
     "                            a screen point on the window's close box (default) or caption\n"
     "                            that no other window covers (WM_NCHITTEST, WindowFromPoint)"},
};

void PrintHelp() {
    std::fputs("usage: vtool COMMAND ...\n"
               "QUERY is any of --caption T, --class C, --pid N, --hwnd H.\n"
               "Texts: plain ASCII, hex:<UTF-8 as hex>, @vardix-main, @vardix.\n\n",
               stdout);
    for (const auto& command : kCommands) {
        std::fputs(command.help, stdout);
        std::fputc('\n', stdout);
    }
}

}  // namespace

int CmdAcp(Args& args) {
    if (!args.AllUsed(L"acp")) return kExitUsage;
    Emit(JObj().Add("acp", GetACP()).Add("oemcp", GetOEMCP()).Str());
    return kExitOk;
}

}  // namespace vtool

int wmain(int argc, wchar_t** argv) {
    using namespace vtool;
    if (argc < 2 || std::wstring_view(argv[1]) == L"--help") {
        PrintHelp();
        return argc < 2 ? kExitUsage : kExitOk;
    }
    for (const auto& command : kCommands) {
        if (std::wstring_view(argv[1]) == command.name) {
            Args args(argc, argv, 2);
            return command.run(args);
        }
    }
    return Usage("unknown command '" + Narrow(argv[1]) + "'");
}
