#pragma once
#include <cstddef>
#include <cstdint>

#include "render/color.h"
#include "render/drawn_area.h"
#include "render/font.h"
#include "render/rect.h"

namespace vandrel {

struct Extent {
    int32_t width;
    int32_t height;
};

struct Surface;  // platform pixel buffer and text state: canvas_surface_<platform>.cpp

// An off-screen 32-bit drawing surface. Every operation clips to the buffer, so no
// coordinate, however wild, writes outside it. Pixels are 0x00RRGGBB, rows top-down.
// The rasteriser is shared by all platforms; only the buffer's home and text differ.
// A canvas whose buffer could not be made has width and height 0 and draws nothing.
class Canvas {
  public:
    Canvas(int32_t width, int32_t height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    uint32_t* pixels() { return pixels_; }
    const uint32_t* pixels() const { return pixels_; }
    // Reads one pixel; outside the buffer it answers 0.
    uint32_t pixel(int32_t x, int32_t y) const;
    Surface* surface() const { return surface_; }

    void fillRect(Rect rect, Color color);
    // A 1-pixel line that does not colour its end point. Only two pens exist:
    // colorWhite draws white, every other colour draws colorGrey.
    void drawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color color);
    // Fills the circle inscribed in (cx - r, cy - r, cx + r, cy + r), right/bottom exclusive.
    void fillCircle(int32_t cx, int32_t cy, int32_t radius, Color color);
    // Opaque text: the cells are painted in the background colour first.
    void drawText(int32_t x, int32_t y, const char* text);
    void drawTextRight(int32_t right, int32_t y, const char* text);
    Extent textExtent(const char* text) const;
    // Inline: the gauges and the plot set pixels one at a time.
    void setPixel(int32_t x, int32_t y, Color color) {
        if (static_cast<uint32_t>(x) < static_cast<uint32_t>(width_) &&
            static_cast<uint32_t>(y) < static_cast<uint32_t>(height_)) {
            putPixel(x, y, toPixel(color));
            // Single pixels go into a box of their own, joined to the drawn area when it
            // is taken. Its bounds are 64-bit so that the pixel stores (32-bit) cannot
            // alias them and a loop of setPixel keeps them in registers.
            pixelLeft_ = std::min<int64_t>(pixelLeft_, x);
            pixelTop_ = std::min<int64_t>(pixelTop_, y);
            pixelRight_ = std::max<int64_t>(pixelRight_, int64_t{x} + 1);
            pixelBottom_ = std::max<int64_t>(pixelBottom_, int64_t{y} + 1);
        }
    }
    void selectFont(const Font& font) { font_ = &font; }
    void setTextColor(Color color) { textColor_ = color; }
    void setBackgroundColor(Color color) { backgroundColor_ = color; }
    // Draws an uncompressed 8-bit bitmap file at (x, y), at most width x height of it.
    // A file that is missing or fails the header checks draws nothing.
    void drawBitmapFile(const char* path, int32_t x, int32_t y, int32_t width, int32_t height);

    // Callers of these have clipped: (x, y) lies inside the buffer.
    void putPixel(int32_t x, int32_t y, uint32_t pixel) { pixels_[y * width_ + x] = pixel; }
    // A vertical run from y0 up to but excluding y1 (y0 <= y1), clipped here.
    void fillColumn(int32_t x, int32_t y0, int32_t y1, uint32_t pixel);

    // What was drawn since the last call, clipped to the buffer; empty when nothing was.
    // A window showing the canvas copies just this much.
    DrawnArea takeDrawnArea() {
        if (pixelLeft_ < pixelRight_) {
            drawn_.add({static_cast<int32_t>(pixelLeft_), static_cast<int32_t>(pixelTop_),
                        static_cast<int32_t>(pixelRight_), static_cast<int32_t>(pixelBottom_)});
        }
        pixelLeft_ = pixelTop_ = INT64_MAX;
        pixelRight_ = pixelBottom_ = INT64_MIN;
        DrawnArea taken = drawn_;
        drawn_ = DrawnArea();
        return taken;
    }
    // Callers of putPixel, which does not record, report what they wrote here.
    void markDrawn(Rect r) {
        r = intersectRect(r, {0, 0, width_, height_});
        if (!isEmpty(r))
            drawn_.add(r);
    }

    const Font* font() const { return font_; }
    Color textColor() const { return textColor_; }
    Color backgroundColor() const { return backgroundColor_; }

  private:
    // r is clipped and not empty.
    void grow(Rect r) { drawn_.add(r); }
    // Marks a box given in wide coordinates, clipped to the buffer.
    void markBox(int64_t left, int64_t top, int64_t right, int64_t bottom);
    void fillSpan(int32_t y, int32_t x0, int32_t x1, uint32_t pixel);

    int32_t width_ = 0;
    int32_t height_ = 0;
    uint32_t* pixels_ = nullptr;
    Surface* surface_ = nullptr;
    DrawnArea drawn_;
    int64_t pixelLeft_ = INT64_MAX, pixelTop_ = INT64_MAX;
    int64_t pixelRight_ = INT64_MIN, pixelBottom_ = INT64_MIN;
    const Font* font_ = nullptr;
    Color textColor_{0, 0, 0};
    Color backgroundColor_{255, 255, 255};
};

// A rectangle of a canvas with its own origin and background colour. Coordinates are
// relative to bounds' top-left corner and are not clipped to the panel (the canvas clips).
class Panel {
  public:
    Panel(Canvas& canvas, Rect bounds, Color background)
        : canvas(&canvas),
          bounds(bounds),
          width(bounds.right - bounds.left),
          height(bounds.bottom - bounds.top),
          background(background) {}

    void fill(Color color) { canvas->fillRect(bounds, color); }
    void fillRect(Rect r, Color color) {
        canvas->fillRect({r.left + bounds.left, r.top + bounds.top, r.right + bounds.left,
                          r.bottom + bounds.top},
                         color);
    }
    void drawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color color) {
        canvas->drawLine(x1 + bounds.left, y1 + bounds.top, x2 + bounds.left, y2 + bounds.top,
                         color);
    }
    void drawText(int32_t x, int32_t y, const char* text) {
        canvas->setBackgroundColor(background);
        canvas->drawText(x + bounds.left, y + bounds.top, text);
    }
    void setPixel(int32_t x, int32_t y, Color color) {
        canvas->setPixel(x + bounds.left, y + bounds.top, color);
    }

    Canvas* canvas;
    Rect bounds;
    int32_t width;
    int32_t height;
    Color background;
};

}  // namespace vandrel
