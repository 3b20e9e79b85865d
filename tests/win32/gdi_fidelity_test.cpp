// Draws the dashboard's primitives with our canvas and with GDI itself, and compares the
// pixels: the software rasteriser must look exactly like the GDI calls it stands in for.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "render/canvas.h"
#include "render/canvas_win32.h"

namespace vandrel {
namespace {

constexpr int32_t kWidth = 752;
constexpr int32_t kHeight = 445;

// A 32-bit top-down DIB section in a memory device context, drawn by GDI alone, with the
// canvas's two line pens.
class GdiTarget {
  public:
    GdiTarget(int32_t width, int32_t height) : width_(width), height_(height) {
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = createTopDownDib(dc_, width, height, &bits_);
        oldBitmap_ = SelectObject(dc_, bitmap_);
        whitePen_ = CreatePen(PS_SOLID, 1, toPlatformColor(colorWhite));
        greyPen_ = CreatePen(PS_SOLID, 1, toPlatformColor(colorGrey));
        oldPen_ = SelectObject(dc_, whitePen_);
    }
    ~GdiTarget() {
        SelectObject(dc_, oldPen_);
        SelectObject(dc_, oldBitmap_);
        DeleteObject(whitePen_);
        DeleteObject(greyPen_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    GdiTarget(const GdiTarget&) = delete;
    GdiTarget& operator=(const GdiTarget&) = delete;

    bool valid() const { return bits_ != nullptr; }
    uint32_t pixel(int32_t x, int32_t y) const { return bits_[y * width_ + x] & 0xFFFFFF; }

    void fillRect(Rect r, Color color) {
        HBRUSH brush = CreateSolidBrush(toPlatformColor(color));
        RECT rect{r.left, r.top, r.right, r.bottom};
        FillRect(dc_, &rect, brush);
        DeleteObject(brush);
        GdiFlush();
    }
    void drawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color color) {
        SelectObject(dc_, color == colorWhite ? whitePen_ : greyPen_);
        MoveToEx(dc_, x1, y1, nullptr);
        LineTo(dc_, x2, y2);
        GdiFlush();
    }
    void fillCircle(int32_t cx, int32_t cy, int32_t radius, Color color) {
        HBRUSH brush = CreateSolidBrush(toPlatformColor(color));
        HPEN pen = CreatePen(PS_SOLID, 0, toPlatformColor(color));
        HGDIOBJ oldBrush = SelectObject(dc_, brush);
        HGDIOBJ oldPen = SelectObject(dc_, pen);
        Ellipse(dc_, cx - radius, cy - radius, cx + radius, cy + radius);
        SelectObject(dc_, oldBrush);
        SelectObject(dc_, oldPen);
        DeleteObject(brush);
        DeleteObject(pen);
        GdiFlush();
    }

  private:
    int32_t width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ oldBitmap_, oldPen_;
    HPEN whitePen_, greyPen_;
    uint32_t* bits_ = nullptr;
};

int differing(const Canvas& canvas, const GdiTarget& gdi) {
    int n = 0;
    for (int32_t y = 0; y < canvas.height(); ++y) {
        for (int32_t x = 0; x < canvas.width(); ++x) {
            n += (canvas.pixel(x, y) & 0xFFFFFF) != gdi.pixel(x, y);
        }
    }
    return n;
}

void report(const char* what, int count) {
    std::printf("gdi fidelity: %-34s %d differing pixels\n", what, count);
    ::testing::Test::RecordProperty(what, count);
}

// The frame as the dashboard draws it for a line height of 14.
struct FrameStep {
    Rect rect;
    int circles;  // 0, 1 or 2 circles follow the rectangle
    int32_t cx[2], cy[2], radius;
    Color circleColor;
};

std::vector<FrameStep> frameSteps() {
    const int32_t H = 44, A = 168, D = 84, S = 413;
    return {
        {{10, H, 742, H + 8}, 2, {10, 742}, {H + 4, H + 4}, 4, colorPurple},
        {{10, H + A + 8, 742, H + A + 16}, 2, {10, 742}, {H + A + 12, H + A + 12}, 4, colorPurple},
        {{S + 30, H + D + 8, 742, H + D + 16}, 1, {742, 0}, {H + D + 12, 0}, 4, colorPurple},
        {{S, H, S + 30, H + A + 16}, 0, {0, 0}, {0, 0}, 0, colorPurple},
        {{S - 16, H + 8, S, H + 24}, 1, {S - 16, 0}, {H + 24, 0}, 16, colorBlack},
        {{S + 30, H + 8, S + 46, H + 24}, 1, {S + 46, 0}, {H + 24, 0}, 16, colorBlack},
        {{S + 30, H + D - 8, S + 46, H + D + 8}, 1, {S + 46, 0}, {H + D - 8, 0}, 16, colorBlack},
        {{S + 30, H + D + 16, S + 46, H + D + 32}, 1, {S + 46, 0}, {H + D + 32, 0}, 16, colorBlack},
        {{S + 30, H + A - 8, S + 46, H + A + 8}, 1, {S + 46, 0}, {H + A - 8, 0}, 16, colorBlack},
        {{S - 16, H + A - 8, S, H + A + 8}, 1, {S - 16, 0}, {H + A - 8, 0}, 16, colorBlack},
    };
}

TEST(GdiFidelity, RectanglesMatchFillRect) {
    Canvas canvas(kWidth, kHeight);
    GdiTarget gdi(kWidth, kHeight);
    ASSERT_NE(deviceContext(canvas), nullptr);
    ASSERT_TRUE(gdi.valid());
    std::vector<Rect> rects = {{0, 0, kWidth, kHeight},
                               {-20, -20, 30, 15},
                               {700, 400, 900, 900},
                               {5, 5, 6, 6},
                               {100, 100, 100, 140}};
    for (const FrameStep& step : frameSteps())
        rects.push_back(step.rect);
    const Color colors[] = {colorBlack, colorRed, colorCubeDark, colorPurple, colorWhite};
    int i = 0;
    for (const Rect& r : rects) {
        const Color c = colors[i++ % 5];
        canvas.fillRect(r, c);
        gdi.fillRect(r, c);
    }
    const int diff = differing(canvas, gdi);
    report("rectangles", diff);
    EXPECT_EQ(diff, 0);
}

TEST(GdiFidelity, LinesMatchLineToAtEverySlope) {
    Canvas canvas(kWidth, kHeight);
    GdiTarget gdi(kWidth, kHeight);
    auto both = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color c) {
        canvas.drawLine(x1, y1, x2, y2, c);
        gdi.drawLine(x1, y1, x2, y2, c);
    };
    // Fans of lines from several centres, each line on its own so that no pixel hides
    // another's mistake, covering every octant, exact diagonals and straight lines.
    int worst = 0, total = 0, lines = 0;
    const int32_t centres[][2] = {{60, 60}, {200, 120}, {500, 300}};
    for (const auto& c : centres) {
        for (int step = 0; step < 144; ++step) {
            const double angle = step * 2.5 * 3.14159265358979 / 180.0;
            const double length = 20 + (step % 7) * 9;
            const int32_t x2 = c[0] + static_cast<int32_t>(std::lround(std::cos(angle) * length));
            const int32_t y2 = c[1] + static_cast<int32_t>(std::lround(std::sin(angle) * length));
            canvas.fillRect({0, 0, kWidth, kHeight}, colorBlack);
            gdi.fillRect({0, 0, kWidth, kHeight}, colorBlack);
            both(c[0], c[1], x2, y2, step % 2 ? colorWhite : colorRed);
            both(x2 + 1, y2 + 2, c[0] + 1, c[1] + 2, colorWhite);  // drawn the other way
            const int diff = differing(canvas, gdi);
            worst = std::max(worst, diff);
            total += diff;
            lines += 2;
        }
    }
    char what[64];
    std::snprintf(what, sizeof what, "lines (%d, all octants)", lines);
    report(what, total);
    EXPECT_EQ(worst, 0);

