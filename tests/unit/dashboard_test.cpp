#include <gtest/gtest.h>

#include "render/dashboard.h"
#include "test_record.h"

namespace vandrel {
namespace {

TEST(DashboardLayout, RectanglesFollowTheLineHeight) {
    DashboardLayout l = computeLayout(14);
    EXPECT_EQ(l.headerHeight, 44);
    EXPECT_EQ(l.splitX, 413);
    EXPECT_EQ(l.analysisPanel, (Rect{0, 52, 413, 220}));
    EXPECT_EQ(l.percentBar, (Rect{262, 74, 401, 88}));
    EXPECT_EQ(l.gaussianGraph, (Rect{12, 116, 401, 172}));
    EXPECT_EQ(l.progressCube, (Rect{12, 172, 401, 200}));
    EXPECT_EQ(l.dataInfoPanel, (Rect{443, 52, 752, 136}));
    EXPECT_EQ(l.userInfoPanel, (Rect{443, 144, 752, 220}));
    EXPECT_EQ(l.plotPanel, (Rect{0, 240, 752, 445}));

    l = computeLayout(16);
    EXPECT_EQ(l.analysisPanel, (Rect{0, 54, 413, 246}));
    EXPECT_EQ(l.percentBar, (Rect{262, 78, 401, 94}));
    EXPECT_EQ(l.gaussianGraph, (Rect{12, 126, 401, 190}));
    EXPECT_EQ(l.progressCube, (Rect{12, 190, 401, 222}));
    EXPECT_EQ(l.dataInfoPanel, (Rect{443, 54, 752, 150}));
    EXPECT_EQ(l.userInfoPanel, (Rect{443, 158, 752, 246}));
    EXPECT_EQ(l.plotPanel, (Rect{0, 266, 752, 445}));
}

TEST(DashboardBuild, WritesPlotSizeAndDrawsTheFrame) {
    testing::TestRecord record;
    Dashboard d(record.status, true, "no-such-header.bmp");
    ASSERT_EQ(d.lineHeight(), 14);
    EXPECT_EQ(record.status.loadI32(rec::plotWidth), 642);
    EXPECT_EQ(record.status.loadI32(rec::plotHeight), 185);
    EXPECT_EQ(d.plotPanel().bounds, (Rect{0, 240, 752, 445}));

    const Canvas& c = d.canvas();
    auto at = [&](int32_t x, int32_t y) { return pixelColor(c.pixel(x, y)); };
    // Bars: top, bottom, between the right panels, and the upright.
    EXPECT_EQ(at(300, 44), colorPurple);
    EXPECT_EQ(at(300, 51), colorPurple);
    EXPECT_EQ(at(300, 52), colorBlack);
    EXPECT_EQ(at(300, 224), colorPurple);
    EXPECT_EQ(at(600, 140), colorPurple);
    EXPECT_EQ(at(420, 150), colorPurple);
    EXPECT_EQ(at(442, 150), colorPurple);
    EXPECT_EQ(at(450, 155), colorBlack);  // inside the fillet's hollow
    // Round caps at both ends of the top bar, and none beyond them.
    EXPECT_EQ(at(7, 48), colorPurple);
    EXPECT_EQ(at(5, 48), colorBlack);
    EXPECT_EQ(at(744, 48), colorPurple);
    EXPECT_EQ(at(747, 48), colorBlack);
    // Fillets: the corner of a block stays purple, the part near the circle's centre is black.
    EXPECT_EQ(at(412, 53), colorPurple);
    EXPECT_EQ(at(398, 67), colorBlack);
    EXPECT_EQ(at(443, 53), colorPurple);
    EXPECT_EQ(at(458, 67), colorBlack);
    EXPECT_EQ(at(443, 219), colorPurple);
    EXPECT_EQ(at(458, 205), colorBlack);
    // The missing header leaves the header area black; the banner is 30 high.
    EXPECT_EQ(at(100, 20), colorBlack);
    ASSERT_NE(d.bannerCanvas(), nullptr);
    EXPECT_EQ(d.bannerCanvas()->height(), 30);
    EXPECT_GT(d.bannerCanvas()->width(), 500);

    // Static texts: the version ends at x = 720, the hint begins at x = 500.
    int32_t rightmost = 0, leftmost = 752;
    for (int32_t y = 6; y < 20; ++y)
        for (int32_t x = 400; x < 752; ++x)
            if (c.pixel(x, y) != toPixel(colorBlack)) {
                rightmost = std::max(rightmost, x);
                leftmost = std::min(leftmost, x);
            }
    EXPECT_LE(rightmost, 719);
    EXPECT_GE(rightmost, 714);
    EXPECT_GE(leftmost, 500);
    EXPECT_LE(leftmost, 503);

    Dashboard noBanner(record.status, false, "no-such-header.bmp");
    EXPECT_EQ(noBanner.bannerCanvas(), nullptr);
}

}  // namespace
}  // namespace vandrel
