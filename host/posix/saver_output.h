#pragma once
#include <cstdint>

#include "controller/saver_logic.h"
#include "host/posix/screen_role.h"
#include "render/canvas.h"

// What the Linux saver core asks of a display: the one seam between the shared core
// (record, worker, settings, lock, tick) and the X11 or Wayland side. An output shows
// one drawing area, the window (X11) or the dashboard's output (Wayland), in its own
// pixels; whatever else it covers it keeps black by itself.
namespace vandrel {

// What the display reported since the last dispatch.
struct OutputEvents {
    bool end = false;  // the user (key, click, travel) or the display asks the saver to end
    int exitCode = 0;  // with end: 0 for the user or a window that went away, 1 for a lost display
    bool resized = false;  // size() changed; the core places the dashboard anew
    Rect exposed{};        // an area whose pixels were lost: the core draws it again
};

class SaverOutput {
  public:
    virtual ~SaverOutput() = default;

    // The display connection, polled between ticks.
    virtual int connectionFd() const = 0;
    // Reads what the display sent without blocking and reports what the core acts on.
    virtual void dispatch(OutputEvents& events) = 0;
    // Sends what was drawn since the last flush.
    virtual void flush() = 0;

    // The drawing area in pixels; valid from the core's start on.
    virtual int32_t width() const = 0;
    virtual int32_t height() const = 0;
    virtual ScreenRole role() const = 0;

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
