#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/autostart_command.h"
#include "settings/hotkey_keys.h"
#include "settings/settings_hive.h"
#include "settings/stored_value.h"
#include "winfx/module_name.h"

namespace {

using vardix::VirtualKeyFor;

TEST(HotkeyKeys, UncheckedIndexWrapsLikeThirtyTwoBits) {
    struct Case {
        int index;
        std::uint32_t letter, other;
    };
    const Case cases[] = {
        {21, 0x56, 0x76},  // V and F7
        {-1, 0x40, 0x60}, {26, 0x5B, 0x7B}, {INT_MAX, 0x80000040u, 0x80000060u}, {INT_MIN, 0x80000041u, 0x80000061u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(VirtualKeyFor(vardix::HOTKEY_ID_LETTER, c.index), c.letter);
        EXPECT_EQ(VirtualKeyFor(vardix::HOTKEY_ID_LOWER_CODE, c.index), c.other);
    }
}

TEST(StoredValue, QueriedDword) {
    struct Case {
        bool succeeded;
        std::vector<unsigned char> data;
        std::uint32_t value;
    };
    const Case cases[] = {
        {true, {1, 0, 0, 0}, 1},
        {true, {0, 0, 0, 0}, 0},
        {true, {2, 0, 0, 0}, 2},
        {true, {171, 0, 0, 0}, 171},
        {true, {0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFFu},
        {true, {0x78, 0x56, 0x34, 0x12}, 0x12345678u},
        {false, {1, 0, 0, 0}, 171},
        {false, {1, 0, 0, 0, 0, 0, 0, 0}, 171},
        {true, {1, 0, 0, 0, 0, 0, 0, 0}, 171},
        {true, {0x34, 0x12}, 0x1234},
        {true, {0x00}, 0},
        {true, {}, 171},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.data) + (c.succeeded ? " ok" : " failed"));
        EXPECT_EQ(vardix::QueriedDword(c.succeeded, c.data.data(), c.data.size()), c.value);
    }
    EXPECT_EQ(vardix::QueriedDword(true, nullptr, 4), 171u);
}

TEST(StoredValue, FlagAndHotkeyIndex) {
    for (const std::uint32_t stored : {0u, 2u, 171u, 0x101u, 0xFFFFFFFFu})
        EXPECT_FALSE(vardix::FlagFromStored(stored)) << stored;
    EXPECT_TRUE(vardix::FlagFromStored(1));

    const std::pair<std::uint32_t, int> indices[] = {{171, 21}, {30, 30},          {0, 0},
                                                     {21, 21},  {0xFFFFFFFFu, -1}, {0x80000000u, INT_MIN}};
    for (const auto& [stored, index] : indices) EXPECT_EQ(vardix::HotkeyIndexFromStored(stored), index) << stored;
}

TEST(AutostartCommand, QuotedPathTwoBlanksSwitch) {
    const std::wstring command = vardix::BuildAutostartCommand(L"D:\\Tools\\app.exe");
    EXPECT_EQ(command, L"\"D:\\Tools\\app.exe\"  /runmin");
    EXPECT_EQ(command.size(), 27u);
    EXPECT_EQ(vardix::BuildAutostartCommand(L"C:\\Program Files\\Vardix Tool\\vardix.exe"),
              L"\"C:\\Program Files\\Vardix Tool\\vardix.exe\"  /runmin");
}

TEST(AutostartCommand, RunMinSwitchAnywhereCaseSensitive) {
    struct Case {
        const wchar_t* line;
        bool runMin, quit = false;
    };
    const Case cases[] = {
        {L"\"D:\\Tools\\app.exe\"  /runmin", true},
        {L"app.exe /RUNMIN", false},
        {L"app.exe /RunMin", false},
        {L"app.exe /runminimized", true},
        {L"app.exe x/runmin", true},
        {L"app.exe \"say /runmin now\"", true},
        {L"\"D:\\a/runmin\\app.exe\"", true},
        {L"app.exe /runmi", false},
        {L"app.exe / runmin", false},
        {L"app.exe", false},
        {L"", false},
        {L"\"C:\\Program Files\\Vardix\\vardix.exe\" /quit", false, true},
        {L"app.exe /QUIT /runmin", true, false},
    };
    for (const auto& [line, runMin, quit] : cases) {
        EXPECT_EQ(vardix::HasRunMinSwitch(line), runMin) << testing::PrintToString(std::wstring(line));
        EXPECT_EQ(vardix::HasQuitSwitch(line), quit) << testing::PrintToString(std::wstring(line));
    }
}

TEST(SettingsHive, PerUserOnceItExistsMachineWhereReallyWritable) {
    using vardix::Hive;
    struct Case {
        bool userKey, denied, virtualised;
        Hive read, save;
    };
    const Case cases[] = {
        {false, false, false, Hive::Machine, Hive::Machine},  // elevated, no UAC, Wine
        {false, true, false, Hive::Machine, Hive::User},      // standard user: the first save creates it
        {false, false, true, Hive::Machine, Hive::User},      // 32-bit, VirtualStore
        {false, true, true, Hive::Machine, Hive::User},
        {true, false, false, Hive::User, Hive::User},  // elevated run after a plain one
        {true, true, false, Hive::User, Hive::User},
        {true, false, true, Hive::User, Hive::User},
        {true, true, true, Hive::User, Hive::User},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.userKey << c.denied << c.virtualised);
        const vardix::StoreFacts facts{c.userKey, c.denied, c.virtualised};
        EXPECT_EQ(vardix::SettingsHive(vardix::StoreUse::Read, facts), c.read);
        EXPECT_EQ(vardix::SettingsHive(vardix::StoreUse::Save, facts), c.save);
    }
}

