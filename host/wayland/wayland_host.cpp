#include "host/wayland/wayland_host.h"

#include <wayland-client.h>

#include <cstdio>

#include "host/posix/saver_core.h"
#include "host/wayland/wayland_output.h"

namespace vandrel {

int runWayland(const LinuxOptions& options) {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "vandrel: cannot connect to the Wayland display\n");
        return 1;
    }
    int exitCode = 1;
    {
        WaylandOutput output(display, options);
        if (output.start()) {
            exitCode = runSaver(output, options);
        }
    }  // its surfaces and buffers belong to the connection
    wl_display_disconnect(display);
    return exitCode;
}

}  // namespace vandrel
