#include "render/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/surface.h"

namespace vandrel {

namespace {

constexpr uint32_t kWhitePixel = toPixel(colorWhite);
constexpr uint32_t kGreyPixel = toPixel(colorGrey);

// Octants numbered as the Bresenham code of the Windows line drawer numbers them:
// 1 is x-major going right and down, counting on through the quadrants.
int octantOf(int64_t dx, int64_t dy) {
    if (dy > 0) {
        if (dx > 0)
            return dx > dy ? 1 : 2;
        return -dx > dy ? 4 : 3;
    }
    if (dx < 0)
        return -dx > -dy ? 5 : 6;
    return dx > -dy ? 8 : 7;
}

// Which way a midpoint tie is broken depends on the octant; this is what makes a line
// drawn one way differ from the same line drawn the other way, exactly as LineTo does.
int tieBias(int octant) {
    return (octant == 3 || octant == 5 || octant == 6 || octant == 8);
}

__int128 floorDiv128(__int128 a, int64_t b) {
    __int128 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// Radii above this draw a plain analytic disc: Ellipse's integer stepping would overflow
// and take too long, and no dashboard circle comes anywhere near it.
constexpr int64_t kExactCircleLimit = 1 << 18;

}  // namespace

Font::Font(int32_t height, int32_t weight)
    : height_(height), weight_(weight), handle_(createFontHandle(height, weight)) {}

Font::~Font() {
    destroyFontHandle(handle_);
}

Canvas::Canvas(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0)
        return;
    uint32_t* pixels = nullptr;
    surface_ = createSurface(width, height, &pixels);
    if (!surface_ || !pixels) {
        destroySurface(surface_);
        surface_ = nullptr;
        return;
    }
    pixels_ = pixels;
    width_ = width;
    height_ = height;
}

Canvas::~Canvas() {
    destroySurface(surface_);
}

uint32_t Canvas::pixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    return pixels_[static_cast<size_t>(y) * width_ + x];
}

void Canvas::markBox(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    const Rect r{static_cast<int32_t>(std::clamp<int64_t>(left, 0, width_)),
                 static_cast<int32_t>(std::clamp<int64_t>(top, 0, height_)),
                 static_cast<int32_t>(std::clamp<int64_t>(right, 0, width_)),
                 static_cast<int32_t>(std::clamp<int64_t>(bottom, 0, height_))};
    if (!isEmpty(r))
        grow(r);
}

// Callers clip: 0 <= y < height, 0 <= x0 <= x1 <= width.
void Canvas::fillSpan(int32_t y, int32_t x0, int32_t x1, uint32_t pixel) {
    std::fill(pixels_ + static_cast<size_t>(y) * width_ + x0,
              pixels_ + static_cast<size_t>(y) * width_ + x1, pixel);
}

void Canvas::fillRect(Rect rect, Color color) {
    const int32_t left = std::max(rect.left, 0);
    const int32_t top = std::max(rect.top, 0);
    const int32_t right = std::min(rect.right, width_);
    const int32_t bottom = std::min(rect.bottom, height_);
    if (left >= right || top >= bottom)
        return;
    const uint32_t p = toPixel(color);
    for (int32_t y = top; y < bottom; ++y)
        fillSpan(y, left, right, p);
    grow({left, top, right, bottom});
}

void Canvas::fillColumn(int32_t x, int32_t y0, int32_t y1, uint32_t pixel) {
    if (x < 0 || x >= width_)
        return;
    if (y0 < 0)
        y0 = 0;
    if (y1 > height_)
        y1 = height_;
    if (y0 >= y1)
        return;
    grow({x, y0, x + 1, y1});
    const size_t stride = static_cast<size_t>(width_);
    uint32_t* p = pixels_ + static_cast<size_t>(y0) * stride + x;
    int32_t n = y1 - y0;
    // Unrolled: the plot draws its bars as hundreds of these runs per row.
    for (; n >= 4; n -= 4, p += 4 * stride) {
        p[0] = pixel;
        p[stride] = pixel;
        p[2 * stride] = pixel;
        p[3 * stride] = pixel;
    }
    for (; n > 0; --n, p += stride)
        *p = pixel;
}