    // Slopes that are ties for the error term, long shallow and steep lines, the plot's
    // axes, and lines running off the edges of the buffer.
    canvas.fillRect({0, 0, kWidth, kHeight}, colorBlack);
    gdi.fillRect({0, 0, kWidth, kHeight}, colorBlack);
    const int32_t oddLines[][4] = {
        {10, 10, 14, 12},      {14, 12, 10, 10},     {10, 20, 16, 23},     {30, 30, 32, 36},
        {40, 40, 36, 42},      {50, 50, 751, 52},    {751, 60, 0, 63},     {600, 0, 603, 444},
        {610, 444, 606, 0},    {70, 380, 700, 380},  {70, 380, 70, 200},   {70, 380, 180, 260},
        {700, 380, 810, 260},  {-50, -30, 300, 200}, {740, 430, 800, 470}, {-10, 440, 60, 460},
        {400, -100, 420, 500}, {123, 77, 123, 77},   {5, 300, 9, 300},     {9, 301, 5, 301}};
    for (const auto& l : oddLines)
        both(l[0], l[1], l[2], l[3], colorWhite);
    const int oddDiff = differing(canvas, gdi);
    report("lines (ties, long, clipped)", oddDiff);
    EXPECT_EQ(oddDiff, 0);
}

TEST(GdiFidelity, ProgressCubeOutlineMatches) {
    Canvas canvas(kWidth, kHeight);
    GdiTarget gdi(kWidth, kHeight);
    // The gauge's panel is 389 x 28 at (12, 172); its nine grey edges.
    const int32_t left = 12, top = 172, width = 389, height = 28;
    const int32_t cubeBottom = height - 1, depth = (height - 1) / 3, cubeWidth = width - 10;
    const int32_t faceWidth = cubeWidth - depth, faceHeight = cubeBottom - depth;
    const int32_t edges[][4] = {{0, cubeBottom, faceWidth, cubeBottom},
                                {depth, faceHeight, cubeWidth, faceHeight},
                                {depth, 0, cubeWidth + 1, 0},
                                {0, cubeBottom, 0, depth},
                                {depth, faceHeight, depth, 0},
                                {cubeWidth, faceHeight, cubeWidth, 0},
                                {0, cubeBottom, depth, faceHeight},
                                {0, depth, depth, 0},
                                {faceWidth, cubeBottom, cubeWidth, faceHeight}};
    for (const auto& e : edges) {
        canvas.drawLine(e[0] + left, e[1] + top, e[2] + left, e[3] + top, colorGrey);
        gdi.drawLine(e[0] + left, e[1] + top, e[2] + left, e[3] + top, colorGrey);
    }
    const int diff = differing(canvas, gdi);
    report("progress cube outline", diff);
    EXPECT_EQ(diff, 0);
    EXPECT_EQ(canvas.pixel(left + cubeWidth, top), toPixel(colorGrey));
}

TEST(GdiFidelity, CirclesMatchEllipse) {
    Canvas canvas(120, 120);
    GdiTarget gdi(120, 120);
    int worst = 0, total = 0;
    for (int32_t r = 1; r <= 40; ++r) {
        for (const auto& at : {std::pair{60, 60}, std::pair{3, 100}, std::pair{118, 2}}) {
            canvas.fillRect({0, 0, 120, 120}, colorBlack);
            gdi.fillRect({0, 0, 120, 120}, colorBlack);
            canvas.fillCircle(at.first, at.second, r, colorPurple);
            gdi.fillCircle(at.first, at.second, r, colorPurple);
            const int diff = differing(canvas, gdi);
            worst = std::max(worst, diff);
            total += diff;
            if (r == 4 || r == 16) {
                char what[64];
                std::snprintf(what, sizeof what, "circle r=%d at (%d,%d)", r, at.first, at.second);
                report(what, diff);
            }
        }
    }
    report("circles r=1..40 (sum, 120 circles)", total);
    EXPECT_LE(worst, 2);
}

TEST(GdiFidelity, DashboardFrameMatches) {
    Canvas canvas(kWidth, kHeight);
    GdiTarget gdi(kWidth, kHeight);
    canvas.fillRect({0, 0, kWidth, kHeight}, colorBlack);
    gdi.fillRect({0, 0, kWidth, kHeight}, colorBlack);
    int circles = 0;
    for (const FrameStep& step : frameSteps()) {
        canvas.fillRect(step.rect, colorPurple);
        gdi.fillRect(step.rect, colorPurple);
        for (int i = 0; i < step.circles; ++i) {
            canvas.fillCircle(step.cx[i], step.cy[i], step.radius, step.circleColor);
            gdi.fillCircle(step.cx[i], step.cy[i], step.radius, step.circleColor);
            ++circles;
        }
    }
    const int diff = differing(canvas, gdi);
    report("dashboard frame (10 bars, 11 circles)", diff);
    EXPECT_LE(diff, 2 * circles);
}

}  // namespace
}  // namespace vandrel
