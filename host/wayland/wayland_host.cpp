#include "host/wayland/wayland_host.h"

#include <poll.h>
#include <wayland-client.h>

#include <cstdio>

#include "host/posix/saver_core.h"
#include "host/wayland/wayland_output.h"

namespace vandrel {
namespace {

// The core picks its display mode from its first size: on a compositor with no output yet
// (all unplugged or off) it waits for the first one's configure. False when the user,
// a signal or a lost connection ended it meanwhile, with the exit code.
bool awaitSize(WaylandOutput& output, int& exitCode) {
    pollfd connection{output.connectionFd(), POLLIN, 0};
    while (output.width() <= 0) {
        OutputEvents events;
        output.dispatch(events);
        if (events.end || quitRequested()) {
            exitCode = events.end ? events.exitCode : 0;
            return false;
        }
        poll(&connection, 1, 250);  // a signal just before it is seen at the next round
    }
    return true;
}

}  // namespace

int runWayland(const LinuxOptions& options) {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "vandrel: cannot connect to the Wayland display\n");
        return 1;
    }
    int exitCode = 1;
    {
        WaylandOutput output(display, options);
        if (output.start() && awaitSize(output, exitCode)) {
            exitCode = runSaver(output, options);
        }
    }  // its surfaces and buffers belong to the connection
    wl_display_disconnect(display);
    return exitCode;
}

}  // namespace vandrel