void Canvas::drawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color color) {
    if (width_ == 0)
        return;
    const uint32_t p = color == colorWhite ? kWhitePixel : kGreyPixel;
    const int64_t dx = int64_t{x2} - x1;
    const int64_t dy = int64_t{y2} - y1;
    if (dx == 0 && dy == 0)
        return;

    // Straight lines are spans; the end point is excluded either way.
    if (dy == 0) {
        if (y1 < 0 || y1 >= height_)
            return;
        const int64_t from = dx > 0 ? x1 : int64_t{x2} + 1;
        const int64_t to = dx > 0 ? x2 : int64_t{x1} + 1;
        const int64_t l = std::max<int64_t>(from, 0), r = std::min<int64_t>(to, width_);
        if (l < r) {
            fillSpan(y1, static_cast<int32_t>(l), static_cast<int32_t>(r), p);
            grow({static_cast<int32_t>(l), y1, static_cast<int32_t>(r), y1 + 1});
        }
        return;
    }
    if (dx == 0) {
        const int64_t from = dy > 0 ? y1 : int64_t{y2} + 1;
        const int64_t to = dy > 0 ? y2 : int64_t{y1} + 1;
        fillColumn(x1, static_cast<int32_t>(std::clamp<int64_t>(from, 0, height_)),
                   static_cast<int32_t>(std::clamp<int64_t>(to, 0, height_)), p);
        return;
    }

    // Bresenham in closed form: after j steps along the major axis the minor axis has
    // moved floor((2 * minor * j + major + bias - 1) / (2 * major)) steps. That lets the
    // loop start and stop where the line enters and leaves the buffer, so far-off end
    // points cost nothing and clipping cannot shift a single pixel.
    const int octant = octantOf(dx, dy);
    const bool xMajor = octant == 1 || octant == 4 || octant == 5 || octant == 8;
    const int64_t bias = tieBias(octant);
    const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const int64_t major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    const int64_t majorStart = xMajor ? x1 : y1, minorStart = xMajor ? y1 : x1;
    const int64_t majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int64_t minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const int64_t majorLimit = xMajor ? width_ : height_;
    const int64_t minorLimit = xMajor ? height_ : width_;

    // Steps j in [0, major) whose major coordinate lies inside the buffer.
    int64_t jFrom, jTo;
    if (majorStep > 0) {
        jFrom = -majorStart;
        jTo = majorLimit - majorStart;
    } else {
        jFrom = majorStart - (majorLimit - 1);
        jTo = majorStart + 1;
    }
    jFrom = std::max<int64_t>(jFrom, 0);
    jTo = std::min<int64_t>(jTo, major);
    if (jFrom >= jTo)
        return;
    // The line's box; the excluded end point makes it at most one pixel too large.
    markBox(std::min<int64_t>(x1, x2), std::min<int64_t>(y1, y2), std::max<int64_t>(x1, x2) + 1,
            std::max<int64_t>(y1, y2) + 1);

    const int64_t twoMajor = 2 * major, twoMinor = 2 * minor;
    // Both products reach 2^65 for end points at opposite ends of the int32 range.
    const __int128 ahead = static_cast<__int128>(twoMinor) * jFrom;
    const int64_t moved = static_cast<int64_t>(floorDiv128(ahead + major + bias - 1, twoMajor));
    // Error term of the incremental form at step jFrom; it stays within (-2 major, 2 minor].
    int64_t err =
        static_cast<int64_t>(ahead + twoMinor - major - static_cast<__int128>(twoMajor) * moved);
    int64_t a = majorStart + majorStep * jFrom;
    int64_t b = minorStart + minorStep * moved;
    for (int64_t j = jFrom; j < jTo; ++j) {
        if (b >= 0 && b < minorLimit) {
            if (xMajor) {
                putPixel(static_cast<int32_t>(a), static_cast<int32_t>(b), p);
            } else {
                putPixel(static_cast<int32_t>(b), static_cast<int32_t>(a), p);
            }
        }
        if (err + bias > 0) {
            b += minorStep;
            err += twoMinor - twoMajor;
        } else {
            err += twoMinor;
        }
        a += majorStep;
    }
}

