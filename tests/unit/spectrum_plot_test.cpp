#include <gtest/gtest.h>

#include "render/dashboard.h"
#include "render/hsl.h"
#include "test_record.h"

namespace vandrel {
namespace {

using testing::changedOutside;
using testing::snapshot;

struct PlotTest : ::testing::Test {
    testing::TestRecord record;
    testing::ScriptedClock clock;
    std::unique_ptr<Dashboard> d;
    int32_t top = 0, baseline = 0;  // canvas y of the plot panel and its base line

    void SetUp() override {
        d = std::make_unique<Dashboard>(record.status, false, "none.bmp", clock.clock());
        top = d->plotPanel().bounds.top;
        baseline = d->plotPanel().height - 20;
    }
    void params(int32_t dx, int32_t dy, int32_t mirrored, int32_t maxHeight, int32_t rows,
                int32_t length) {
        const SharedStatus& s = record.status;
        s.storeI32(rec::plotDepthX, dx);
        s.storeI32(rec::plotDepthY, dy);
        s.storeI32(rec::plotMirrored, mirrored);
        s.storeI32(rec::plotMaxHeight, maxHeight);
        s.storeI32(rec::plotRowCount, rows);
        s.storeI32(rec::plotRowLength, length);
    }
    void row(int32_t i, std::initializer_list<std::pair<int, int>> bars) {
        for (auto [j, h] : bars)
            record.status.base()[rec::plotRow(i) + j] = static_cast<uint8_t>(h);
        record.status.markDirty(rec::plotRowDirty(i));
    }
    Color at(int32_t x, int32_t y) const { return pixelColor(d->canvas().pixel(x, top + y)); }
};

TEST_F(PlotTest, AxesFloorCornersAndWallTops) {
    params(100, 80, 0, 60, 0, 400);
    record.status.markDirty(rec::plotAxesDirty);
    EXPECT_TRUE(d->updateFromStatus());
    EXPECT_FALSE(record.status.isDirty(rec::plotAxesDirty));
    const int32_t yf = baseline + 1, yk = baseline - 80;
    for (auto [x, y] : {std::pair{158, yf}, {559, yf}, {58, yk}, {460, yk}, {560, yf - 1}})
        EXPECT_EQ(at(x, y), colorGrey) << x << "," << y;
    // Back and right walls rise M = 60; the front-left corner has no wall.
    EXPECT_EQ(at(58, yk - 59), colorGrey);
    EXPECT_EQ(at(58, yk - 61), colorBlack);
    EXPECT_EQ(at(460, yk - 60), colorGrey);
    EXPECT_EQ(at(560, yf - 59), colorGrey);
    EXPECT_EQ(at(158, yf - 30), colorBlack);
    // The power arrow stands at x = W - 25, 40 pixels tall.
    const int32_t h = d->plotPanel().height;
    EXPECT_EQ(at(727, h - 60), colorWhite);
    EXPECT_EQ(at(727, h - 80), colorWhite);

    // Mirrored: the left wall instead, at the front-left corner.
    params(100, 80, 1, 60, 0, 400);
    record.status.markDirty(rec::plotAxesDirty);
    d->updateFromStatus();
    EXPECT_EQ(at(58, yf - 30), colorGrey);
    EXPECT_EQ(at(158, yk - 30), colorGrey);
    EXPECT_EQ(at(560, yk - 30), colorGrey);
    EXPECT_EQ(at(460, yf - 30), colorBlack);
    EXPECT_EQ(at(30, h - 60), colorWhite);
}

TEST_F(PlotTest, RowOffsetsInBothOrientations) {
    // One bar of height 10 at j = 5; its coloured run ends at B - yo, its outline above.
    auto barFoot = [&](int32_t xo, int32_t yo) {
        int32_t x = 60 + xo + 5;
        return at(x, baseline - yo) != colorBlack && at(x, baseline - yo - 9) != colorBlack &&
               at(x, baseline - yo - 10) == colorBlack;
    };
    params(100, 80, 0, 60, 50, 20);
    row(0, {{5, 10}});
    row(49, {{5, 10}});
    d->updateFromStatus();
    EXPECT_TRUE(barFoot(0, 78));
    EXPECT_TRUE(barFoot(98, 0));
    EXPECT_FALSE(record.status.isDirty(rec::plotRowDirty(0)));
    EXPECT_FALSE(record.status.isDirty(rec::plotRowDirty(49)));

    record.status.markDirty(rec::plotAxesDirty);  // clears the panel
    params(100, 80, 1, 60, 50, 20);
    row(0, {{5, 10}});
    row(49, {{5, 10}});
    d->updateFromStatus();
    EXPECT_TRUE(barFoot(98, 78));
    EXPECT_TRUE(barFoot(0, 0));

    // A single row stands on the base line.
    record.status.markDirty(rec::plotAxesDirty);
    params(100, 80, 0, 60, 1, 20);
    row(0, {{5, 10}});
    d->updateFromStatus();
    EXPECT_TRUE(barFoot(0, 0));
}

TEST_F(PlotTest, BarColoursAndOutline) {
    params(0, 0, 0, 100, 1, 600);
    std::initializer_list<std::pair<int, int>> bars = {{0, 50}, {300, 50}, {450, 50}};
    row(0, bars);
    d->updateFromStatus();
    EXPECT_EQ(at(60, baseline), (Color{255, 0, 0}));
    EXPECT_EQ(at(360, baseline), (Color{127, 0, 255}));
    EXPECT_EQ(at(510, baseline - 49), (Color{0, 63, 255}));
    EXPECT_EQ(at(510, baseline - 50), colorBlack);

    // Outline: a taller left neighbour closes the gap in black up to its own outline;
    // an equal one leaves a single black pixel; height 0 draws only its black foot.
    record.status.markDirty(rec::plotAxesDirty);
    d->canvas().fillRect(d->plotPanel().bounds, colorWhite);
    params(0, 0, 0, 100, 1, 10);
    row(0, {{0, 5}, {1, 9}, {2, 3}, {3, 3}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {8, 0}, {9, 0}});
    d->updateFromStatus();
    for (int32_t y = baseline - 8; y <= baseline - 3; ++y)
        EXPECT_EQ(at(62, y), colorBlack) << y;
    EXPECT_EQ(at(62, baseline - 2), at(62, baseline));  // the bar itself
    EXPECT_EQ(at(63, baseline - 3), colorBlack);
    EXPECT_EQ(at(63, baseline - 4), colorBlack);  // cleared by the axes flag, not the outline
    EXPECT_EQ(at(65, baseline), colorBlack);
    EXPECT_EQ(at(60, baseline - 5), colorBlack);  // first bar: a single pixel

    // Mirrored: the neighbour is on the right; the last bar has none.
    record.status.markDirty(rec::plotAxesDirty);
    params(0, 0, 1, 100, 1, 3);
    row(0, {{0, 2}, {1, 6}, {2, 1}});
    d->updateFromStatus();
    for (int32_t y = baseline - 5; y <= baseline - 2; ++y)
        EXPECT_EQ(at(60, y), colorBlack) << y;
    EXPECT_EQ(at(62, baseline - 1), colorBlack);
    EXPECT_NE(at(62, baseline), colorBlack);
}

TEST(Hsl, ClassicConversion) {
    Color c;
    hslToRgb(0.3, 0.5, 0.0, c);
    EXPECT_EQ(c, (Color{127, 127, 127}));
    hslToRgb(1.0, 0.5, 1.0, c);
    EXPECT_EQ(c, (Color{255, 0, 0}));
    hslToRgb(0.75, 0.5, 1.0, c);
    EXPECT_EQ(c, (Color{127, 0, 255}));
    EXPECT_DOUBLE_EQ(hueToChannel(0.0, 1.0, 0.5), 1.0);
    EXPECT_DOUBLE_EQ(hueToChannel(0.0, 1.0, -0.9), 0.6);
    hslToRgb(0.5, 7.0, 1.0, c);  // lightness far past 1 pins instead of overflowing
    EXPECT_EQ(c, (Color{255, 255, 255}));
}

TEST_F(PlotTest, RowBudgetFollowsTheClock) {
    params(0, 0, 0, 100, 3, 10);
    row(0, {{0, 5}});
    row(1, {{0, 5}});
    row(2, {{0, 5}});
    clock.readings = {0, 600, 1200};
    d->updateFromStatus();
    EXPECT_FALSE(record.status.isDirty(rec::plotRowDirty(0)));
    EXPECT_FALSE(record.status.isDirty(rec::plotRowDirty(1)));
    EXPECT_TRUE(record.status.isDirty(rec::plotRowDirty(2)));
    // Exactly 1000 ms goes on; the next update walks from row 0 and finds row 2.
    clock.readings = {0, 1000, 1000};
    clock.next = 0;
    row(0, {{0, 5}});
    EXPECT_TRUE(d->updateFromStatus());
    EXPECT_FALSE(record.status.isDirty(rec::plotRowDirty(2)));
    // A clock that wraps between readings still measures the elapsed time.
    clock.readings = {0xFFFFFF00u, 0x00000400u};
    clock.next = 0;
    row(0, {{0, 5}});
    row(1, {{0, 5}});
    d->updateFromStatus();
    EXPECT_TRUE(record.status.isDirty(rec::plotRowDirty(1)));
}

TEST_F(PlotTest, HostileParametersStayInThePanel) {
    const Rect panel = d->plotPanel().bounds;
    auto before = snapshot(d->canvas());
    uint8_t* base = record.status.base();
    // Rows beyond the 203 that fit are never read or cleared: saverAttached lies there.
    record.status.storeI32(rec::saverAttached, 1);
    for (int32_t i = 0; i < rec::plotRowCapacity; ++i) {
        std::memset(base + rec::plotRow(i), 255, rec::plotRowHeights);
        record.status.markDirty(rec::plotRowDirty(i));
    }
    struct Case {
        int32_t dx, dy, mirrored, maxHeight, rows, length;
    };
    const Case cases[] = {
        {100, 0, 0, 60, 5, 600},                         // no depth: the labels divide by it
        {2147483647, -2147483647, 1, 0, 1000000, 5000},  // everything out of range
        {-2147483647 - 1, 2147483647, 0, -5, 203, 600},
        {0, 0, 0, 2147483647, -7, 600},
        {5000, 5000, 7, 1, 203, 2147483647},
    };
    for (const Case& c : cases) {
        params(c.dx, c.dy, c.mirrored, c.maxHeight, c.rows, c.length);
        record.status.markDirty(rec::plotAxesDirty);
        for (int32_t i = 0; i < rec::plotRowCapacity; ++i)
            record.status.markDirty(rec::plotRowDirty(i));
        d->updateFromStatus();
        EXPECT_LE(d->plotRowCount, rec::plotRowCapacity);
        EXPECT_LE(d->plotRowLength, 600);
    }
    EXPECT_EQ(record.status.loadI32(rec::saverAttached), 1);
    // Bars and outlines never leave the panel; only the axes' lines and labels may.
    params(3000, 3000, 0, 255, 203, 600);
    for (int32_t i = 0; i < rec::plotRowCapacity; ++i)
        record.status.markDirty(rec::plotRowDirty(i));
    before = snapshot(d->canvas());
    d->updateFromStatus();
    EXPECT_EQ(changedOutside(before, d->canvas(), panel), 0);
}

TEST_F(PlotTest, LabelsUseDurationAndRate) {
    // 1000 samples at 8 Hz: end labels 125.0 and 8.000; compare with the texts drawn alone.
    record.status.storeU32(rec::sampleCount, 1000);
    record.status.storeDouble(rec::sampleRateHz, 8.0);
    params(100, 80, 0, 60, 0, 400);
    record.status.markDirty(rec::plotAxesDirty);
    d->updateFromStatus();
    Canvas& c = d->canvas();
    const int32_t w = c.textExtent("8.000").width;
    // Frequency end label at x0 + N - 40 = 160 + 400 - 40, y = H - 16.
    Canvas ref(752, 445);
    ref.fillRect({0, 0, 752, 445}, colorBlack);
    Font font(14, 400);
    ref.selectFont(font);
    ref.setTextColor(colorWhite);
    ref.setBackgroundColor(colorBlack);
    const int32_t y = top + d->plotPanel().height - 16;
    ref.drawText(520, y, "8.000");
    for (int32_t x = 520; x < 520 + w; ++x)
        for (int32_t yy = y; yy < y + 14; ++yy)
            ASSERT_EQ(c.pixel(x, yy), ref.pixel(x, yy));
    // Duration end label right-aligned at x = 48, at y = B - DY.
    const int32_t we = c.textExtent("125.0").width;
    ref.drawText(48 - we, top + baseline - 80, "125.0");
    for (int32_t x = 48 - we; x < 48; ++x)
        for (int32_t yy = top + baseline - 80; yy < top + baseline - 66; ++yy)
            ASSERT_EQ(c.pixel(x, yy), ref.pixel(x, yy));
}

}  // namespace
}  // namespace vandrel
