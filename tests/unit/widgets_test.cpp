#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "render/widgets.h"
#include "test_record.h"

namespace vandrel {
namespace {

using testing::changedOutside;
using testing::snapshot;

constexpr uint32_t kBlack = toPixel(colorBlack);

// Columns in [x0, x1) of rows [y0, y1) that hold any non-black pixel, as a range.
struct Ink {
    int32_t left = 1 << 30, right = -1;
};
Ink inkIn(const Canvas& c, int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
    Ink ink;
    for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x)
            if (c.pixel(x, y) != kBlack) {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x + 1);
            }
    return ink;
}

struct WidgetCanvas : ::testing::Test {
    Canvas canvas{752, 445};
    Font font{14, 400};
    void SetUp() override {
        canvas.fillRect({0, 0, 752, 445}, colorBlack);
        canvas.selectFont(font);
        canvas.setTextColor(colorWhite);
    }
};

TEST_F(WidgetCanvas, TextPanelRowsTitlesAndPairs) {
    TextPanel panel(canvas, {0, 0, 413, 200}, 14);
    EXPECT_EQ(panel.rowRect(3), (Rect{12, 50, 401, 64}));
    TextPanel shifted(canvas, {443, 52, 752, 136}, 14);
    EXPECT_EQ(shifted.rowRect(1), (Rect{455, 74, 740, 88}));

    // The right text of a pair ends 38 pixels from the panel's right edge, on row 10.
    const char* right = "CPU time: 1 hr";
    int32_t w = canvas.textExtent(right).width;
    panel.setRowPair(10, "Overall", right);
    Ink ink = inkIn(canvas, 200, 413, 148, 162);
    EXPECT_GE(ink.left, 375 - w);
    EXPECT_LE(ink.right, 376);      // a glyph may overhang its cell by a pixel
    EXPECT_GT(ink.right, 375 - 4);  // the last glyph reaches the end of its cell

    // A title's right end lies 12 pixels right of the middle: x = 206 - w + 12.
    canvas.fillRect({0, 0, 752, 445}, colorBlack);
    w = canvas.textExtent("Data Analysis").width;
    panel.setTitle(0, "Data Analysis");
    ink = inkIn(canvas, 0, 413, 8, 22);
    EXPECT_GE(ink.left, 218 - w);
    EXPECT_LE(ink.right, 218);
    EXPECT_LT(ink.left, 218 - w + 4);

    // setRow clears the whole row first: a shorter text leaves no trace of a longer one.
    panel.setRow(2, "A much longer text than the next one");
    panel.setRow(2, "Short");
    w = canvas.textExtent("Short").width;
    EXPECT_EQ(inkIn(canvas, 12 + w + 2, 413, 36, 50).right, -1);
}

TEST_F(WidgetCanvas, TextPanelKeepsItsMargin) {
    canvas.fillRect({0, 0, 752, 445}, colorPurple);
    TextPanel panel(canvas, {100, 100, 300, 200}, 14);
    EXPECT_EQ(canvas.pixel(105, 150), toPixel(colorPurple));
    EXPECT_EQ(canvas.pixel(106, 106), kBlack);
    EXPECT_EQ(canvas.pixel(293, 193), kBlack);
    EXPECT_EQ(canvas.pixel(294, 193), toPixel(colorPurple));
}

