#include "host/x11/x11_host.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "host/posix/saver_core.h"
#include "host/x11/x11_output.h"

namespace vandrel {
namespace {

// The connection is gone: Xlib ends the process after this handler, so the record is
// let go here. Its exit code is 1, as Xlib's own would be.
[[noreturn]] void endOnLostDisplay() {
    std::fputs("vandrel: lost the connection to the X display\n", stderr);
    detachBeforeExit();
    std::fflush(nullptr);
    _exit(1);
}

int onIOError(Display*) {
    endOnLostDisplay();
}

#ifdef VANDREL_HAVE_XLIB_IO_EXIT_HANDLER
void onIOErrorExit(Display*, void*) {
    endOnLostDisplay();
}
#endif

struct Target {
    Window window = 0;
    bool ownWindow = false;
    Window cover = 0;  // with --idle, the window over the whole screen that holds window
};

// Without a daemon, the saver covers the screen itself: a black override-redirect window
// over the whole root, and in it the drawing window on the primary monitor (the whole
// screen when no monitor is told apart). It takes neither the focus nor a grab, and is
// raised only as it comes: a screen locker that starts later comes over it and gets the
// keyboard and the pointer.
Window coverScreen(Display* d, Window& cover) {
    const int screen = DefaultScreen(d);
    const Window root = RootWindow(d, screen);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = BlackPixel(d, screen);
    cover =
        XCreateWindow(d, root, 0, 0, static_cast<unsigned>(DisplayWidth(d, screen)),
                      static_cast<unsigned>(DisplayHeight(d, screen)), 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XStoreName(d, cover, "Vandrel");
    MonitorBox area{0, 0, DisplayWidth(d, screen), DisplayHeight(d, screen), true};
    const std::vector<MonitorBox> monitors = X11Output::monitors(d);
    if (const MonitorBox* primary =
            primaryMonitor(monitors.data(), static_cast<int>(monitors.size()))) {
        area = *primary;
    }
    const Window drawing = XCreateSimpleWindow(d, cover, area.x, area.y,
                                               static_cast<unsigned>(std::max(area.width, 1)),
                                               static_cast<unsigned>(std::max(area.height, 1)), 0,
                                               BlackPixel(d, screen), BlackPixel(d, screen));
    XMapWindow(d, drawing);
    XMapRaised(d, cover);
    return drawing;
}

// Which window to draw in. The daemon runs its display modes with --root and covers the
// screen with a window of its own, named in XSCREENSAVER_WINDOW: that window is the root
// to draw on. False, with a message, when the daemon's variable holds no window id.
bool chooseWindow(Display* d, const LinuxOptions& options, Target& target) {
    SaverTarget kind = options.target;
    unsigned long id = options.windowId;
    if (kind == SaverTarget::Default || kind == SaverTarget::Root) {
        const char* fromDaemon = std::getenv("XSCREENSAVER_WINDOW");
        if (fromDaemon != nullptr && !parseWindowId(fromDaemon, id)) {
            std::fprintf(stderr, "vandrel: XSCREENSAVER_WINDOW is not a window id: \"%.64s\"\n",
                         fromDaemon);
            return false;
        }
        if (fromDaemon != nullptr) {
            kind = SaverTarget::WindowId;
        } else if (kind == SaverTarget::Default) {
            kind = SaverTarget::Window;
        }
    }
    switch (kind) {
        case SaverTarget::Root:
            target.window = DefaultRootWindow(d);
            break;
        case SaverTarget::WindowId:
            target.window = static_cast<Window>(id);
            break;
        case SaverTarget::Cover:
            target.window = coverScreen(d, target.cover);
            target.ownWindow = true;
            break;
        default: {
            const int screen = DefaultScreen(d);
            target.window = XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, 800, 600, 0,
                                                BlackPixel(d, screen), BlackPixel(d, screen));
            XStoreName(d, target.window, "Vandrel");
            Atom close = XInternAtom(d, "WM_DELETE_WINDOW", False);
            XSetWMProtocols(d, target.window, &close, 1);
            target.ownWindow = true;
            break;
        }
    }
    return true;
}

}  // namespace

void watchLostDisplay(Display* display) {
    XSetIOErrorHandler(onIOError);
#ifdef VANDREL_HAVE_XLIB_IO_EXIT_HANDLER
    XSetIOErrorExitHandler(display, onIOErrorExit, nullptr);
#else
    (void)display;
#endif
}

int runX11(const LinuxOptions& options) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "vandrel: cannot open the X display\n");
        return 1;
    }
    X11Output::watchErrors();
    watchLostDisplay(display);
    Target target;
    char reason[256];
    if (!chooseWindow(display, options, target)) {
        XCloseDisplay(display);
        return 1;
    }
    X11Output::watchWindow(target.window);
    if (!X11Output::canDraw(display, target.window, reason, sizeof reason)) {
        std::fprintf(stderr, "vandrel: window 0x%lx: %s\n", target.window, reason);
        XCloseDisplay(display);
        return 1;
    }
    long events = ExposureMask | StructureNotifyMask;
    if (target.ownWindow && target.cover == 0) {
        events |= KeyPressMask | ButtonPressMask;
    }
    XSelectInput(display, target.window, events);
    XSetWindowBackground(display, target.window, BlackPixel(display, DefaultScreen(display)));
    XClearWindow(display, target.window);
    if (target.ownWindow && target.cover == 0) {
        XMapRaised(display, target.window);
    }
    int exitCode;
    {
        X11Output output(display, target.window, target.ownWindow);
        if (target.cover != 0 && !output.watchInputEverywhere()) {
            std::fputs(
                "vandrel: the X display lacks XInput 2.1: only input over the saver's own "
                "window ends it\n",
                stderr);
            XSelectInput(display, target.cover, KeyPressMask | ButtonPressMask | PointerMotionMask);
        }
        exitCode = runSaver(output, options);
    }  // its images and GC belong to the connection
    XCloseDisplay(display);
    return exitCode;
}

}  // namespace vandrel
