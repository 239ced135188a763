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

constexpr Rect kLeft{10, 15, 110, 39};
constexpr Rect kBox{120, 15, 220, 39};  // the box the fill is in
constexpr Rect kRight{230, 15, 330, 39};
constexpr Rect kFar{450, 15, 550, 39};
constexpr Rect kBelow{10, 50, 110, 74};
constexpr std::optional<std::uint32_t> kEdit = 0x89;  // wants characters and arrows, selects text
constexpr std::optional<std::uint32_t> kButton = 0x2010;

TEST(FillPlan, NextBoxInReadingOrder) {
    const struct {
        bool rtl, edit;
        Candidate forward, backward;
        std::optional<std::uint32_t> forwardCode, backwardCode;
        Step step;
        int asked;
    } cases[] = {
        {false, true, {true, kRight}, {true, kLeft}, kEdit, kEdit, Step::Forward, 1},    // the same row
        {false, false, {true, kRight}, {true, kLeft}, kEdit, kEdit, Step::Forward, 1},   // a framework's box
        {false, false, {true, kLeft}, {true, kRight}, kEdit, kEdit, Step::Backward, 1},  // window order reversed
        {false, true, {true, kBelow}, {}, kEdit, kEdit, Step::Forward, 1},               // a lower row
        {true, true, {true, kRight}, {true, kLeft}, kEdit, kEdit, Step::Backward, 1},    // right to left
        {false, true, {true, kFar}, {true, kRight}, kEdit, kEdit, Step::Backward, 1},    // both after: the nearer
        {false, true, {true, kBelow}, {true, kFar}, kEdit, kEdit, Step::Backward, 1},    // the row before a lower one
        {false, true, {true, {}}, {true, kLeft}, kEdit, kEdit, Step::Forward, 1},        // the screen cannot tell
        {false, false, {true, {}}, {true, {}}, kEdit, kEdit, Step::Backward, 1},         // ... neither
        {false, true, {true, kLeft}, {true, {120, -20, 220, 4}}, kEdit, kEdit, Step::Nowhere, 0},  // a lone box
        {false, true, {true, kRight}, {true, kFar}, kButton, kEdit, Step::Backward, 2},  // the nearer is no box
        {false, true, {true, kRight}, {true, kLeft}, {}, kEdit, Step::Nowhere, 1},       // no answer
        {false, true, {false, kRight}, {}, kEdit, kEdit, Step::Nowhere, 0},              // filled already
        {false, true, {true, {0, 27, 9, 51}}, {true, {0, 28, 9, 52}}, kEdit, kEdit, Step::Backward, 1},  // half overlap

    };
    for (const auto& c : cases) {
        int asked = 0;
        const vardix::StepFacts facts{kBox, c.rtl, c.edit, c.forward, c.backward};
        const Step step = vardix::NextBox(facts, [&](Step way) {
            ++asked;
            return way == Step::Forward ? c.forwardCode : c.backwardCode;
        });
        EXPECT_EQ(std::make_pair(step, asked), std::make_pair(c.step, c.asked)) << &c - cases;
    }
}

TEST(FillPlan, LoneBoxTakesTheWholeCodeWhereItFits) {
    EXPECT_TRUE(vardix::TakesWholeCode(kEdit, 14, 14));
    EXPECT_FALSE(vardix::TakesWholeCode(kEdit, 14, 13));
}

}  // namespace
