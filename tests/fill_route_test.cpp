#include "fill/fill_route.h"

#include <gtest/gtest.h>

#include "fill/serial_text.h"

namespace {

using namespace vardix;

TEST(FillRoute, WayByTheFocusWindow) {
    const struct {
        FocusFacts facts;
        FillWay way;
    } cases[] = {
        {{"Edit", true, 0x89, true}, FillWay::Paste},                           // an Edit box in a dialog
        {{"Edit", true, 0x89, false}, FillWay::Paste},                          // the only Edit box
        {{"Button", true, 0x2000, true}, FillWay::Paste},                       // a button among others
        {{"Button", true, 0x2010, false}, FillWay::Paste},                      // the only button: mnemonics
        {{"Qt5QWindowIcon", true, 0, false}, FillWay::Type},                    // a toolkit's own boxes
        {{"SunAwtFrame", true, 0x4, false}, FillWay::Type},                     // wants all keys, no selection
        {{"Qt5QWindowIcon", true, 0, true}, FillWay::Paste},                    // another tab stop exists
        {{"Qt5QWindowIcon", false, 0, false}, FillWay::Paste},                  // hung: the paste path's time-outs
        {{"Chrome_RenderWidgetHostHWND", true, 0x89, true}, FillWay::Type},     // WebView2 inside a dialog
        {{"Chrome_WidgetWin_1", true, 0, true}, FillWay::Type},                 // Electron
        {{"Chrome_WidgetWin", true, 0, false}, FillWay::Type},                  // no suffix: not the browser's
        {{"ConsoleWindowClass", true, 0, false}, FillWay::Nothing},             // conhost
        {{"CASCADIA_HOSTING_WINDOW_CLASS", true, 0, false}, FillWay::Nothing},  // Windows Terminal
        {{"mintty", false, 0, false}, FillWay::Nothing},                        // even when hung
        {{"PuTTY", true, 0x4, true}, FillWay::Nothing},                         // even among tab stops
        {{"", false, 0, false}, FillWay::Paste},                                // no focus window
    };
    for (const auto& c : cases) EXPECT_EQ(ChooseFillWay(c.facts), c.way) << c.facts.focusClass;
}

TEST(FillRoute, TypesOnlyIntoSingleLineText) {
    const struct {
        AccessibleFocus focus;
        bool type;
    } cases[] = {
        {{AccessAnswer::Silent, false, 0, 0, 0}, true},                          // no accessibility
        {{AccessAnswer::TimedOut, false, 0, 0, 0}, false},                       // hung
        {{AccessAnswer::Answered, true, kRoleClient, 0, 0}, true},               // only the window, as for any window
        {{AccessAnswer::Answered, false, kRoleClient, 0, 0}, false},             // a pane of the toolkit's own
        {{AccessAnswer::Answered, false, kRoleText, 0, 0}, true},                // a text box
        {{AccessAnswer::Answered, true, kRoleText, 0x100004, 0x2000}, true},     // single-line, focused
        {{AccessAnswer::Answered, false, kRoleText, kStateReadOnly, 0}, false},  // read-only
        {{AccessAnswer::Answered, false, kRoleText, 0, 0x208}, false},           // multi-line
        {{AccessAnswer::Answered, false, 0x2B, 0, 0}, false},                    // a push button
    };
    for (const auto& c : cases) EXPECT_EQ(MayTypeInto(c.focus), c.type) << c.focus.role << " " << c.focus.ia2States;
}

TEST(FillRoute, ReleaseTapsCtrlBeforeAltWinShift) {
    using K = std::vector<KeyStroke>;
    EXPECT_EQ(ReleaseStrokes({}), K{});
    EXPECT_EQ(ReleaseStrokes({kVkControl}), (K{{kVkControl, true}}));
    EXPECT_EQ(ReleaseStrokes({kVkControl, kVkAlt}), (K{{kVkControl, false}, {kVkControl, true}, {kVkAlt, true}}));
    EXPECT_EQ(ReleaseStrokes({kVkShift, kVkLeftWin}),
              (K{{kVkControl, false}, {kVkControl, true}, {kVkShift, true}, {kVkLeftWin, true}}));
}

TEST(FillRoute, WideTextSplitsByTheSameRules) {
    WideSegmentList list;
    ASSERT_TRUE(SplitSerialText(L" \u5e8f\u5217\u53f7: \u0631\u0645-\U0001F511x-EF56 ", list));
    ASSERT_EQ(list.count, 3);
    EXPECT_EQ(list.pieces[0], L"\u0631\u0645");
    EXPECT_EQ(list.pieces[1], L"\U0001F511x");
    EXPECT_EQ(list.pieces[2], L"EF56");
}

}  // namespace
