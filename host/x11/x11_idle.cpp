#include "host/x11/x11_idle.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <time.h>

#include <cstdint>
#include <cstdio>

#include "host/x11/x11_host.h"

namespace vandrel {
namespace {

uint64_t nowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u +
           static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

// The extension sends no event at an arbitrary idle time, so the watcher is told to come
// back exactly when the wait could end: once per timeout at most while the user works.
class X11Idle final : public IdleSource {
  public:
    explicit X11Idle(Display* display) : display_(display), info_(XScreenSaverAllocInfo()) {}
    ~X11Idle() override {
        XFree(info_);
        XCloseDisplay(display_);
    }
    X11Idle(const X11Idle&) = delete;
    X11Idle& operator=(const X11Idle&) = delete;

    const char* name() const override { return "MIT-SCREEN-SAVER"; }
    int connectionFd() const override { return ConnectionNumber(display_); }
    int wakeAfterMs() const override { return wakeMs_; }

    bool arm(uint32_t timeoutMs) override {
        timeoutMs_ = timeoutMs;
        armedAt_ = nowMs();
        return check() != IdleState::Lost;
    }

    IdleState check() override {
        // Nothing is selected, but whatever the server sends is read; a lost connection
        // ends the process through the I/O error handler.
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
        }
        if (info_ == nullptr ||
            XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), info_) == 0) {
            return IdleState::Lost;
        }
        const uint64_t idle = info_->idle;
        const uint64_t armed = nowMs() - armedAt_;
        if (idle >= timeoutMs_ && armed >= timeoutMs_) {
            wakeMs_ = -1;
            return IdleState::Idle;
        }
        const uint64_t left = timeoutMs_ - (idle < armed ? idle : armed);
        wakeMs_ = static_cast<int>(left + 1);
        return IdleState::Waiting;
    }

  private:
    Display* display_;
    XScreenSaverInfo* info_;
    uint32_t timeoutMs_ = 0;
    uint64_t armedAt_ = 0;
    int wakeMs_ = -1;
};

}  // namespace

std::unique_ptr<IdleSource> openX11Idle(char* why, size_t whySize) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::snprintf(why, whySize, "no X display to ask");
        return nullptr;
    }
    watchLostDisplay(display);
    int event = 0, error = 0;
    if (XScreenSaverQueryExtension(display, &event, &error) == 0) {
        std::snprintf(why, whySize, "the X display lacks the MIT-SCREEN-SAVER extension");
        XCloseDisplay(display);
        return nullptr;
    }
    return std::make_unique<X11Idle>(display);
}

}  // namespace vandrel
