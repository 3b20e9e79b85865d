#include "render/canvas.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace vandrel {
namespace {

constexpr uint32_t kWhite = toPixel(colorWhite);
constexpr uint32_t kGrey = toPixel(colorGrey);
constexpr uint32_t kRed = toPixel(colorRed);

// Pixels of a canvas that differ from `background`, as a bounding box (empty if none).
Rect paintedBox(const Canvas& c, uint32_t background) {
    Rect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int32_t y = 0; y < c.height(); ++y) {
        for (int32_t x = 0; x < c.width(); ++x) {
            if (c.pixel(x, y) == background)
                continue;
            box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                   std::max(box.bottom, y + 1)};
        }
    }
    return box;
}

int countPixels(const Canvas& c, uint32_t value) {
    int n = 0;
    for (int32_t y = 0; y < c.height(); ++y) {
        for (int32_t x = 0; x < c.width(); ++x)
            n += c.pixel(x, y) == value;
    }
    return n;
}

TEST(CanvasColor, PlatformColorValues) {
    EXPECT_EQ(toPlatformColor(colorPurple), 0x02FF6699u);
    EXPECT_EQ(toPlatformColor(colorGrey), 0x027F7F7Fu);
    EXPECT_EQ(toPlatformColor(Color(256, 1, 2)), 0x02020100u);
    EXPECT_EQ(toPixel(colorPurple), 0x009966FFu);
    EXPECT_EQ(pixelColor(toPixel(colorCubeMid)), colorCubeMid);
}

TEST(CanvasRaster, LinesSkipTheirEndPointAndUseTwoPens) {
    Canvas c(40, 40);
    c.drawLine(0, 5, 10, 5, colorWhite);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(c.pixel(x, 5), kWhite) << x;
    EXPECT_EQ(c.pixel(10, 5), 0u);

    // Any colour but white is the grey pen; backwards and vertical lines skip their end too.
    c.drawLine(30, 8, 20, 8, colorRed);
    EXPECT_EQ(c.pixel(20, 8), 0u);
    for (int x = 21; x <= 30; ++x)
        EXPECT_EQ(c.pixel(x, 8), kGrey) << x;
    c.drawLine(3, 20, 3, 30, colorPurple);
    EXPECT_EQ(c.pixel(3, 29), kGrey);
    EXPECT_EQ(c.pixel(3, 30), 0u);
    EXPECT_EQ(countPixels(c, kRed), 0);

    // A slanted line: one pixel per column, end point excluded, ends pinned.
    Canvas d(40, 40);
    d.drawLine(2, 3, 32, 14, colorWhite);
    EXPECT_EQ(countPixels(d, kWhite), 30);
    EXPECT_EQ(d.pixel(2, 3), kWhite);
    EXPECT_EQ(d.pixel(32, 14), 0u);
    EXPECT_EQ(paintedBox(d, 0), (Rect{2, 3, 32, 15}));
    d.drawLine(5, 5, 5, 5, colorWhite);  // zero length draws nothing
    EXPECT_EQ(d.pixel(5, 5), 0u);
}

TEST(CanvasRaster, RectanglesAndCirclesStayInTheirBoxes) {
    Canvas c(30, 30);
    c.fillRect({2, 3, 7, 9}, colorPurple);
    EXPECT_EQ(paintedBox(c, 0), (Rect{2, 3, 7, 9}));
    EXPECT_EQ(countPixels(c, toPixel(colorPurple)), 5 * 6);
    c.fillRect({7, 9, 2, 3}, colorRed);  // inverted: empty
    c.fillRect({4, 4, 4, 8}, colorRed);  // zero wide: empty
    EXPECT_EQ(countPixels(c, kRed), 0);

    Canvas d(30, 30);
    d.fillCircle(10, 10, 4, colorRed);
    EXPECT_EQ(paintedBox(d, 0), (Rect{6, 6, 14, 14}));
    EXPECT_EQ(d.pixel(10, 10), kRed);
    EXPECT_EQ(d.pixel(6, 6), 0u);  // corners stay free
    Canvas e(40, 40);
    e.fillCircle(20, 20, 16, colorRed);
    EXPECT_EQ(paintedBox(e, 0), (Rect{4, 4, 36, 36}));
    // Symmetric about the box centre.
    for (int y = 4; y < 36; ++y) {
        for (int x = 4; x < 36; ++x)
            EXPECT_EQ(e.pixel(x, y), e.pixel(39 - x, 39 - y));
    }
}

