#pragma once
// What vtool and vtool_probe.dll agree on.

inline constexpr const wchar_t* kProbeDllName = L"vtool_probe.dll";
inline constexpr const char* kProbeHookProc = "VtoolProbeGetMessage";
inline constexpr const wchar_t* kProbeSysMenuMessage = L"vtool.probe.sysmenu";
inline constexpr unsigned long kProbeSysMenuReply = 0x4D535956;  // "VYSM"
