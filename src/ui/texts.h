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

}  // namespace vardix::text