TEST(CanvasRaster, PanelsShiftByTheirOrigin) {
    Canvas c(100, 200);
    Panel p(c, {12, 172, 50, 190}, colorBlack);
    EXPECT_EQ(p.width, 38);
    EXPECT_EQ(p.height, 18);
    p.setPixel(-1, 0, colorRed);
    EXPECT_EQ(c.pixel(11, 172), kRed);
    p.fillRect({0, 0, 2, 2}, colorWhite);
    EXPECT_EQ(paintedBox(c, 0), (Rect{11, 172, 14, 174}));
    p.drawLine(0, 10, 5, 10, colorWhite);
    EXPECT_EQ(c.pixel(16, 182), kWhite);
    EXPECT_EQ(c.pixel(17, 182), 0u);
    p.fill(colorGrey);
    EXPECT_EQ(countPixels(c, kGrey), 38 * 18);
    EXPECT_EQ(c.pixel(11, 172), kRed);
}

TEST(CanvasRaster, ClippingAtEveryEdge) {
    Canvas c(50, 40);
    c.fillRect({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, colorRed);
    EXPECT_EQ(countPixels(c, kRed), 50 * 40);
    c.fillRect({-10, -10, 3, 2}, colorWhite);
    c.fillRect({47, 38, 90, 90}, colorWhite);
    EXPECT_EQ(countPixels(c, kWhite), 3 * 2 + 3 * 2);

    Canvas d(50, 40);
    d.drawLine(INT32_MIN, 5, INT32_MAX, 5, colorWhite);
    d.drawLine(7, INT32_MAX, 7, INT32_MIN, colorWhite);
    d.drawLine(-1000000000, -999999990, 1000000000, 1000000010, colorWhite);
    d.drawLine(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX - 3, colorWhite);
    d.drawLine(-5, 100, 60, -100, colorWhite);
    d.setPixel(-1, 0, colorWhite);
    d.setPixel(50, 0, colorWhite);
    d.setPixel(0, 40, colorWhite);
    d.setPixel(INT32_MIN, INT32_MAX, colorWhite);
    d.fillCircle(-3, -3, 6, colorWhite);
    d.fillCircle(52, 42, 6, colorWhite);
    d.fillCircle(INT32_MAX, INT32_MIN, INT32_MAX, colorWhite);
    d.fillCircle(25, 20, INT32_MIN, colorWhite);  // covers everything
    d.fillColumn(-1, 0, 40, kRed);
    d.fillColumn(50, 0, 40, kRed);
    d.fillColumn(3, INT32_MIN, INT32_MAX, kRed);
    d.fillColumn(4, 30, 10, kRed);  // inverted: nothing
    EXPECT_EQ(countPixels(d, kRed), 40);
    EXPECT_EQ(countPixels(d, kWhite), 50 * 40 - 40);
    EXPECT_EQ(d.pixel(-1, 0), 0u);
    EXPECT_EQ(d.pixel(0, 40), 0u);

    // A clipped line keeps exactly the pixels of the same line drawn whole.
    Canvas whole(400, 400), part(50, 40);
    const int ox = 175, oy = 180;
    const int lines[][4] = {{-60, -20, 120, 61}, {110, -7, -90, 45}, {20, 150, 31, -140},
                            {-3, 39, 53, 1},     {49, -33, 0, 70},   {-100, 10, 200, 29},
                            {12, -200, 30, 250}, {60, 50, -20, -17}, {-40, 41, 90, -2}};
    for (const auto& l : lines) {
        whole.drawLine(l[0] + ox, l[1] + oy, l[2] + ox, l[3] + oy, colorWhite);
        part.drawLine(l[0], l[1], l[2], l[3], colorWhite);
    }
    int differing = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 50; ++x)
            differing += part.pixel(x, y) != whole.pixel(x + ox, y + oy);
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(countPixels(part, kWhite), 100);

    // A canvas without pixels takes every call.
    Canvas empty(0, 0);
    EXPECT_EQ(empty.width(), 0);
    EXPECT_EQ(empty.pixels(), nullptr);
    empty.fillRect({0, 0, 10, 10}, colorWhite);
    empty.drawLine(0, 0, 5, 3, colorWhite);
    empty.drawLine(0, 0, 5, 0, colorWhite);
    empty.fillCircle(1, 1, 4, colorWhite);
    empty.setPixel(0, 0, colorWhite);
    empty.fillColumn(0, 0, 5, kWhite);
    empty.drawText(0, 0, "x");
    empty.drawBitmapFile("missing.bmp", 0, 0, 5, 5);
    EXPECT_EQ(empty.pixel(0, 0), 0u);
}

