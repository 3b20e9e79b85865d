#include "controller/saver_logic.h"

#include <gtest/gtest.h>

#include <string>

using namespace vandrel;

TEST(SaverSettings, IntegersReadLikeTheProfileFile) {
    EXPECT_EQ(parseSettingInt("15abc"), 15);
    EXPECT_EQ(parseSettingInt(" 7"), 7);
    EXPECT_EQ(parseSettingInt("x"), 0);
    EXPECT_EQ(parseSettingInt(""), 0);
    EXPECT_EQ(parseSettingInt("-3"), -3);
    EXPECT_EQ(parseSettingInt("+12"), 12);
    EXPECT_EQ(parseSettingInt("- 3"), 0);
    EXPECT_EQ(parseSettingInt("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(parseSettingInt("-2147483648"), INT32_MIN);
}

TEST(SaverSettings, StartedPathsAreQuotedAndNeverCut) {
    char out[64];
    ASSERT_TRUE(buildWorkerCommandLine("C:\\Program Files\\w.exe", out, sizeof out));
    EXPECT_STREQ(out, "\"C:\\Program Files\\w.exe\" -min");
    EXPECT_FALSE(buildWorkerCommandLine(std::string(70, 'a').c_str(), out, sizeof out));
    EXPECT_STREQ(out, "");

    ASSERT_TRUE(buildHelpPath("D:\\work dir", "C:\\cur", out, sizeof out));
    EXPECT_STREQ(out, "D:\\work dir\\windows_help.txt");
    ASSERT_TRUE(buildHelpPath("", "C:\\cur", out, sizeof out));
    EXPECT_STREQ(out, "C:\\cur\\windows_help.txt");
    ASSERT_TRUE(buildHelpPath("", "C:\\", out, sizeof out));
    EXPECT_STREQ(out, "C:\\windows_help.txt");

    ASSERT_TRUE(buildHelpCommandLine("C:\\a b\\view.exe", "C:\\h x.txt", out, sizeof out));
    EXPECT_STREQ(out, "\"C:\\a b\\view.exe\" \"C:\\h x.txt\"");
}

TEST(SaverController, DisplayModeAndCanvasPlacement) {
    EXPECT_EQ(displayModeForWidth(639), DisplayMode::Label);
    EXPECT_EQ(displayModeForWidth(640), DisplayMode::Quiet);
    EXPECT_EQ(displayModeForWidth(799), DisplayMode::Quiet);
    EXPECT_EQ(displayModeForWidth(800), DisplayMode::Full);
    Point o = canvasOrigin(800, 600);
    EXPECT_EQ(o.x, 24);
    EXPECT_EQ(o.y, 77);
    o = canvasOrigin(751, 444);  // halves truncate toward zero
    EXPECT_EQ(o.x, 0);
    EXPECT_EQ(o.y, 0);
}

TEST(SaverController, ScreensScaleAndPlacement) {
    // Virtual screens: a monitor right of, then left of and above the primary; metrics
    // that miss the primary fall back to it.
    ScreenCover c = coverScreens({0, 0, 1824, 768}, 800, 600);
    EXPECT_EQ(c.window, (Rect{0, 0, 1824, 768}));
    EXPECT_EQ(c.primary, (Rect{0, 0, 800, 600}));
    c = coverScreens({-1024, -168, 800, 600}, 800, 600);
    EXPECT_EQ(c.window, (Rect{-1024, -168, 800, 600}));
    EXPECT_EQ(c.primary, (Rect{1024, 168, 1824, 768}));
    EXPECT_EQ(coverScreens({0, 0, 0, 0}, 800, 600).window, (Rect{0, 0, 800, 600}));
    EXPECT_EQ(coverScreens({100, 0, 900, 600}, 800, 600).window, (Rect{0, 0, 800, 600}));

    struct Case {
        int32_t setting, width, height, scale;
    } cases[] = {{0, 800, 600, 1},   {0, 1599, 1200, 1}, {0, 1600, 1200, 2}, {0, 2560, 1440, 2},
                 {0, 3840, 2160, 3}, {0, 640, 480, 1},   {0, 0, 0, 1},       {1, 3840, 2160, 1},
                 {2, 800, 600, 1},   {8, 3840, 2160, 4}, {4, 1504, 890, 2},  {9, 1600, 1200, 2},
                 {-1, 1600, 1200, 2}};
    for (const Case& k : cases) {
        EXPECT_EQ(dashboardScale(k.setting, k.width, k.height), k.scale)
            << k.setting << " at " << k.width << "x" << k.height;
    }
    EXPECT_EQ(parseScaleSetting("3"), 3);
    EXPECT_EQ(parseScaleSetting(" 8"), 8);
    EXPECT_EQ(parseScaleSetting("9"), 0);
    EXPECT_EQ(parseScaleSetting("-2"), 0);
    EXPECT_EQ(parseScaleSetting("big"), 0);
    EXPECT_EQ(parseScaleSetting("99999999999"), 0);

    // The single 800 x 600 screen is unchanged; 2x at 1600 x 1200 centres the doubled
    // canvas; a primary right of a left monitor carries its offset.
    Placement p = placeDashboard({0, 0, 800, 600}, 0);
    EXPECT_EQ(p.scale, 1);
    EXPECT_EQ(p.canvasOrigin.x, 24);
    EXPECT_EQ(p.canvasOrigin.y, 77);
    p = placeDashboard({1024, 168, 2624, 1368}, 0);
    EXPECT_EQ(p.scale, 2);
    EXPECT_EQ(p.canvasOrigin.x, 1024 + 48);
    EXPECT_EQ(p.canvasOrigin.y, 168 + 155);
    EXPECT_EQ(canvasToClient({10, 20, 30, 40}, p), (Rect{1092, 363, 1132, 403}));
    EXPECT_EQ(bannerTop(p), 168 + 20);  // 10 canvas pixels down the primary
    // A window area maps back to the whole canvas pixels that cover it, clipped.
    EXPECT_EQ(clientToCanvas({1093, 364, 1131, 402}, p), (Rect{10, 20, 30, 40}));
    EXPECT_EQ(clientToCanvas({0, 0, 5000, 5000}, p), (Rect{0, 0, 752, 445}));
    EXPECT_EQ(clientToCanvas({0, 0, 1000, 300}, p), (Rect{0, 0, 0, 0}));
    EXPECT_EQ(clientToCanvas({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, p),
              (Rect{0, 0, 752, 445}));
}

TEST(SaverController, BannerCrossesTheScreenIn24Seconds) {
    EXPECT_EQ(bannerX(800, 400, 0), 800);
    EXPECT_EQ(bannerX(800, 400, 12000), 200);
    EXPECT_EQ(bannerX(800, 400, 23999), -399);
    EXPECT_EQ(bannerX(800, 400, 24000), -400);
}

TEST(SaverController, BlankDeadlineSurvivesOverflowAndTickWrap) {
    EXPECT_FALSE(blankDeadlineFor(1000, 0, 5).armed);
    BlankDeadline d = blankDeadlineFor(1000, 1, 5);
    ASSERT_TRUE(d.armed);
    EXPECT_EQ(d.tick, 301000u);
    EXPECT_FALSE(deadlinePassed(301000, d.tick));
    EXPECT_TRUE(deadlinePassed(301001, d.tick));

    // Minutes * 60000 overflows 32 bits: far beyond a tick difference, so never.
    EXPECT_FALSE(blankDeadlineFor(0, 1, 100000).armed);
    EXPECT_FALSE(blankDeadlineFor(0, 1, INT32_MAX).armed);
    // 35791 minutes still fits a signed difference.
    EXPECT_TRUE(blankDeadlineFor(0, 1, 35791).armed);
    EXPECT_FALSE(blankDeadlineFor(0, 1, 35792).armed);
    // A negative delay blanks at once rather than wrapping into the far future.
    BlankDeadline n = blankDeadlineFor(5000, 1, -10);
    ASSERT_TRUE(n.armed);
    EXPECT_TRUE(deadlinePassed(5001, n.tick));

    // A deadline across the 49.7-day wrap: not passed before, passed after.
    BlankDeadline w = blankDeadlineFor(0xFFFFFF00u, 1, 1);
    ASSERT_TRUE(w.armed);
    EXPECT_EQ(w.tick, 0xFFFFFF00u + 60000u);
    EXPECT_FALSE(deadlinePassed(0xFFFFFFF0u, w.tick));
    EXPECT_FALSE(deadlinePassed(100, w.tick));
    EXPECT_TRUE(deadlinePassed(70000, w.tick));
}

TEST(SaverController, StatesStepOncePerTick) {
    ControllerLogic c;
    c.create(639, 0, 1, 0);
    EXPECT_EQ(c.tick(100, true, false, 0).action, TickAction::DrawLabel);
    EXPECT_EQ(c.blankPhase(), BlankPhase::Awake);

    c.create(700, 0, 1, 0);
    EXPECT_EQ(c.tick(100, true, true, 0).action, TickAction::None);
    EXPECT_EQ(c.state(), ControllerState::Start);

    // Attached at creation: Start -> Running, then updates; the first copy is forced.
    c.create(800, 0, 0, 0);
    EXPECT_EQ(c.tick(33, true, false, 0).action, TickAction::None);
    EXPECT_EQ(c.state(), ControllerState::Running);
    EXPECT_EQ(c.tick(66, true, false, 0).action, TickAction::Update);
    EXPECT_FALSE(c.canvasOnScreen());
    EXPECT_EQ(c.shouldCopyCanvas(false), CanvasCopy::Whole);
    EXPECT_TRUE(c.canvasOnScreen());
    EXPECT_EQ(c.tick(99, true, false, 0).action, TickAction::Update);
    EXPECT_EQ(c.shouldCopyCanvas(false), CanvasCopy::None);
    EXPECT_EQ(c.shouldCopyCanvas(true), CanvasCopy::Drawn);
    EXPECT_EQ(c.blankPhase(), BlankPhase::Awake);  // Blank = 0 never blanks

    // Missing at creation: Connect; a failed attach ends the saver, a good one runs.
    c.create(1024, 0, 0, 0);
    c.tick(33, false, false, 0);
    EXPECT_EQ(c.state(), ControllerState::Connect);
    EXPECT_EQ(c.tick(66, false, false, 0).action, TickAction::Connect);
    EXPECT_FALSE(c.connectResult(false));
    EXPECT_EQ(c.state(), ControllerState::Connect);
    EXPECT_TRUE(c.connectResult(true));
    EXPECT_EQ(c.state(), ControllerState::Running);
    EXPECT_EQ(c.tick(99, true, false, 0).action, TickAction::Update);
    EXPECT_EQ(c.shouldCopyCanvas(false), CanvasCopy::Whole);

    // The record went away: connect again, then copy the new dashboard whole.
    c.reconnect();
    EXPECT_FALSE(c.canvasOnScreen());
    EXPECT_EQ(c.tick(132, false, false, 0).action, TickAction::Connect);
    c.connectResult(true);
    EXPECT_EQ(c.tick(165, true, false, 0).action, TickAction::Update);
    EXPECT_EQ(c.shouldCopyCanvas(false), CanvasCopy::Whole);
    EXPECT_EQ(c.displayMode(), DisplayMode::Full);
}

TEST(SaverController, BlankingAndBannerPasses) {
    // Blank = 1, Minutes = 0: the first tick marks pending and starts running, the
    // second clears, and the dashboard is never updated.
    ControllerLogic c;
    c.create(800, 1000, 1, 0);
    EXPECT_EQ(c.tick(1033, true, false, 300).action, TickAction::None);
    EXPECT_EQ(c.blankPhase(), BlankPhase::BlankPending);
    EXPECT_EQ(c.state(), ControllerState::Running);
    EXPECT_EQ(c.tick(1066, true, false, 300).action, TickAction::ClearScreen);
    c.cleared(1066);
    EXPECT_EQ(c.blankPhase(), BlankPhase::Blanked);

    // No message: nothing drawn. A message from the start: enters from the right edge.
    EXPECT_EQ(c.tick(1099, true, false, 300).action, TickAction::None);
    TickPlan p = c.tick(1066, true, true, 300);
    EXPECT_EQ(p.action, TickAction::DrawBanner);
    EXPECT_EQ(p.bannerX, 800);
    p = c.tick(1066 + 12000, true, true, 300);
    EXPECT_EQ(p.bannerX, 800 - 1100 / 2);

    // After more than a pass of silence the first tick only restarts the pass.
    EXPECT_EQ(c.tick(1066 + 30000, true, true, 300).action, TickAction::None);
    p = c.tick(1066 + 30033, true, true, 300);
    EXPECT_EQ(p.action, TickAction::DrawBanner);
    EXPECT_EQ(p.bannerX, 800 - (1100 * 33) / 24000);

    // A resize mid-pass: the banner travels the new width; the display mode stays.
    c.resized(1600);
    p = c.tick(1066 + 30000 + 12000, true, true, 300);
    EXPECT_EQ(p.bannerX, 1600 - 1900 / 2);
    c.resized(500);
    EXPECT_EQ(c.displayMode(), DisplayMode::Full);

    // A deadline that passes while still connecting takes effect once running.
    c.create(800, 0, 1, 0);
    c.tick(33, false, false, 0);
    EXPECT_EQ(c.blankPhase(), BlankPhase::BlankPending);
    EXPECT_EQ(c.tick(66, false, false, 0).action, TickAction::Connect);
    c.connectResult(true);
    EXPECT_EQ(c.tick(99, true, false, 0).action, TickAction::ClearScreen);
}
