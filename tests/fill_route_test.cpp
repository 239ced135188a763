#include "fill/fill_route.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using namespace vardix;

AccessibleFocus Focus(AccessAnswer answer, bool self, long role, long state = 0, long ia2States = 0, bool ia2 = false,
                      long child = 0, ScreenBox box = {}) {
    return {answer, self, role, state, ia2States, ia2, child, box, L""};
}

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
        {{"Chrome_RenderWidgetHostHWND", false, 0, true}, FillWay::Type},       // busy: asked, never pasted
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
    constexpr auto A = AccessAnswer::Answered;
    const ScreenBox line{0, 0, 100, 24};
    const ScreenBox tall{0, 0, 100, 40};
    const long scaled = LineHeightAt(16, 96, 144);  // 150 %: the box in the window's pixels
    const struct {
        AccessibleFocus focus;
        bool type;
        bool again;  // asked once more before deciding
        long textHeight = 16;
    } cases[] = {
        {Focus(AccessAnswer::Silent, false, 0), true, false},                       // no accessibility
        {Focus(AccessAnswer::Empty, false, 0), false, true},                        // own, names no focus or no role
        {Focus(AccessAnswer::TimedOut, false, 0), false, false},                    // hung
        {Focus(A, true, kRoleClient), false, true},                                 // own, names only the window
        {Focus(A, false, kRoleClient), false, false},                               // a pane of the toolkit's own
        {Focus(A, false, kRoleDocument), false, true},                              // a fresh Chromium's document
        {Focus(A, false, kRoleText, 0, 0, false, 1, line), true, false},            // a text box
        {Focus(A, true, kRoleText, 0x100004, 0x2000, true, 0, tall), true, false},  // IAccessible2: single-line
        {Focus(A, false, kRoleText, kStateReadOnly, 0, false, 1, line), false, false},  // read-only
        {Focus(A, false, kRoleText, 0, 0x208, true, 0, line), false, false},            // IAccessible2: multi-line
        {Focus(A, false, kRoleText, 0, 0, false, 1, tall), false, false},  // no IAccessible2, over two lines
        {Focus(A, false, 0x2B, 0, 0, false, 5, line), false, false},       // a push button
        {Focus(A, false, kRoleText, 0, 0, false, 1, {0, 0, 100, 35}), true, false, scaled},   // one line, 23 DIP
        {Focus(A, false, kRoleText, 0, 0, false, 1, {0, 0, 100, 70}), false, false, scaled},  // three lines
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MayTypeInto(c.focus, c.textHeight), c.type) << c.focus.role << " " << c.focus.box.height;
        EXPECT_EQ(AsksAgain(c.focus), c.again) << c.focus.role;
    }
}

TEST(FillRoute, FocusEventCountsForANewTextOnly) {
    constexpr auto A = AccessAnswer::Answered;
    const AccessibleFocus box1 = Focus(A, false, kRoleText, 0, 0, false, 1, {10, 0, 100, 24});
    const AccessibleFocus box2 = Focus(A, false, kRoleText, 0, 0, false, 2, {120, 0, 100, 24});
    const AccessibleFocus moved = Focus(A, false, kRoleText, 0, 0, false, 0, {120, 0, 100, 24});
    const AccessibleFocus item = Focus(A, false, 0x22, 0, 0, false, 100, {10, 30, 100, 20});
    const FocusEvent first{7, -4, 1};
    const struct {
        FocusEvent event;
        const FocusEvent* last;  // the event of the box typed into, where known
        AccessibleFocus named;
        bool counts;
    } all[] = {
        {{7, -4, 2}, &first, box2, true},     // the next box
        {{7, -4, 0}, nullptr, moved, true},   // another object, elsewhere; the box's event unknown
        {first, &first, box2, false},         // the box's own event again, whatever it names now
        {{7, -4, 1}, nullptr, box1, false},   // names the box just typed into
        {{7, -4, 100}, &first, item, false},  // a list's highlighted item
    };
    for (const auto& c : all) EXPECT_EQ(IsMoveToNewText(c.event, c.last, c.named, box1), c.counts) << c.event.child;
}

TEST(FillRoute, ControlCharactersAreNotTyped) {
    const struct {
        std::vector<std::wstring> pieces;
        bool control;
    } cases[] = {
        {{L"AB 12", L"\u00e9\u0631\u00a0x", L"~"}, false},  // letters, spaces, tilde
        {{L"\x1f"}, true},                                  // below U+0020
        {{L"A\x7f"}, true},                                 // DEL
        {{L"\x9f"}, true},                                  // the C1 controls' last
    };
    for (const auto& c : cases) EXPECT_EQ(HasControlCharacter(c.pieces), c.control) << c.pieces.size();
}

TEST(FillRoute, ReleaseTapsCtrlBeforeAltWinShiftEachByItsSide) {
    using K = std::vector<KeyStroke>;
    const KeyStroke tapDown{kVkLeftControl, false, false};
    const KeyStroke tapUp{kVkLeftControl, true, false};
    EXPECT_EQ(ReleaseStrokes({kVkLeftControl}), (K{tapUp}));
    EXPECT_EQ(ReleaseStrokes({kVkRightControl}), (K{{kVkRightControl, true, true}}));
    EXPECT_EQ(ReleaseStrokes({kVkLeftControl, kVkRightAlt}), (K{tapDown, tapUp, {kVkRightAlt, true, true}}));
    EXPECT_EQ(ReleaseStrokes({kVkRightControl, kVkLeftAlt}),
              (K{tapDown, tapUp, {kVkRightControl, true, true}, {kVkLeftAlt, true, false}}));
    EXPECT_EQ(ReleaseStrokes({kVkRightShift, kVkLeftWin, kVkRightWin}),
              (K{tapDown, tapUp, {kVkRightShift, true, false}, {kVkLeftWin, true, true}, {kVkRightWin, true, true}}));
}

TEST(FillRoute, TypesOnceEveryKeyOfThePressIsUp) {
    using S = ReleaseStep;
    const std::pair<KeyWait, ReleaseStep> cases[] = {
        {{true, true, 1500, 0, {}}, S::Wait},     // the letter held 1.5 s
        {{true, true, 10000, 0, {}}, S::GiveUp},  // held on and on
        {{false, true, 1500, 500, {}}, S::Wait},  // Ctrl and Alt still held after the letter
        {{false, true, 1500, 1000, {}}, S::Release}, {{false, false, 1500, 0, {}}, S::Type},
        {{false, true, 2500, 1020, 20}, S::Wait},    // released: the key-ups on their way
        {{false, true, 2600, 1050, 50}, S::GiveUp},  // released, and Alt still down
        {{false, false, 2600, 1050, 50}, S::Type},
    };
    for (const auto& [wait, step] : cases)
        EXPECT_EQ(NextReleaseStep(wait), step) << wait.letterDown << wait.modifierDown << " " << wait.waitedMs;
}

}  // namespace