TEST(SettingsHive, NeverTwoRunValues) {
    using vardix::Hive;
    struct Case {
        Hive hive;
        bool startUp, machine, machineStartsExe;
        bool write, report;
    } const cases[] = {
        {Hive::Machine, true, true, true, true, false},  {Hive::User, true, false, false, true, false},
        {Hive::User, true, true, true, false, false},  // a standard user: the machine's value starts Vardix
        {Hive::User, true, true, false, true, false},  // another program's, or another copy's
        {Hive::User, false, false, false, false, false}, {Hive::User, false, true, true, false, true},
        {Hive::Machine, false, true, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.hive == Hive::User) << c.startUp << c.machine << c.machineStartsExe);
        const auto decision = vardix::DecideRunValue({c.hive, c.startUp, c.machine, c.machineStartsExe});
        EXPECT_EQ(std::pair(decision.write, decision.report), std::pair(c.write, c.report));
    }
}

TEST(SettingsHive, CommandProgram) {
    const std::pair<const wchar_t*, std::optional<std::wstring_view>> cases[] = {
        {L"\"c:\\TOOLS\\Vardix.exe\"  /runmin", L"c:\\TOOLS\\Vardix.exe"},
        {L"  C:\\Tools\\vardix.exe /runmin", L"C:\\Tools\\vardix.exe"},
        {L"C:\\Tools\\vardix.exe.bak", L"C:\\Tools\\vardix.exe.bak"},
        {L"\"C:\\Program Files\\Vardix\\vardix.exe", std::nullopt},  // no closing quote
        {L"   ", std::nullopt},
    };
    for (const auto& [command, program] : cases)
        EXPECT_EQ(vardix::CommandProgram(command), program) << testing::PrintToString(std::wstring(command));
}

TEST(ModuleBaseName, FileNameWithoutFolderAndExtension) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\Tools\\vardix.exe", L"vardix"},
        {L"C:\\Tools\\vardix", L"vardix"},
        {L"C:\\my.tools\\vardix", L"vardix"},
        {L"C:\\my.tools\\vardix.exe", L"vardix"},
        {L"C:\\Tools\\vardix.", L"vardix"},
        {L"C:\\Tools\\vardix.1.2.exe", L"vardix.1.2"},
        {L"C:/Tools/vardix.exe", L"vardix"},
        {L"\\\\?\\C:\\Tools\\.vardix", L".vardix"},
        {L"vardix.exe", L"vardix"},
        {L"", L""},
    };
    for (const auto& [path, name] : cases)
        EXPECT_EQ(winfx::ModuleBaseName(path), name) << testing::PrintToString(std::wstring(path));
}

}  // namespace
