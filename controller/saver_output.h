#pragma once
#include <cstdint>

#include "controller/saver_logic.h"
#include "render/canvas.h"

// What the saver session asks of a screen, the same on every host: its size, where the
// dashboard goes, and three ways to draw. An output shows one drawing area (a window, the
// dashboard's output) in its own pixels; whatever else it covers it keeps black itself.
namespace vandrel {

class SaverOutput {
  public:
    virtual ~SaverOutput() = default;

    // The drawing area in pixels, its top-left at (0, 0).
    virtual int32_t width() const = 0;
    virtual int32_t height() const = 0;
    // The part that shows the dashboard and the banner: the primary monitor.
    virtual Rect primaryArea() const { return {0, 0, width(), height()}; }
    // Where the dashboard now goes: told once per change, before anything is drawn there.
    virtual void place(const Placement&) {}

    // Copies part (canvas coordinates) of canvas so that its top-left pixel lands at
    // origin + part's corner * scale, each canvas pixel a scale x scale block, clipped
    // to clip (drawing-area coordinates).
    virtual void copyCanvas(const Canvas& canvas, Rect part, Point origin, int32_t scale,
                            Rect clip) = 0;
    virtual void fillBlack(Rect area) = 0;
    // The two-line label of a window too narrow for the dashboard: "Vandrel" at
    // (left + 34, top + 37) and "ScreenSaver" at (left + 32, top + 57), cell tops, cyan
    // on black.
    virtual void drawLabel(int32_t left, int32_t top) = 0;
};

}  // namespace vandrel
