#include "fill/press_route.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "fill/fill_command.h"

namespace {

using namespace vardix;

TEST(PressRoute, DecidedBeforeConsentIsAsked) {
    const struct {
        PressFacts facts;
        PressRoute route;
    } cases[] = {
        {{true, "#32770", "Edit", false, false, FillWay::Paste}, PressRoute::Paste},
        {{true, "Qt5QWindowIcon", "Qt5QWindowIcon", false, false, FillWay::Type}, PressRoute::Type},
        {{true, "Qt5QWindowIcon", "Qt5QWindowIcon", false, false, FillWay::Nothing}, PressRoute::Nothing},
        {{false, "#32770", "Edit", false, false, FillWay::Paste}, PressRoute::Nothing},  // no code
        {{true, "#32770", "Edit", true, true}, PressRoute::Elevated},                    // an elevated installer
        {{true, "#32770", "Edit", true, false}, PressRoute::NotElevated},                // a copy anyone can change
        {{false, "#32770", "Edit", true, true}, PressRoute::Nothing},                    // no code: no prompt
        {{true, "ConsoleWindowClass", "ConsoleWindowClass", true, true}, PressRoute::Nothing},  // elevated console
        {{true, "CASCADIA_HOSTING_WINDOW_CLASS", "InputSite", true, true}, PressRoute::Nothing},
        {{true, "#32770", "mintty", true, false}, PressRoute::Nothing},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChoosePressRoute(c.facts), c.route) << c.facts.foregroundClass << " " << c.facts.refusedForRights;
}

TEST(PressRoute, ElevatesOnlyWhatNoStandardUserCanChange) {
    constexpr unsigned long kRead = 0x1200A9;  // FILE_GENERIC_READ | FILE_EXECUTE
    const std::optional<unsigned long> none;
    const struct {
        CopyAccess access;
        bool elevate;
    } cases[] = {
        {{kRead, kRead, {kRead, kRead}}, true},                        // C:\Program Files\Vardix
        {{none, kRead, {kRead, kRead}}, false},                        // a check that could not be made
        {{kRead | kAccessAddFile, kRead, {kRead}}, false},             // the exe can be overwritten
        {{kRead | kAccessWriteDac, kRead, {kRead}}, false},            // or re-permitted
        {{kRead, kRead | kAccessDeleteChild, {kRead}}, false},         // or deleted and put back
        {{kRead, kRead | kAccessAddFile, {kRead}}, false},             // a DLL beside it (Downloads)
        {{kRead, kRead | kAccessWriteOwner, {kRead}}, false},          // the folder taken over
        {{kRead, kRead, {kRead | kAccessWriteDac, kRead}}, false},     // a user's own D:\Apps: owners re-permit
        {{kRead, kRead, {kRead, kRead | kAccessDeleteChild}}, false},  // a folder higher up swapped
        {{kRead, kRead, {kRead | kAccessAddFile | kAccessAddSubfolder}}, true},  // a root users may add to
    };
    for (const auto& c : cases)
        EXPECT_EQ(MayElevate(c.access), c.elevate) << c.access.exe.value_or(0) << " " << c.access.folder.value_or(0);
}

TEST(PressRoute, CopyPlacesUpToTheRoot) {
    using Places = std::optional<std::tuple<std::wstring, std::wstring, std::vector<std::wstring>>>;
    const std::pair<std::wstring_view, Places> cases[] = {
        {L"\\\\?\\C:\\Program Files\\Vardix\\vardix.exe",
         std::tuple(L"C:\\Program Files\\Vardix\\vardix.exe", L"C:\\Program Files\\Vardix",
                    std::vector<std::wstring>{L"C:\\Program Files", L"C:\\"})},
        {L"\\\\?\\D:\\Vardix\\vardix.exe",
         std::tuple(L"D:\\Vardix\\vardix.exe", L"D:\\Vardix", std::vector<std::wstring>{L"D:\\"})},
        {L"\\\\?\\D:\\vardix.exe", std::tuple(L"D:\\vardix.exe", L"D:\\", std::vector<std::wstring>{})},
        {L"\\\\?\\UNC\\srv\\apps\\v\\vardix.exe", std::tuple(L"\\\\srv\\apps\\v\\vardix.exe", L"\\\\srv\\apps\\v",
                                                             std::vector<std::wstring>{L"\\\\srv\\apps\\"})},
        {L"\\\\?\\D:\\Vardix.\\vardix.exe", std::nullopt},  // plainly D:\Vardix, another folder
        {L"\\\\?\\Volume{1b3c}\\vardix.exe", std::nullopt},
        {L"", std::nullopt},  // the file could not be opened
    };
    for (const auto& [path, places] : cases) {
        const auto found = PlacesOf(path);
        EXPECT_EQ(found ? Places(std::tuple(found->exe, found->folder, found->ancestors)) : std::nullopt, places)
            << testing::PrintToString(std::wstring(path));
    }
}

TEST(FillCommand, Arguments) {
    const std::wstring max64 = L"18446744073709551615";
    const std::pair<std::vector<std::wstring>, std::optional<vardix::FillRequest>> cases[] = {
        {{L"/fill", L"132456", L"4242", L"0"}, vardix::FillRequest{132456, 4242, 0}},
        {{L"/fill", max64, L"4294967295", max64}, vardix::FillRequest{UINT64_MAX, UINT32_MAX, UINT64_MAX}},
        {{L"/fill", L"18446744073709551616", L"1", L"2"}, std::nullopt},
        {{L"/fill", L"1", L"2", L"0x10"}, std::nullopt},
        {{L"/fill", L"1", L"2"}, std::nullopt},
    };
    const auto numbers = [](const std::optional<vardix::FillRequest>& r) {
        return r ? std::optional(std::tuple(r->window, r->process, r->box)) : std::nullopt;
    };
    for (const auto& [arguments, request] : cases)
        EXPECT_EQ(numbers(vardix::ParseFillArguments(arguments)), numbers(request))
            << testing::PrintToString(arguments);
    EXPECT_EQ(vardix::BuildFillArguments({UINT64_MAX, 7, 9}), L"/fill " + max64 + L" 7 9");
}

}  // namespace