// Every operation, wild coordinates included, reports a drawn area that holds each pixel
// it changed; nothing drawn leaves the area empty.
TEST(CanvasRaster, DrawnAreaHoldsEveryChangedPixel) {
    Canvas c(120, 90);
    Font font(14, 400);
    c.selectFont(font);
    c.setTextColor(colorRed);
    uint32_t seed = 7;
    auto next = [&seed](int32_t lo, int32_t hi) {
        seed = seed * 1103515245u + 12345u;
        return lo + static_cast<int32_t>((seed >> 8) % static_cast<uint32_t>(hi - lo + 1));
    };
    EXPECT_TRUE(c.takeDrawnArea().empty());
    for (int i = 0; i < 3000; ++i) {
        const int32_t far = i % 10 == 0 ? INT32_MAX / 2 : 200;
        const int32_t x = next(-far, far), y = next(-far, far), u = next(-far, far),
                      v = next(-far, far);
        const Color color = i % 2 ? colorWhite : Color(static_cast<uint8_t>(i), 1, 2);
        std::vector<uint32_t> before(c.pixels(), c.pixels() + 120 * 90);
        switch (i % 6) {
            case 0:
                c.fillRect({x, y, u, v}, color);
                break;
            case 1:
                c.drawLine(x % 300, y % 300, u % 300, v % 300, color);
                break;
            case 2:
                c.fillCircle(x % 150, y % 150, next(-40, 40), color);
                break;
            case 3:
                c.setPixel(x % 130, y % 100, color);
                break;
            case 4:
                c.fillColumn(x % 130, y % 100, y % 100 + next(0, 120), toPixel(color));
                break;
            default:
                c.drawText(x % 130, y % 100, "jWq!");
                break;
        }
        const DrawnArea area = c.takeDrawnArea();
        bool changed = false;
        for (int32_t py = 0; py < 90; ++py)
            for (int32_t px = 0; px < 120; ++px) {
                if (before[py * 120 + px] == c.pixel(px, py))
                    continue;
                changed = true;
                ASSERT_TRUE(area.contains(px, py))
                    << "operation " << i << " changed (" << px << ", " << py << ")";
            }
        if (!changed)
            continue;
        EXPECT_FALSE(area.empty());
    }
    // Far-apart drawings are copied apart; touching ones join.
    c.fillRect({0, 0, 10, 10}, colorRed);
    c.fillRect({100, 80, 120, 90}, colorRed);
    c.fillRect({10, 0, 20, 5}, colorRed);
    const DrawnArea two = c.takeDrawnArea();
    EXPECT_EQ(two.count(), 2);
    EXPECT_EQ(two.pixels(), 200 + 200);
    EXPECT_EQ(unionRect({1, 2, 3, 4}, {0, 0, 0, 0}), (Rect{1, 2, 3, 4}));
    EXPECT_EQ(unionRect({5, 5, 5, 9}, {1, 2, 3, 4}), (Rect{1, 2, 3, 4}));
    EXPECT_EQ(unionRect({1, 2, 3, 4}, {-5, 3, 2, 9}), (Rect{-5, 2, 3, 9}));
    EXPECT_EQ(intersectRect({0, 0, 10, 10}, {10, 0, 20, 10}), (Rect{0, 0, 0, 0}));
}

