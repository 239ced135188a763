#pragma once
// Shared plumbing of the end-to-end helper. Everything it prints is plain
// ASCII (JSON with \u escapes, bytes as hex): under Wine with code page 936
// both the console encoding and non-ASCII command-line arguments are
// unreliable, and the tests compare texts exactly.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vtool {

// Exit codes the test scripts rely on.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNotFound = 1;  // a window, format or state did not show up in time
inline constexpr int kExitFailed = 2;    // a Win32 call refused
inline constexpr int kExitUsage = 64;

class Args {
public:
    Args(int argc, wchar_t** argv, int first);

    bool Flag(std::wstring_view name);
    std::optional<std::wstring> Option(std::wstring_view name);
    std::vector<std::wstring> Options(std::wstring_view name);  // repeatable
    std::vector<std::wstring> Positionals();                     // whatever is left
    // Leave `value` alone when the option is absent; false, after a usage
    // message, when it is malformed.
    bool Seconds(std::wstring_view name, std::optional<double>& value);
    bool Number(std::wstring_view name, std::optional<unsigned long long>& value);
    // Fails (usage) on anything the command did not take.
    bool AllUsed(const wchar_t* command);

private:
    std::vector<std::wstring> items_;
    std::vector<bool> used_;
};

std::string Hex(const void* data, size_t size);
bool ParseHex(std::wstring_view text, std::vector<unsigned char>& out);
std::optional<unsigned long long> ParseNumber(std::wstring_view text);  // decimal or 0x hex
std::optional<double> ParseSeconds(std::wstring_view text);

std::wstring FromUtf8(std::string_view text);
std::string Narrow(std::wstring_view ascii);  // for messages only

// A text given on the command line: "hex:<UTF-8 bytes as hex>", one of the
// "@name" aliases (see kAliases in common.cpp), or plain ASCII as typed.
std::optional<std::wstring> TextArg(std::wstring_view arg);

// The main dialog of the program under test, spelled out here because a
// Chinese caption does not survive Wine's command line under code page 936.
inline constexpr const wchar_t* kVardixMainCaption =
    L"Vardix--\u7528\u4e00\u79cd\u65b0\u7684\u65b9\u5f0f\u586b\u5199\u4f60\u7684\u5e8f\u5217\u53f7!";

// Minimal JSON building; strings are escaped to ASCII.
std::string JStr(std::wstring_view text);
std::string JStrA(std::string_view ascii);
std::string JHandle(const void* handle);
std::string JHandle(unsigned long long value);
std::string JBool(bool value);

class JObj {
public:
    JObj& Add(const char* key, const std::string& json);
    JObj& Add(const char* key, long long value);
    JObj& Add(const char* key, unsigned long value) { return Add(key, static_cast<long long>(value)); }
    JObj& Add(const char* key, int value) { return Add(key, static_cast<long long>(value)); }
    JObj& Add(const char* key, unsigned int value) { return Add(key, static_cast<long long>(value)); }
    std::string Str() const { return "{" + body_ + "}"; }

private:
    std::string body_;
};

std::string JArr(const std::vector<std::string>& items);

// One line, flushed at once: a test reads it while the helper keeps running.
void Emit(const std::string& line);
int Fail(const std::string& message, int code = kExitFailed);
int Usage(const std::string& message);

// Deadline arithmetic for the polling commands.
class Deadline {
public:
    explicit Deadline(double seconds);
    bool Passed() const;

private:
    ULONGLONG end_;
};

// Pumps this thread's messages for `ms` milliseconds.
void PumpFor(DWORD ms);

// Calls `done` every 50 ms until it says yes or `seconds` have passed; with
// no time given, it looks once.
template <class Done>
void PollUntil(std::optional<double> seconds, Done done) {
    for (Deadline deadline(seconds.value_or(0.0)); !done() && !deadline.Passed();) Sleep(50);
}

// Window lookups shared by several commands.
struct WindowQuery {
    std::optional<std::wstring> caption;
    std::optional<std::wstring> className;
    std::optional<DWORD> pid;
    std::optional<HWND> hwnd;
};
// Takes --caption, --class, --pid and --hwnd. Returns false on bad usage.
bool ReadWindowQuery(Args& args, WindowQuery& query, std::string& error);
std::vector<HWND> FindTopLevel(const WindowQuery& query);
// The first window of the QUERY in `args`, once the command has taken its
// other options; nullptr with `exitCode` set (after a "found": false line
// when there is no such window) otherwise.
HWND QueryWindow(Args& args, const wchar_t* command, int& exitCode);

std::wstring WindowText(HWND hwnd, bool* hung = nullptr);
std::wstring ClassName(HWND hwnd);
unsigned long long X11Window(HWND hwnd);

// Clipboard plumbing shared by the clipboard commands.
std::optional<UINT> FormatId(const std::wstring& name);  // CF_ names, numbers, registered names
std::wstring FormatName(UINT id);
bool OpenClipboardPatiently(HWND owner, DWORD timeoutMs = 3000);
// SetClipboardData fails for a clipboard opened without an owner window.
HWND MessageWindow();

// Commands.
int CmdAcp(Args& args);
int CmdClipGet(Args& args);
int CmdClipFormats(Args& args);
int CmdClipListen(Args& args);
int CmdClipHog(Args& args);
int CmdTarget(Args& args);
int CmdFind(Args& args);
int CmdRead(Args& args);
int CmdClose(Args& args);
int CmdMsgBox(Args& args);
int CmdPress(Args& args);
int CmdHotkey(Args& args);
int CmdRegList(Args& args);
int CmdRegSet(Args& args);
int CmdRegDelete(Args& args);
int CmdRegSecurity(Args& args);
int CmdRegProbe(Args& args);
int CmdRegLink(Args& args);
int CmdRegUnlink(Args& args);
int CmdRect(Args& args);
// dependable.cpp
int CmdClipPut(Args& args);
int CmdClipDump(Args& args);
int CmdClipSettle(Args& args);
int CmdWaitHidden(Args& args);
int CmdDesktop(Args& args);
// shell.cpp
int CmdSysMenu(Args& args);
int CmdFramePoint(Args& args);

}  // namespace vtool
