#include "host/x11/x11_output.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/x11/pixel_row.h"
#include "controller/saver_logic.h"

namespace vandrel {
namespace {

// Far beyond any screen; keeps the image's byte count well inside 32 bits.
constexpr int32_t kMaxImageSide = 16384;

// What the errors the server sent say; Xlib has one handler for the whole process, for
// every show that process runs and for the idle watcher's connection too.
bool probingShm = false;
bool shmRefused = false;
Window shownWindow = 0;  // the current show's window; errors about others are not ours
bool windowLost = false;

int onXError(Display*, XErrorEvent* error) {
    if (probingShm) {
        shmRefused = true;
    } else if ((error->error_code == BadWindow || error->error_code == BadDrawable) &&
               shownWindow != 0 && error->resourceid == shownWindow) {
        windowLost = true;
    }
    return 0;
}

int bitsPerPixel(Display* display, int depth) {
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    int bits = 0;
    for (int i = 0; i < count; ++i) {
        if (formats[i].depth == depth) {
            bits = formats[i].bits_per_pixel;
        }
    }
    if (formats != nullptr) {
        XFree(formats);
    }
    return bits;
}

ScreenRole roleOf(Display* display, Window window, int32_t width, int32_t height) {
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    const std::vector<MonitorBox> boxes = X11Output::monitors(display);
    return screenRoleOf(boxes.data(), static_cast<int>(boxes.size()), x, y, width, height);
}

}  // namespace

std::vector<MonitorBox> X11Output::monitors(Display* display) {
    std::vector<MonitorBox> boxes;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) ||
        !XRRQueryVersion(display, &major, &minor) || major * 100 + minor < 105) {
        return boxes;
    }
    int count = 0;
    XRRMonitorInfo* found = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    for (int i = 0; i < count; ++i) {
        boxes.push_back(
            {found[i].x, found[i].y, found[i].width, found[i].height, found[i].primary != 0});
    }
    if (found != nullptr) {
        XRRFreeMonitors(found);
    }
    return boxes;
}

void X11Output::watchErrors() {
    XSetErrorHandler(onXError);
}

void X11Output::watchWindow(Window window) {
    shownWindow = window;
    windowLost = false;
}

bool X11Output::canDraw(Display* display, Window window, char* reason, int reasonSize) {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(display, window, &a) || a.visual == nullptr) {
        std::snprintf(reason, static_cast<size_t>(reasonSize), "no such window");
        return false;
    }
    const Visual* v = a.visual;
    const int bits = bitsPerPixel(display, a.depth);
    if (v->c_class == TrueColor && (a.depth == 24 || a.depth == 32) && v->red_mask == 0xFF0000 &&
        v->green_mask == 0x00FF00 && v->blue_mask == 0x0000FF && (bits == 24 || bits == 32)) {
        return true;
    }
    std::snprintf(reason, static_cast<size_t>(reasonSize),
                  "the window's visual (class %d, depth %d, %d bits per pixel, masks "
                  "%06lx/%06lx/%06lx) is not 24-bit TrueColor: cannot draw into it",
                  v->c_class, a.depth, bits, v->red_mask, v->green_mask, v->blue_mask);
    return false;
}

X11Output::X11Output(Display* display, Window window, bool ownWindow)
    : display_(display), window_(window), ownWindow_(ownWindow) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display_, window_, &attributes);
    visual_ = attributes.visual;
    depth_ = attributes.depth;
    bytesPerPixel_ = bitsPerPixel(display_, depth_) / 8;
    width_ = attributes.width;
    height_ = attributes.height;
    role_ = roleOf(display_, window_, width_, height_);
    if (ownWindow_) {
        // Travel counts from where the pointer rests as the saver starts.
        Window root = 0, child = 0;
        int x = 0, y = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        haveReference_ = XQueryPointer(display_, window_, &root, &child, &x, &y, &wx, &wy, &mask);
        reference_ = {x, y};
    }
    gc_ = XCreateGC(display_, window_, 0, nullptr);
    XSetForeground(display_, gc_, BlackPixel(display_, DefaultScreen(display_)));
    // The label: cyan on black in the server's default font.
    XGCValues values{};
    values.foreground = 0x00FFFF;
    values.background = 0;
    labelGc_ = XCreateGC(display_, window_, GCForeground | GCBackground, &values);
    if (XFontStruct* font = XQueryFont(display_, XGContextFromGC(labelGc_))) {
        labelAscent_ = font->ascent;
        XFreeFontInfo(nullptr, font, 1);
    }
    // A server on another machine cannot share memory with us: XShmQueryExtension then
    // still says yes, so the attach itself is checked below.
    const char* name = DisplayString(display_);
    shmAvailable_ = XShmQueryExtension(display_) && name != nullptr && name[0] == ':';
}

