#include "winfx/resources.h"

#include <cstdint>

#include "winfx/app.h"
#include "winfx/dialog_template.h"

namespace winfx {

namespace {
BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}
}  // namespace

std::wstring LoadText(UINT id) {
    // With no buffer, Windows gives the string in the resource itself, which
    // has no terminating zero, and its length: no length limit of our own.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(App::Current()->Instance(), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

std::vector<std::wstring> DialogCaptions(UINT templateId) {
    const HINSTANCE instance = App::Current()->Instance();
    const LPCWSTR name = MAKEINTRESOURCEW(templateId);
    std::vector<WORD> languages;
    ::EnumResourceLanguagesW(instance, RT_DIALOG, name, &AddLanguage, reinterpret_cast<LONG_PTR>(&languages));
    std::vector<std::wstring> captions;
    for (const WORD language : languages) {
        const HRSRC found = ::FindResourceExW(instance, RT_DIALOG, name, language);
        const HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
        const auto* words = static_cast<const std::uint16_t*>(loaded ? ::LockResource(loaded) : nullptr);
        if (!words) continue;
        const auto caption = FindDialogCaption(words, ::SizeofResource(instance, found) / sizeof(std::uint16_t));
        if (caption) captions.emplace_back(reinterpret_cast<const wchar_t*>(words + caption->at), caption->length);
    }
    return captions;
}

}  // namespace winfx
