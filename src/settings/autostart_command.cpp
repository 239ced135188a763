#include "settings/autostart_command.h"

namespace vardix {

std::wstring BuildAutostartCommand(std::wstring_view exePath) {
    std::wstring command;
    command.reserve(exePath.size() + 2 + 2 + kRunMinSwitch.size());
    command += L'"';
    command += exePath;
    command += L"\"  ";
    command += kRunMinSwitch;
    return command;
}

bool HasRunMinSwitch(std::wstring_view commandLine) {
    return commandLine.find(kRunMinSwitch) != std::wstring_view::npos;
}

bool HasQuitSwitch(std::wstring_view commandLine) { return commandLine.find(kQuitSwitch) != std::wstring_view::npos; }

}  // namespace vardix