TEST(CanvasText, LineHeightOpaqueCellsAndRightAlignment) {
    Font textFont(14, 400), titleFont(14, 700), largeFont(24, 700);
    Canvas c(752, 445);
    EXPECT_EQ(c.textExtent("jX").width, 0);  // no font selected: nothing to measure or draw
    c.drawText(10, 10, "jX");
    EXPECT_EQ(countPixels(c, 0), 752 * 445);

    c.selectFont(textFont);
    EXPECT_EQ(c.textExtent("jX").height, 14);
    EXPECT_EQ(c.textExtent("").width, 0);
    const Extent version = c.textExtent("Version 2.02");
    EXPECT_GT(version.width, 40);
    EXPECT_LT(version.width, 120);
    c.selectFont(titleFont);
    EXPECT_EQ(c.textExtent("jX").height, 14);
    c.selectFont(largeFont);
    EXPECT_GT(c.textExtent("jX").height, 20);
    EXPECT_GT(c.textExtent("Version 2.02").width, version.width);

    // A panel's text stands on the panel's colour whatever the canvas's background was.
    c.selectFont(textFont);
    c.fillRect({0, 0, 752, 445}, colorRed);
    c.setTextColor(colorWhite);
    c.setBackgroundColor(colorGreen);
    Panel panel(c, {100, 50, 300, 80}, colorBlack);
    panel.drawText(4, 2, "jX");
    const Extent jx = c.textExtent("jX");
    int black = 0, lit = 0;
    for (int y = 52; y < 52 + jx.height; ++y) {
        for (int x = 104; x < 104 + jx.width; ++x) {
            const Color p = pixelColor(c.pixel(x, y));
            ASSERT_TRUE(p.red == p.green && p.green == p.blue) << x << "," << y;
            black += p.red == 0;
            lit += p.red > 160;
        }
    }
    EXPECT_GT(black, 0);
    EXPECT_GT(lit, 4);
    EXPECT_EQ(c.pixel(103, 52), kRed);
    EXPECT_EQ(c.pixel(104 + jx.width, 52), kRed);
    EXPECT_EQ(c.pixel(104, 51), kRed);
    EXPECT_EQ(c.pixel(104, 52 + jx.height), kRed);

    // Right-aligned text ends at x = 720 whatever its length.
    for (const char* text : {"Version 2.02", "A much longer line of text, ending at 720"}) {
        c.fillRect({0, 0, 752, 445}, colorRed);
        c.setBackgroundColor(colorBlack);
        c.drawTextRight(720, 6, text);
        EXPECT_EQ(paintedBox(c, kRed), (Rect{720 - c.textExtent(text).width, 6, 720, 20})) << text;
    }

    // Text running off any edge is clipped, not wrapped.
    c.fillRect({0, 0, 752, 445}, colorRed);
    c.drawText(-30, -5, "Clipped text");
    c.drawText(740, 440, "Clipped text");
    c.drawText(INT32_MIN, INT32_MAX, "far away");
    c.drawText(INT32_MAX - 5, 100, "far away");
    EXPECT_EQ(paintedBox(c, kRed).left, 0);
    EXPECT_EQ(c.pixel(751, 444), toPixel(colorBlack));
    EXPECT_EQ(c.pixel(739, 444), kRed);
    EXPECT_EQ(c.pixel(0, 100), kRed);
}

// Writes an 8-bit bitmap file: rows bottom-up, padded to 4 bytes, after a full colour table.
struct BitmapShape {
    int32_t width = 5, height = 3;
    uint16_t bits = 8;
    uint32_t compression = 0;
    size_t keepBytes = SIZE_MAX;  // truncate the file here
};

std::string writeBitmap(const std::string& name, const BitmapShape& shape,
                        uint8_t (*index)(int x, int y)) {
    std::vector<uint8_t> b;
    auto u16 = [&](uint32_t v) {
        b.push_back(v & 0xFF);
        b.push_back((v >> 8) & 0xFF);
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    const int32_t w = shape.width > 0 && shape.width < 5000 ? shape.width : 1;
    const int32_t h = shape.height > 0 && shape.height < 5000 ? shape.height : 1;
    const uint32_t stride = (static_cast<uint32_t>(w) + 3) & ~3u;
    b.push_back('B');
    b.push_back('M');
    u32(1078 + stride * h);
    u32(0);
    u32(1078);
    u32(40);
    u32(static_cast<uint32_t>(shape.width));
    u32(static_cast<uint32_t>(shape.height));
    u16(1);
    u16(shape.bits);
    u32(shape.compression);
    u32(stride * h);
    u32(2835);
    u32(2835);
    u32(256);
    u32(0);
    for (int i = 0; i < 256; ++i) {  // entry i is red i, green 255 - i, blue i / 2
        b.push_back(static_cast<uint8_t>(i / 2));
        b.push_back(static_cast<uint8_t>(255 - i));
        b.push_back(static_cast<uint8_t>(i));
        b.push_back(0);
    }
    for (int32_t row = h - 1; row >= 0; --row) {
        for (uint32_t x = 0; x < stride; ++x) {
            b.push_back(x < static_cast<uint32_t>(w) ? index(static_cast<int>(x), row) : 0xEE);
        }
    }
    if (shape.keepBytes < b.size())
        b.resize(shape.keepBytes);
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
        std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
    }
    return path;
}

