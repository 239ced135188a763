#include "fill/fill_plan.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>

namespace {

using vardix::Candidate;
using vardix::FillTrace;
using vardix::Rect;
using vardix::Step;

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

constexpr std::uint32_t kEdit = 0x89;      // wants characters and arrows, selects text
constexpr std::uint32_t kButton = 0x2010;  // a push button
constexpr Rect kBox{120, 15, 220, 39};     // the box the fill is in
constexpr Rect kLeft{10, 15, 110, 39};
constexpr Rect kRight{230, 15, 330, 39};
constexpr Rect kFar{450, 15, 550, 39};
constexpr Rect kBelow{10, 50, 110, 74};
constexpr Rect kAbove{120, -20, 220, 4};

TEST(FillPlan, NextBoxInReadingOrder) {
    const std::optional<std::uint32_t> box = kEdit;
    const std::optional<std::uint32_t> none;
    const struct {
        const char* what;
        Rect current;
        bool rtl, edit;
        Candidate forward, backward;
        std::optional<std::uint32_t> forwardCode, backwardCode;
        Step step;
        int asked;
    } cases[] = {
        {"same row, Edit", kBox, false, true, {true, kRight}, {true, kLeft}, box, box, Step::Forward, 1},
        {"same row, a framework's box", kBox, false, false, {true, kRight}, {true, kLeft}, box, box, Step::Forward, 1},
        {"window order reversed", kBox, false, false, {true, kLeft}, {true, kRight}, box, box, Step::Backward, 1},
        {"lower row", kBox, false, true, {true, kBelow}, {}, box, none, Step::Forward, 1},
        {"right to left", kBox, true, true, {true, kRight}, {true, kLeft}, box, box, Step::Backward, 1},
        {"half the height overlaps: the same row, before; less: lower",
         kBox,
         false,
         true,
         {true, {0, 27, 100, 51}},
         {true, {0, 28, 100, 52}},
         box,
         box,
         Step::Backward,
         1},
        {"both after: the nearer", kBox, false, true, {true, kFar}, {true, kRight}, box, box, Step::Backward, 1},
        {"the same row before a lower one",
         kBox,
         false,
         true,
         {true, kBelow},
         {true, kFar},
         box,
         box,
         Step::Backward,
         1},
        {"the screen cannot tell: Edit forward",
         {},
         false,
         true,
         {true, kRight},
         {true, kLeft},
         box,
         box,
         Step::Forward,
         1},
        {"the screen cannot tell: others backward",
         {},
         false,
         false,
         {true, kRight},
         {true, kLeft},
         box,
         box,
         Step::Backward,
         1},
        {"neither after: a lone box", kBox, false, true, {true, kLeft}, {true, kAbove}, box, box, Step::Nowhere, 0},
        {"the nearer no box", kBox, false, true, {true, kRight}, {true, kFar}, kButton, box, Step::Backward, 2},
        {"no answer", kBox, false, true, {true, kRight}, {true, kLeft}, none, box, Step::Nowhere, 1},
        {"filled already", kBox, false, true, {false, kRight}, {}, box, box, Step::Nowhere, 0},
    };
    for (const auto& c : cases) {
        int asked = 0;
        const vardix::StepFacts facts{c.current, c.rtl, c.edit, c.forward, c.backward};
        const Step step = vardix::NextBox(facts, [&](Step way) {
            ++asked;
            return way == Step::Forward ? c.forwardCode : c.backwardCode;
        });
        EXPECT_EQ(std::make_pair(step, asked), std::make_pair(c.step, c.asked)) << c.what;
    }
}

TEST(FillPlan, LoneBoxTakesTheWholeCode) {
    EXPECT_TRUE(vardix::TakesWholeCode(kEdit, 14, 30000));
    EXPECT_TRUE(vardix::TakesWholeCode(kEdit, 14, 14));
    // Too short: the next box may come once it is full.
    EXPECT_FALSE(vardix::TakesWholeCode(kEdit, 14, 13));
    EXPECT_FALSE(vardix::TakesWholeCode(std::nullopt, 14, 30000));
}

}  // namespace
