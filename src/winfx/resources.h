#pragma once
// Texts of the application's resources, in the language that Windows picks
// for the user's UI language.

#include <windows.h>

#include <string>
#include <vector>

namespace winfx {

// A string of the string table; empty when there is none.
std::wstring LoadText(UINT id);

// The caption of a dialog template in each language the resources hold it
// in, whichever the user's is.
std::vector<std::wstring> DialogCaptions(UINT templateId);

}  // namespace winfx
