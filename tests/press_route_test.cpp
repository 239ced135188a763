#include "fill/press_route.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
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
    const std::pair<ExeFacts, bool> cases[] = {
        {{true, false, false, false, false}, true},    // Program Files
        {{false, false, false, false, false}, false},  // the check could not be made
        {{true, true, false, false, false}, false},    // the exe can be overwritten
        {{true, false, true, false, false}, false},    // or deleted and put back
        {{true, false, false, true, false}, false},    // a DLL can be put beside it (Downloads)
        {{true, false, false, false, true}, false},    // its folder can be renamed and made anew
    };
    for (const auto& [facts, elevate] : cases)
        EXPECT_EQ(MayElevate(facts), elevate)
            << facts.checked << facts.writeExe << facts.deleteExe << facts.addToFolder << facts.replaceFolder;
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
