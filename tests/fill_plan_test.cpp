#include "fill/fill_plan.h"

#include <gtest/gtest.h>

namespace {

using vardix::FillTrace;
using vardix::LoneBoxFacts;

TEST(FillPlan, PressedAgainStartsFromTheFirstBox) {
    const FillTrace last{10, 21, 24, "AB-CD"};
    const struct {
        FillTrace last;
        std::uintptr_t window, focus;
        const char* code;
        std::uintptr_t start;
    } cases[] = {
        {last, 10, 24, "AB-CD", 21},                  // the focus still where the fill ended
        {last, 10, 22, "AB-CD", 22},                  // the user moved on to another box
        {last, 10, 21, "AB-CD", 21},                  // back in the first box by hand
        {last, 11, 24, "AB-CD", 24},                  // the same handle in another window
        {last, 10, 24, "AB-CE", 24},                  // another code
        {FillTrace{}, 0, 0, "", 0},                   // nothing filled yet, no focus
        {{10, 0, 24, "AB-CD"}, 10, 24, "AB-CD", 24},  // the last fill had no box to start from
    };
    for (const auto& c : cases)
        EXPECT_EQ(vardix::StartingBox(c.last, c.window, c.focus, c.code), c.start) << c.window << " " << c.focus;
}

TEST(FillPlan, LoneBoxTakesTheWholeCode) {
    constexpr std::uint32_t kEdit = 0x89;      // wants characters and arrows, selects text
    constexpr std::uint32_t kButton = 0x2010;  // a push button
    const struct {
        LoneBoxFacts facts;
        bool whole;
    } cases[] = {
        {{kEdit, true, kButton, true, 14, 30000}, true},     // a button as the next tab stop
        {{kEdit, false, 0, false, 14, 30000}, true},         // no other tab stop, or only the box itself
        {{kEdit, true, kEdit, true, 14, 30000}, false},      // another box follows: the pieces
        {{kEdit, false, 0, true, 14, 30000}, false},         // the next one did not say what it is
        {{kEdit, true, kButton, true, 14, 14}, true},        // just fits
        {{kEdit, true, kButton, true, 14, 13}, false},       // too short: the next box may come once it is full
        {{kButton, true, kButton, true, 14, 30000}, false},  // the focus on a button
    };
    for (const auto& c : cases) EXPECT_EQ(vardix::TakesWholeCode(c.facts), c.whole) << c.facts.limit;
}

}  // namespace
