#include "host/x11/x11_output.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vandrel {
namespace {

// Far beyond any screen; keeps the image's byte count well inside 32 bits.
constexpr int32_t kMaxImageSide = 16384;

bool serverRefusedShm = false;
int onXError(Display*, XErrorEvent*) {
    serverRefusedShm = true;
    return 0;
}

}  // namespace

X11Output::X11Output(Display* display, Window window) : display_(display), window_(window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display_, window_, &attributes);
    const Visual* v = attributes.visual;
    drawable_ = v != nullptr && (attributes.depth == 24 || attributes.depth == 32) &&
                v->red_mask == 0xFF0000 && v->green_mask == 0x00FF00 && v->blue_mask == 0x0000FF;
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

X11Output::~X11Output() {
    releaseImage();
    XFreeGC(display_, labelGc_);
    XFreeGC(display_, gc_);
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
    XWindowAttributes attributes{};
    XGetWindowAttributes(display_, window_, &attributes);
    if (shmAvailable_) {
        auto* info = new XShmSegmentInfo{};
        image_ = XShmCreateImage(display_, attributes.visual, attributes.depth, ZPixmap, nullptr,
                                 info, width, height);
        int id = image_ != nullptr
                     ? shmget(IPC_PRIVATE, static_cast<size_t>(image_->bytes_per_line) * height,
                              IPC_CREAT | 0600)
                     : -1;
        if (id >= 0) {
            info->shmid = id;
            info->shmaddr = image_->data = static_cast<char*>(shmat(id, nullptr, 0));
            info->readOnly = False;
            serverRefusedShm = false;
            XErrorHandler previous = XSetErrorHandler(onXError);
            shmAttached_ =
                info->shmaddr != reinterpret_cast<char*>(-1) && XShmAttach(display_, info);
            XSync(display_, False);
            XSetErrorHandler(previous);
            shmctl(id, IPC_RMID, nullptr);  // gone once both sides detach
            shmAttached_ = shmAttached_ && !serverRefusedShm;
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
    char* data = static_cast<char*>(std::malloc(static_cast<size_t>(width) * height * 4));
    if (data == nullptr) {
        return false;
    }
    image_ = XCreateImage(display_, attributes.visual, attributes.depth, ZPixmap, 0, data, width,
                          height, 32, 0);
    if (image_ == nullptr) {
        std::free(data);
        return false;
    }
    imageWidth_ = width;
    imageHeight_ = height;
    return true;
}

void X11Output::copyCanvas(const Canvas& canvas, Rect part, CursorPoint origin, int32_t scale,
                           Rect clip) {
    part = intersectRect(part, {0, 0, canvas.width(), canvas.height()});
    if (!drawable_ || isEmpty(part) || scale < 1) {
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
    for (int32_t y = 0; y < h; ++y) {
        const int32_t sy = (target.top + y - origin.y) / scale;
        const uint32_t* row = pixels + static_cast<size_t>(sy) * stride;
        auto* out = reinterpret_cast<uint32_t*>(image_->data +
                                                static_cast<size_t>(y) * image_->bytes_per_line);
        if (scale == 1) {
            std::memcpy(out, row + (target.left - origin.x), static_cast<size_t>(w) * 4);
            continue;
        }
        if (y > 0 && (target.top + y - origin.y) % scale != 0) {
            // Same canvas row as the line above: copy that line.
            std::memcpy(out, image_->data + static_cast<size_t>(y - 1) * image_->bytes_per_line,
                        static_cast<size_t>(w) * 4);
            continue;
        }
        for (int32_t x = 0; x < w; ++x) {
            out[x] = row[(target.left + x - origin.x) / scale];
        }
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