bool X11Output::watchInputEverywhere() {
    return rawInput_.watch(display_);
}

X11Output::~X11Output() {
    releaseImage();
    XFreeGC(display_, labelGc_);
    XFreeGC(display_, gc_);
}

void X11Output::handle(const XEvent& event, OutputEvents& events) {
    switch (event.type) {
        case Expose: {
            const Rect area{event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                            event.xexpose.y + event.xexpose.height};
            events.exposed = unionRect(events.exposed, area);
            break;
        }
        case ConfigureNotify:
            if (event.xconfigure.window == window_ &&
                (event.xconfigure.width != width_ || event.xconfigure.height != height_)) {
                width_ = event.xconfigure.width;
                height_ = event.xconfigure.height;
                events.resized = true;
            }
            break;
        case DestroyNotify:
            events.end = events.end || event.xdestroywindow.window == window_;
            break;
        case GenericEvent:
            switch (rawInput_.read(event)) {
                case X11RawInput::Kind::Press:
                    events.end = true;
                    break;
                case X11RawInput::Kind::Motion:
                    pointerMoved_ = true;  // where to: asked once the batch is read
                    break;
                default:
                    break;
            }
            break;
        case MotionNotify: {
            // Only a cover window asks for motion: travel past the threshold ends it.
            const Point at{event.xmotion.x_root, event.xmotion.y_root};
            if (!haveReference_) {
                haveReference_ = true;
                reference_ = at;
            }
            events.end = events.end || (ownWindow_ && movedPastThreshold(reference_, at));
            break;
        }
        case KeyPress:
        case ButtonPress:
        case ClientMessage:  // the window manager's close button
            events.end = events.end || ownWindow_;
            break;
        default:
            break;
    }
}

void X11Output::dispatch(OutputEvents& events) {
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        handle(event, events);
    }
    if (pointerMoved_) {
        // Raw motion carries the device's own units, before acceleration: the travel is
        // measured in screen pixels from where the pointer is now.
        pointerMoved_ = false;
        Window root = 0, child = 0;
        int x = 0, y = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        if (XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &x, &y, &wx, &wy,
                          &mask)) {
            if (!haveReference_) {
                haveReference_ = true;
                reference_ = {x, y};
            }
            events.end = events.end || movedPastThreshold(reference_, {x, y});
        }
    }
    if (windowLost) {
        events.end = true;  // exit code 0: whoever owned the window ended the show
    }
}

void X11Output::releaseImage() {
    if (image_ == nullptr) {
        return;
    }
    auto* info = static_cast<XShmSegmentInfo*>(shmInfo_);
    if (shmAttached_) {
        XShmDetach(display_, info);
        XSync(display_, False);
    }
    if (info != nullptr) {
        shmdt(info->shmaddr);
        delete info;
        shmInfo_ = nullptr;
        image_->data = nullptr;
    }
    XDestroyImage(image_);  // frees heap data, if any
    image_ = nullptr;
    shmAttached_ = false;
    imageWidth_ = imageHeight_ = 0;
}