uint32_t paletteEntry(int i) {
    return toPixel(Color(i, 255 - i, i / 2));
}
uint8_t pattern(int x, int y) {
    return static_cast<uint8_t>((x * 7 + y * 13) % 251 + 1);
}

TEST(CanvasBitmapFile, DrawsValidFilesAndRejectsBrokenOnes) {
    const std::string header = writeBitmap("vandrel_canvas_500x41.bmp", {500, 41}, pattern);
    Canvas c(752, 445);
    c.drawBitmapFile(header.c_str(), 0, 0, 500, 41);
    int wrong = 0;
    for (int y = 0; y < 41; ++y) {
        for (int x = 0; x < 500; ++x)
            wrong += c.pixel(x, y) != paletteEntry(pattern(x, y));
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(paintedBox(c, 0), (Rect{0, 0, 500, 41}));

    // Never more than asked for or than the file holds; the image's top-left goes to (x, y),
    // and row padding is skipped.
    const std::string odd = writeBitmap("vandrel_canvas_odd.bmp", {5, 3}, pattern);
    Canvas d(20, 20);
    d.drawBitmapFile(odd.c_str(), 4, 6, 3, 50);
    EXPECT_EQ(paintedBox(d, 0), (Rect{4, 6, 7, 9}));
    EXPECT_EQ(d.pixel(4, 6), paletteEntry(pattern(0, 0)));
    EXPECT_EQ(d.pixel(6, 8), paletteEntry(pattern(2, 2)));
    Canvas e(4, 4);
    e.drawBitmapFile(odd.c_str(), -2, -1, 5, 3);  // clipped at the left and top
    EXPECT_EQ(e.pixel(0, 0), paletteEntry(pattern(2, 1)));
    EXPECT_EQ(e.pixel(2, 1), paletteEntry(pattern(4, 2)));
    EXPECT_EQ(e.pixel(3, 0), 0u);
    e.drawBitmapFile(odd.c_str(), 0, 0, 0, 3);
    e.drawBitmapFile(odd.c_str(), INT32_MAX, INT32_MIN, INT32_MAX, INT32_MAX);

    // Missing file: nothing drawn.
    Canvas f(20, 20);
    f.drawBitmapFile(
        (std::filesystem::temp_directory_path() / "vandrel_no_such.bmp").string().c_str(), 0, 0, 20,
        20);
    f.drawBitmapFile(nullptr, 0, 0, 20, 20);
    EXPECT_EQ(countPixels(f, 0), 400);

    // Corrupt headers, and files shorter than their header says (the last one ends two
    // bytes into the second stored row), draw nothing at all.
    const BitmapShape broken[] = {{5, 3, 24},
                                  {5, 3, 8, 1},
                                  {5, 3, 4},
                                  {-5, 3},
                                  {5, -3},
                                  {0, 3},
                                  {5, 0},
                                  {4097, 3},
                                  {5, 4097},
                                  {INT32_MIN, 3},
                                  {5, INT32_MAX},
                                  {5, 3, 8, 0, 1000},
                                  {6, 3, 8, 0, 1078 + 8 + 2}};
    int n = 0;
    for (const BitmapShape& shape : broken) {
        const std::string path =
            writeBitmap("vandrel_canvas_bad" + std::to_string(n++) + ".bmp", shape, pattern);
        Canvas g(10, 10);
        g.drawBitmapFile(path.c_str(), 0, 0, 10, 10);
        EXPECT_EQ(countPixels(g, 0), 100) << "case " << n - 1;
        std::filesystem::remove(path);
    }
    for (const std::string& p : {header, odd})
        std::filesystem::remove(p);
}

}  // namespace
}  // namespace vandrel