void Canvas::fillCircle(int32_t cx, int32_t cy, int32_t radius, Color color) {
    if (width_ == 0)
        return;
    // Ellipse orders its rectangle, so a negative radius draws the same circle.
    const int64_t r = radius < 0 ? -int64_t{radius} : radius;
    if (r == 0)
        return;
    const uint32_t p = toPixel(color);
    const int64_t left = int64_t{cx} - r, top = int64_t{cy} - r;
    const int64_t size = 2 * r;  // the box is (cx - r, cy - r) to (cx + r, cy + r), exclusive
    markBox(left, top, left + std::max<int64_t>(size, 2), top + std::max<int64_t>(size, 2));

    auto span = [&](int64_t row, int64_t x0, int64_t x1) {  // x1 inclusive, box-relative
        const int64_t y = top + row;
        if (y < 0 || y >= height_)
            return;
        const int64_t l = std::max<int64_t>(left + x0, 0);
        const int64_t rt = std::min<int64_t>(left + x1 + 1, width_);
        if (l < rt)
            fillSpan(static_cast<int32_t>(y), static_cast<int32_t>(l), static_cast<int32_t>(rt), p);
    };

    if (size <= 2) {
        span(0, 0, size - 1);
        span(1, 0, size - 1);
        return;
    }
    if (r > kExactCircleLimit) {
        const int64_t rowFrom = std::max<int64_t>(0, -top);
        const int64_t rowTo = std::min<int64_t>(size, int64_t{height_} - top);
        const double rr = static_cast<double>(r);
        for (int64_t row = rowFrom; row < rowTo; ++row) {
            const double dy = static_cast<double>(row) + 0.5 - rr;
            const double half = std::sqrt(std::max(0.0, rr * rr - dy * dy));
            const int64_t x0 = static_cast<int64_t>(std::ceil(rr - half - 0.5));
            const int64_t x1 = static_cast<int64_t>(std::floor(rr + half - 0.5));
            if (x0 <= x1)
                span(row, x0, x1);
        }
        return;
    }

    // The outline's first quadrant stepped as Ellipse steps it (Zingl's integer ellipse);
    // with pen and brush of one colour the result is each row filled between its outline
    // points, mirrored into the other three quadrants.
    const int64_t w = size, h = size, a = w - 1, b = h - 1;
    const int64_t asq = 8 * a * a, bsq = 8 * b * b;
    int64_t ex = 4 * b * b * (1 - a);
    int64_t ey = 4 * a * a * (1 + (b % 2));
    int64_t err = ex + ey + a * a * (b % 2);
    int64_t x = a, y = h / 2;
    int64_t rowY = y, rowX = x;  // the outermost point of a row is the first one met on it
    auto emitRow = [&] {
        span(rowY, w - 1 - rowX, rowX);
        span(h - 1 - rowY, w - 1 - rowX, rowX);
    };
    while (x >= w / 2) {
        if (y != rowY) {
            emitRow();
            rowY = y;
            rowX = x;
        }
        const int64_t e2 = 2 * err;
        if (e2 >= ex) {
            --x;
            err += ex += bsq;
        }
        if (e2 <= ey) {
            ++y;
            err += ey += asq;
        }
    }
    emitRow();
}

void Canvas::drawText(int32_t x, int32_t y, const char* text) {
    if (!surface_ || !text || !font_ || !font_->handle())
        return;
    const size_t length = std::strlen(text);
    renderText(surface_, font_->handle(), x, y, text, length, textColor_, backgroundColor_);
    // A glyph may overhang its cell by a pixel or two; the margin keeps it in the area.
    const Extent e = measureText(surface_, font_->handle(), text, length);
    const int64_t margin = e.height / 4 + 2;
    markBox(int64_t{x} - margin, y, int64_t{x} + e.width + margin, int64_t{y} + e.height);
}

void Canvas::drawTextRight(int32_t right, int32_t y, const char* text) {
    drawText(right - textExtent(text).width, y, text);
}

Extent Canvas::textExtent(const char* text) const {
    if (!text || !font_ || !font_->handle())
        return {0, 0};
    return measureText(surface_, font_->handle(), text, std::strlen(text));
}

}  // namespace vandrel
