#pragma once
#include <cstdint>

#include "controller/saver_logic.h"
#include "render/canvas.h"
// After the project's headers: Xlib defines None, a name the controller's enums use.
#include <X11/Xlib.h>

namespace vandrel {

// Puts the saver's pixels into an X window: parts of a canvas at an integer scale (each
// canvas pixel an s x s block), black areas and the two-line label. The pixels go
// through a shared-memory image when the server offers MIT-SHM, else through XPutImage.
// Only 24- and 32-bit TrueColor visuals with the 0xRRGGBB layout are drawn into; on any
// other the window stays black.
class X11Output {
  public:
    X11Output(Display* display, Window window);
    ~X11Output();
    X11Output(const X11Output&) = delete;
    X11Output& operator=(const X11Output&) = delete;

    // Copies part (canvas coordinates) of canvas so that its top-left pixel lands at
    // origin + part's corner * scale, clipped to clip (window coordinates).
    void copyCanvas(const Canvas& canvas, Rect part, CursorPoint origin, int32_t scale, Rect clip);
    void fillBlack(Rect area);
    void drawLabel(int32_t left, int32_t top);
    bool sharedMemory() const { return shmAttached_; }

  private:
    bool ensureImage(int32_t width, int32_t height);
    void releaseImage();

    Display* display_;
    Window window_;
    GC gc_;
    GC labelGc_;
    int labelAscent_ = 10;
    bool drawable_ = false;
    XImage* image_ = nullptr;
    bool shmAvailable_ = false;
    bool shmAttached_ = false;
    void* shmInfo_ = nullptr;  // XShmSegmentInfo, kept out of this header
    int32_t imageWidth_ = 0, imageHeight_ = 0;
};

}  // namespace vandrel
