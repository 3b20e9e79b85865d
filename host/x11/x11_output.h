#pragma once
#include <cstdint>
#include <vector>

#include "host/posix/polled_output.h"
#include "host/x11/x11_raw_input.h"
// After the project's headers: Xlib defines None, a name the controller's enums use.
#include <X11/Xlib.h>

namespace vandrel {

// The saver's pixels in an X window: parts of a canvas at an integer scale, black areas
// and the two-line label, through a shared-memory image when the server offers MIT-SHM,
// else through XPutImage, in the server's pixel format for the window's 24-bit TrueColor
// visual (24 or 32 bits per pixel). It reports the window's size, exposures, its end
// (destroyed; a key or a click in a window of the saver's own; with a cover, a key, a
// click or pointer travel anywhere) and whether it lies on the primary monitor.
class X11Output final : public PolledOutput {
  public:
    // The window must exist and be drawable (see canDraw); ownWindow: the saver made it,
    // and a key or a click in it ends the saver.
    X11Output(Display* display, Window window, bool ownWindow);
    ~X11Output() override;
    X11Output(const X11Output&) = delete;
    X11Output& operator=(const X11Output&) = delete;

    // Takes over Xlib's error handler, which would end the process on the first error.
    // Before a show's first request.
    static void watchErrors();
    // From now on, errors about this window, the show's own (BadWindow, BadDrawable),
    // end the show through dispatch; an earlier show's errors, and errors about any
    // other window, another program's, are forgotten.
    static void watchWindow(Window window);
    // Whether a window's visual is one the output draws into; when not, why, in reason.
    static bool canDraw(Display* display, Window window, char* reason, int reasonSize);
    // The monitors RandR 1.5 reports; none without it.
    static std::vector<MonitorBox> monitors(Display* display);

    // A key, a button or pointer travel anywhere on the display ends the saver, seen
    // without a grab, so a screen locker can still take the keyboard and the pointer.
    // False when the server cannot report input that way.
    bool watchInputEverywhere();

    int connectionFd() const override { return ConnectionNumber(display_); }
    void dispatch(OutputEvents& events) override;
    void flush() override { XFlush(display_); }
    int32_t width() const override { return width_; }
    int32_t height() const override { return height_; }
    ScreenRole role() const override { return role_; }
    void copyCanvas(const Canvas& canvas, Rect part, Point origin, int32_t scale,
                    Rect clip) override;
    void fillBlack(Rect area) override;
    void drawLabel(int32_t left, int32_t top) override;

  private:
    bool ensureImage(int32_t width, int32_t height);
    void releaseImage();
    void handle(const XEvent& event, OutputEvents& events);

    Display* display_;
    Window window_;
    bool ownWindow_;
    Visual* visual_ = nullptr;
    int depth_ = 24;
    int bytesPerPixel_ = 4;
    int32_t width_ = 0, height_ = 0;
    ScreenRole role_ = ScreenRole::Primary;
    GC gc_;
    GC labelGc_;
    int labelAscent_ = 10;
    XImage* image_ = nullptr;
    bool shmAvailable_ = false;
    bool shmAttached_ = false;
    void* shmInfo_ = nullptr;  // XShmSegmentInfo, kept out of this header
    int32_t imageWidth_ = 0, imageHeight_ = 0;
    bool haveReference_ = false;  // the pointer's first position, for the travel rule
    Point reference_{0, 0};
    X11RawInput rawInput_;
    bool pointerMoved_ = false;
};

}  // namespace vandrel