bool X11Output::ensureImage(int32_t width, int32_t height) {
    if (image_ != nullptr && width <= imageWidth_ && height <= imageHeight_) {
        return true;
    }
    releaseImage();
    width = std::max(width, imageWidth_);
    height = std::max(height, imageHeight_);
    if (shmAvailable_) {
        auto* info = new XShmSegmentInfo{};
        image_ = XShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr,
                                 info, static_cast<unsigned>(width), static_cast<unsigned>(height));
        int id = image_ != nullptr
                     ? shmget(IPC_PRIVATE, static_cast<size_t>(image_->bytes_per_line) * height,
                              IPC_CREAT | 0600)
                     : -1;
        if (id >= 0) {
            info->shmid = id;
            info->shmaddr = image_->data = static_cast<char*>(shmat(id, nullptr, 0));
            info->readOnly = False;
            shmRefused = false;
            probingShm = true;
            shmAttached_ =
                info->shmaddr != reinterpret_cast<char*>(-1) && XShmAttach(display_, info);
            XSync(display_, False);
            probingShm = false;
            shmctl(id, IPC_RMID, nullptr);  // gone once both sides detach
            shmAttached_ = shmAttached_ && !shmRefused;
        }
        if (shmAttached_) {
            shmInfo_ = info;
            imageWidth_ = width;
            imageHeight_ = height;
            return true;
        }
        if (image_ != nullptr) {
            if (id >= 0 && info->shmaddr != reinterpret_cast<char*>(-1)) {
                shmdt(info->shmaddr);
            }
            image_->data = nullptr;
            XDestroyImage(image_);
            image_ = nullptr;
        }
        delete info;
        shmAvailable_ = false;  // plain images from now on
    }
    // The server's own row layout for this depth: 24 or 32 bits a pixel, rows padded.
    image_ = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr,
                          static_cast<unsigned>(width), static_cast<unsigned>(height),
                          BitmapPad(display_), 0);
    if (image_ == nullptr) {
        return false;
    }
    image_->data = static_cast<char*>(
        std::malloc(static_cast<size_t>(image_->bytes_per_line) * static_cast<size_t>(height)));
    if (image_->data == nullptr) {
        XDestroyImage(image_);
        image_ = nullptr;
        return false;
    }
    imageWidth_ = width;
    imageHeight_ = height;
    return true;
}

void X11Output::copyCanvas(const Canvas& canvas, Rect part, Point origin, int32_t scale,
                           Rect clip) {
    part = intersectRect(part, {0, 0, canvas.width(), canvas.height()});
    if (isEmpty(part) || scale < 1) {
        return;
    }
    // The part's place in the window, clipped; then the canvas pixels that cover it.
    const Rect placed{origin.x + part.left * scale, origin.y + part.top * scale,
                      origin.x + part.right * scale, origin.y + part.bottom * scale};
    const Rect target = intersectRect(placed, clip);
    if (isEmpty(target)) {
        return;
    }
    const int32_t w = target.right - target.left, h = target.bottom - target.top;
    if (w > kMaxImageSide || h > kMaxImageSide || !ensureImage(w, h)) {
        return;
    }
    const uint32_t* pixels = canvas.pixels();
    const int32_t stride = canvas.width();
    const size_t rowBytes = static_cast<size_t>(w) * static_cast<size_t>(bytesPerPixel_);
    const PixelFormat format{bytesPerPixel_, image_->byte_order == LSBFirst};
    for (int32_t y = 0; y < h; ++y) {
        char* out = image_->data + static_cast<size_t>(y) * image_->bytes_per_line;
        if (y > 0 && (target.top + y - origin.y) % scale != 0) {
            // Same canvas row as the line above: copy that line.
            std::memcpy(out, out - image_->bytes_per_line, rowBytes);
            continue;
        }
        const int32_t sy = (target.top + y - origin.y) / scale;
        packPixelRow(reinterpret_cast<unsigned char*>(out), format,
                     pixels + static_cast<size_t>(sy) * stride, target.left - origin.x, w, scale);
    }
    if (shmAttached_) {
        XShmPutImage(display_, window_, gc_, image_, 0, 0, target.left, target.top,
                     static_cast<unsigned>(w), static_cast<unsigned>(h), False);
        // The server reads the shared image when it gets to the request: the next part
        // may be written into it only after that.
        XSync(display_, False);
    } else {
        XPutImage(display_, window_, gc_, image_, 0, 0, target.left, target.top,
                  static_cast<unsigned>(w), static_cast<unsigned>(h));
    }
}

void X11Output::fillBlack(Rect area) {
    if (isEmpty(area)) {
        return;
    }
    XFillRectangle(display_, window_, gc_, area.left, area.top,
                   static_cast<unsigned>(area.right - area.left),
                   static_cast<unsigned>(area.bottom - area.top));
}

void X11Output::drawLabel(int32_t left, int32_t top) {
    // At the places the Windows saver uses: its coordinates are the cells' tops, X draws
    // from the baseline.
    XDrawImageString(display_, window_, labelGc_, left + 34, top + 37 + labelAscent_, "Vandrel", 7);
    XDrawImageString(display_, window_, labelGc_, left + 32, top + 57 + labelAscent_, "ScreenSaver",
                     11);
}

}  // namespace vandrel