TEST_F(WidgetCanvas, PercentBarFigureAndBar) {
    const Rect r{262, 74, 401, 88};  // 139 wide, as in the dashboard
    PercentBar bar(canvas, r);
    auto barEnd = [&] {
        int32_t end = 262 + 30;
        while (end < 401 && canvas.pixel(end, 74 + 4) == toPixel(colorWhite))
            ++end;
        return end - 262;
    };
    bar.setFraction(0.5f);
    EXPECT_EQ(barEnd(), 84);
    for (int32_t y = 74; y < 88; ++y) {
        bool inBar = y >= 78 && y < 84;
        EXPECT_EQ(canvas.pixel(262 + 50, y) == toPixel(colorWhite), inBar) << y;
    }
    bar.setFraction(0.0f);
    EXPECT_EQ(barEnd(), 30);
    bar.setFraction(1.0f);
    EXPECT_EQ(barEnd(), 139);

    // The figure is truncated, never rounded: compare with the text drawn directly.
    auto figureMatches = [&](float f, const char* text) {
        bar.setFraction(f);
        auto shown = snapshot(canvas);
        Canvas ref(752, 445);
        ref.fillRect({0, 0, 752, 445}, colorBlack);
        ref.selectFont(font);
        ref.setTextColor(colorWhite);
        ref.setBackgroundColor(colorBlack);
        ref.drawText(262, 74, text);
        for (int32_t y = 74; y < 88; ++y)
            for (int32_t x = 262; x < 262 + 30; ++x)
                if (shown[y * 752 + x] != ref.pixel(x, y))
                    return false;
        return true;
    };
    EXPECT_TRUE(figureMatches(0.999f, "99%"));
    EXPECT_TRUE(figureMatches(0.29f, "28%"));
    EXPECT_TRUE(figureMatches(1.0f, "100%"));

    // Fractions from a broken worker stay within the bar's panel.
    auto before = snapshot(canvas);
    for (float f : {std::numeric_limits<float>::quiet_NaN(), -3.0f, 40.0f,
                    std::numeric_limits<float>::infinity()})
        bar.setFraction(f);
    EXPECT_EQ(changedOutside(before, canvas, r), 0);
    bar.setFraction(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(barEnd(), 30);
    EXPECT_TRUE(figureMatches(40.0f, "100%"));
}

TEST_F(WidgetCanvas, ProgressCubeGeometryAndFillOrder) {
    const Rect r{12, 172, 401, 200};  // 389 x 28
    ProgressCube cube(canvas, r);
    EXPECT_EQ(cube.cubeBottom, 27);
    EXPECT_EQ(cube.depth, 9);
    EXPECT_EQ(cube.faceHeight, 18);
    EXPECT_EQ(cube.cubeWidth, 379);
    EXPECT_EQ(cube.faceWidth, 370);
    EXPECT_EQ(cube.sliceSize, 162);
    EXPECT_EQ(cube.capacity, 59940);
    auto at = [&](int32_t x, int32_t y) { return pixelColor(canvas.pixel(12 + x, 172 + y)); };
    // Outline: front bottom edge without its end point, back top edge with its last pixel.
    EXPECT_EQ(at(0, 27), colorGrey);
    EXPECT_EQ(at(369, 27), colorGrey);
    EXPECT_EQ(at(379, 0), colorGrey);
    EXPECT_EQ(at(9, 0), colorGrey);

    auto before = snapshot(canvas);
    cube.setFraction(0.0f);
    EXPECT_EQ(cube.filledCount, 0);
    EXPECT_EQ(before, snapshot(canvas));

    // Point 0 colours (9,18) dark, (10,18) mid and (9,19) bright; point 1 turns (9,18) bright.
    cube.setFraction(1.5f / 59940);
    EXPECT_EQ(cube.filledCount, 1);
    EXPECT_EQ(at(9, 18), colorCubeDark);
    EXPECT_EQ(at(10, 18), colorCubeMid);
    EXPECT_EQ(at(9, 19), colorCubeBright);
    cube.setFraction(2.5f / 59940);
    EXPECT_EQ(at(9, 17), colorCubeDark);
    EXPECT_EQ(at(10, 17), colorCubeMid);
    EXPECT_EQ(at(9, 18), colorCubeBright);

    cube.setFraction(0.5f);
    EXPECT_EQ(cube.filledCount, 29970);
    before = snapshot(canvas);
    cube.setFraction(0.5f);
    EXPECT_EQ(before, snapshot(canvas));
    // A falling fraction empties the gauge and refills it to points 0..14984.
    cube.setFraction(0.25f);
    EXPECT_EQ(cube.filledCount, 14985);
    // ... exactly as a gauge that went straight to 0.25 shows it.
    auto refilled = snapshot(canvas);
    ProgressCube fresh(canvas, r);
    fresh.setFraction(0.25f);
    EXPECT_EQ(refilled, snapshot(canvas));
    fresh.setFraction(0.5f);
    EXPECT_NE(refilled, snapshot(canvas));
}

TEST_F(WidgetCanvas, ProgressCubeStaysInItsPanel) {
    const Rect r{12, 172, 401, 200};
    ProgressCube cube(canvas, r);
    auto before = snapshot(canvas);
    cube.setFraction(std::numeric_limits<float>::infinity());
    EXPECT_EQ(cube.filledCount, cube.capacity);
    cube.setFraction(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(cube.filledCount, 0);
    cube.setFraction(1e30f);
    cube.setFraction(-1.0f);
    EXPECT_EQ(changedOutside(before, canvas, r), 0);
    // A panel too small for a box has no fill points.
    ProgressCube tiny(canvas, {0, 0, 5, 2});
    tiny.setFraction(1.0f);
    EXPECT_EQ(tiny.capacity, 0);
}

GaussianInfo bell(float peak, float mean, int32_t centre, float sigma) {
    GaussianInfo g{};
    auto put = [&](size_t off, auto v) { std::memcpy(g.bytes + off, &v, sizeof v); };
    put(GaussianInfo::gaussPeakPower, peak);
    put(GaussianInfo::gaussMeanPower, mean);
    put(GaussianInfo::gaussCentre, centre);
    put(GaussianInfo::gaussSigma, sigma);
    return g;
}
void setPower(GaussianInfo& g, size_t k, float v) {
    std::memcpy(g.bytes + GaussianInfo::gaussPowers + 4 * k, &v, 4);
}

TEST_F(WidgetCanvas, GaussianCurvesOnA64Grid) {
    GaussianGraph graph(canvas, {100, 100, 164, 164});  // W = H = 64: S = 54, Y0 = 59
    auto at = [&](int32_t x, int32_t y) { return pixelColor(canvas.pixel(100 + x, 100 + y)); };
    GaussianInfo g = bell(10, 0, 32, 4);
    graph.drawGaussian(g);
    EXPECT_EQ(at(32, 5), colorWhite);
    EXPECT_EQ(at(32, 4), colorBlack);
    EXPECT_EQ(at(28, 32), colorWhite);
    EXPECT_EQ(at(36, 32), colorWhite);
    // All samples 0: a flat red line on y = 59 with no join pixels; the white curve's
    // tails lie on the same line and cover it.
    for (int32_t x = 0; x < 64; ++x)
        EXPECT_NE(at(x, 59), colorBlack) << x;
    EXPECT_EQ(at(0, 58), colorBlack);
    EXPECT_EQ(at(0, 60), colorBlack);

    // A first sample above 0 hangs a red run from the zero line up to the first point;
    // a sample equal to the maximum lands on y = 5; a step from 10 to 3 joins 7 pixels.
    g = bell(54, -1000, 32, 4);  // max 54 = S: a sample's level is its value
    setPower(g, 0, 10);
    setPower(g, 1, 3);
    setPower(g, 5, 54);
    graph.drawGaussian(g);
    for (int32_t y = 49; y <= 59; ++y)
        EXPECT_EQ(at(0, y), colorRed) << y;
    EXPECT_EQ(at(0, 48), colorBlack);
    for (int32_t y = 50; y <= 56; ++y)
        EXPECT_EQ(at(1, y), colorRed) << y;
    EXPECT_EQ(at(1, 49), colorBlack);
    EXPECT_EQ(at(5, 5), colorRed);
}

TEST_F(WidgetCanvas, GaussianHostileValuesStayInTheGraph) {
    const Rect r{12, 116, 401, 172};
    GaussianGraph graph(canvas, r);
    const float nan = std::numeric_limits<float>::quiet_NaN(),
                inf = std::numeric_limits<float>::infinity();
    auto before = snapshot(canvas);
    for (float sigma : {0.0f, nan, 1e-30f, -4.0f, inf})
        graph.drawGaussian(bell(10, 0, 32, sigma));
    graph.drawGaussian(bell(-5, 0, 32, 4));  // maximum below zero: nothing to scale
    graph.drawGaussian(bell(nan, 0, 32, 4));
    GaussianInfo g = bell(1, 1e30f, 2000000000, 4);
    for (size_t k = 0; k < 64; ++k)
        setPower(g, k, k % 3 == 0 ? nan : (k % 3 == 1 ? -1e30f : inf));
    graph.drawGaussian(g);
    g = bell(1e-30f, 3e38f, -2000000000, 1e-30f);
    setPower(g, 7, -3e38f);
    graph.drawGaussian(g);
    EXPECT_EQ(changedOutside(before, canvas, r), 0);
}

}  // namespace
}  // namespace vandrel
