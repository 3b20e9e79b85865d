// vandrel: the saver for X11 desktops. It draws in the window the screen-saver daemon
// hands it (XSCREENSAVER_WINDOW), in a window given by id, on the root window or in a
// window of its own, and runs the same controller as the Windows saver: attach to the
// worker's record or start the worker, label modes by width, the dashboard centred at
// its integer scale, blanking and the attention banner. Unlike the Windows saver it does
// not end after starting the worker: a daemon restarts display modes that exit, so it
// waits for the record instead.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "controller/saver_logic.h"
#include "controller/settings.h"
#include "host/logic/linux_options.h"
#include "host/x11/x11_output.h"
#include "record/posix_share.h"
#include "record/shared_status.h"
#include "render/dashboard.h"
// Last: Xlib defines None, a name the controller's enums use; nothing here needs X's.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef None

namespace vandrel {
namespace {

constexpr int kTickMs = 33;
volatile sig_atomic_t quitRequested = 0;

void onTerminate(int) {
    quitRequested = 1;
}

uint32_t tickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

// Starts ClientPath with "-min" in its own session, so it outlives the saver and the
// daemon's signals to the saver's process group; the middle child ends at once, so no
// zombie is left behind.
void launchWorker() {
    if (settings.ClientPath[0] == '\0') {
        return;
    }
    const pid_t child = fork();
    if (child == 0) {
        setsid();
        if (fork() == 0) {
            const int devNull = open("/dev/null", O_RDWR);
            if (devNull >= 0) {
                dup2(devNull, 0);
                dup2(devNull, 1);
                dup2(devNull, 2);
            }
            execl(settings.ClientPath, settings.ClientPath, "-min", static_cast<char*>(nullptr));
            _exit(127);
        }
        _exit(0);
    }
    if (child > 0) {
        waitpid(child, nullptr, 0);
    }
}

struct Saver {
    Display* display = nullptr;
    Window window = 0;
    bool ownWindow = false;
    std::unique_ptr<X11Output> output;
    ControllerLogic logic;
    Placement placement;
    PosixShare share;
    Dashboard* dashboard = nullptr;  // from the attach until the detach
    bool workerStarted = false;
    int32_t width = 0, height = 0;

    Rect client() const { return {0, 0, width, height}; }

    bool attach() {
        if (!openShare(share)) {
            return false;
        }
        SharedStatus status(share.view);
        status.storeI32(rec::saverAttached, 1);
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, 0);
        status.storeI32(rec::saverPriorityClass, priorityClassForNice(errno == 0 ? nice : 0));
        try {
            dashboard = new Dashboard(status, true);
        } catch (...) {
            dashboard = nullptr;  // without memory for it the window stays black
        }
        return true;
    }

    void detach() {
        delete dashboard;
        dashboard = nullptr;
        if (share.view != nullptr) {
            SharedStatus(share.view).storeI32(rec::saverAttached, 0);
        }
        closeShare(share);
    }

    void copyParts(const DrawnArea& parts) {
        for (int i = 0; i < parts.count(); ++i) {
            output->copyCanvas(dashboard->canvas(), parts[i], placement.canvasOrigin,
                               placement.scale, placement.primary);
        }
    }

    void onTick() {
        bool messagePresent = false;
        int32_t bannerWidth = 0;
        Canvas* banner = dashboard != nullptr ? dashboard->bannerCanvas() : nullptr;
        if (logic.blankPhase() == BlankPhase::Blanked && share.view != nullptr) {
            messagePresent = SharedStatus(share.view).loadI32(rec::messagePresent) != 0;
            bannerWidth = banner != nullptr ? banner->width() * placement.scale : 0;
        }
        const TickPlan plan =
            logic.tick(tickCount(), share.view != nullptr, messagePresent, bannerWidth);
        switch (plan.action) {
            case TickAction::None:
                break;
            case TickAction::DrawLabel:
                output->drawLabel(placement.primary.left, placement.primary.top);
                break;
            case TickAction::Connect:
                if (!logic.connectResult(attach()) && !workerStarted) {
                    launchWorker();
                    workerStarted = true;  // once: then wait for its record
                }
                break;
            case TickAction::Update: {
                const bool drew = dashboard != nullptr && dashboard->updateFromStatus();
                const CanvasCopy copy = logic.shouldCopyCanvas(drew);
                if (copy == CanvasCopy::None || dashboard == nullptr) {
                    break;
                }
                DrawnArea parts = dashboard->canvas().takeDrawnArea();
                if (copy == CanvasCopy::Whole) {
                    parts = DrawnArea();
                    parts.add({0, 0, kCanvasWidth, kCanvasHeight});
                }
                copyParts(parts);
                break;
            }
            case TickAction::ClearScreen:
                output->fillBlack(client());
                logic.cleared(tickCount());
                break;
            case TickAction::DrawBanner:
                if (banner != nullptr) {
                    output->copyCanvas(*banner, {0, 0, banner->width(), banner->height()},
                                       {placement.primary.left + plan.bannerX,
                                        placement.primary.top + 10 * placement.scale},
                                       placement.scale, placement.primary);
                }
                break;
        }
    }

