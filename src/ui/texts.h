#pragma once
// The program's own fixed texts. Window texts live in the resources; these are
// the message texts. Each occasion has its own wording, down to the last
// character, so users and support can tell the occasions apart.

namespace vardix::text {

inline constexpr wchar_t kMainCaption[] = L"Vardix--用一种新的方式填写你的序列号!";

inline constexpr wchar_t kSaveFailed[] = L"不能保存配置.";       // settings key or a settings value
inline constexpr wchar_t kAutostartFailed[] = L"不能保存配置!";  // the Run value
inline constexpr wchar_t kLowerCodeFailedAtStart[] = L"热键注册失败";
inline constexpr wchar_t kLetterFailedAtStart[] = L"FAINT";
inline constexpr wchar_t kHotkeyFailedAtSave[] = L"热键注册失败!";
inline constexpr wchar_t kConfirmExit[] = L"退出程序, 你确定吗?";
inline constexpr wchar_t kConfirmSaveOnExit[] = L"退出程序, 立即保存设置吗?";
inline constexpr wchar_t kElevationFailed[] = L"不能以管理员身份启动 vardix.";
// A vardix.exe that the user's programs can change (a zip unpacked into
// Downloads) is never elevated.
inline constexpr wchar_t kNotElevated[] =
    L"以管理员身份运行的安装程序只由安装版 Vardix (Program Files 中的 vardix.exe) 填写.";
// The elevated copy filled nothing, by its exit code.
inline constexpr wchar_t kCopyWindowGone[] = L"安装程序没有填写: 它的窗口已经关闭.";
inline constexpr wchar_t kCopyNoCode[] = L"安装程序没有填写: 剪贴板里已经没有序列号.";
inline constexpr wchar_t kCopyNotInFront[] = L"安装程序没有填写: 不能把它的窗口带到前台.";
inline constexpr wchar_t kCopyNotFillable[] = L"安装程序没有填写: 它的输入框不能填写.";
inline constexpr wchar_t kCopyStopped[] = L"安装程序没有填写完: 填写中断了.";

}  // namespace vardix::text