    void onExpose(Rect area) {
        if (dashboard != nullptr && logic.canvasOnScreen()) {
            output->copyCanvas(dashboard->canvas(), clientToCanvas(area, placement),
                               placement.canvasOrigin, placement.scale, placement.primary);
        }
    }

    void onResize(int32_t w, int32_t h) {
        if (w == width && h == height) {
            return;
        }
        width = w;
        height = h;
        placement = placeDashboard(client(), settings.Scale);
        output->fillBlack(client());
        onExpose(client());
    }

    // True when the saver should end (a key or a click in its own window).
    bool handleEvent(const XEvent& event) {
        switch (event.type) {
            case Expose:
                onExpose({event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                          event.xexpose.y + event.xexpose.height});
                return false;
            case ConfigureNotify:
                onResize(event.xconfigure.width, event.xconfigure.height);
                return false;
            case KeyPress:
            case ButtonPress:
                return ownWindow;
            case ClientMessage:
                return ownWindow;  // the window manager's close button
            default:
                return false;
        }
    }
};

bool openWindow(Saver& saver, const LinuxOptions& options) {
    Display* d = saver.display;
    X11Target target = options.target;
    unsigned long id = options.windowId;
    // The daemon runs its display modes with --root and covers the screen with a window
    // of its own, named in XSCREENSAVER_WINDOW: that window is the root to draw on.
    if (target == X11Target::Default || target == X11Target::Root) {
        const char* fromDaemon = std::getenv("XSCREENSAVER_WINDOW");
        if (fromDaemon != nullptr && parseWindowId(fromDaemon, id)) {
            target = X11Target::WindowId;
        } else if (target == X11Target::Default) {
            target = X11Target::Window;
        }
    }
    switch (target) {
        case X11Target::Root:
            saver.window = DefaultRootWindow(d);
            break;
        case X11Target::WindowId:
            saver.window = static_cast<Window>(id);
            break;
        default: {
            const int screen = DefaultScreen(d);
            saver.window = XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, 800, 600, 0,
                                               BlackPixel(d, screen), BlackPixel(d, screen));
            XStoreName(d, saver.window, "Vandrel");
            Atom close = XInternAtom(d, "WM_DELETE_WINDOW", False);
            XSetWMProtocols(d, saver.window, &close, 1);
            saver.ownWindow = true;
            break;
        }
    }
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(d, saver.window, &attributes)) {
        return false;
    }
    long events = ExposureMask | StructureNotifyMask;
    if (saver.ownWindow) {
        events |= KeyPressMask | ButtonPressMask;
    }
    XSelectInput(d, saver.window, events);
    XSetWindowBackground(d, saver.window, BlackPixel(d, DefaultScreen(d)));
    XClearWindow(d, saver.window);
    if (saver.ownWindow) {
        XMapRaised(d, saver.window);
    }
    saver.width = attributes.width;
    saver.height = attributes.height;
    return true;
}

bool badWindow = false;
int onXError(Display*, XErrorEvent* error) {
    badWindow = badWindow || error->error_code == BadWindow;
    return 0;
}

int run(const LinuxOptions& options) {
    Saver saver;
    saver.display = XOpenDisplay(nullptr);
    if (saver.display == nullptr) {
        std::fprintf(stderr, "vandrel: cannot open the X display\n");
        return 1;
    }
    XSetErrorHandler(onXError);
    if (!openWindow(saver, options)) {
        std::fprintf(stderr, "vandrel: no such window\n");
        return 1;
    }
    saver.output = std::make_unique<X11Output>(saver.display, saver.window);
    readSettings();
    saver.placement = placeDashboard(saver.client(), settings.Scale);
    saver.logic.create(saver.width, tickCount(), settings.Blank, settings.Minutes);
    if (saver.logic.displayMode() != DisplayMode::Label) {
        saver.attach();
    }

    bool done = false;
    uint32_t nextTick = tickCount();
    const int connection = ConnectionNumber(saver.display);
    while (!done && !quitRequested && !badWindow) {
        while (!done && XPending(saver.display) > 0) {
            XEvent event;
            XNextEvent(saver.display, &event);
            done = saver.handleEvent(event);
        }
        const uint32_t now = tickCount();
        if (static_cast<int32_t>(now - nextTick) >= 0) {
            saver.onTick();
            XFlush(saver.display);
            nextTick = now + kTickMs;
        }
        const int32_t wait = static_cast<int32_t>(nextTick - tickCount());
        pollfd fd{connection, POLLIN, 0};
        if (!done && XPending(saver.display) == 0) {
            poll(&fd, 1, wait > 0 ? wait : 0);
        }
    }
    saver.detach();
    saver.output.reset();  // its images and GC belong to the connection
    XCloseDisplay(saver.display);
    return 0;
}

}  // namespace
}  // namespace vandrel

int main(int argc, char** argv) {
    using namespace vandrel;
    LinuxOptions options;
    char error[256];
    if (!parseLinuxOptions(argc - 1, argv + 1, options, error, sizeof error)) {
        std::fprintf(stderr, "vandrel: %s\n%s", error, kLinuxUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kLinuxUsage, stdout);
        return 0;
    }
    struct sigaction action {};
    action.sa_handler = onTerminate;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return run(options);
}
