#include "host/wayland/wayland_events.h"

#include <poll.h>
#include <wayland-client.h>

namespace vandrel {

bool readWaylandEvents(wl_display* display) {
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) {
            return false;
        }
    }
    pollfd fd{wl_display_get_fd(display), POLLIN, 0};
    if (poll(&fd, 1, 0) > 0) {
        // EAGAIN is handled inside: a failure here is a broken connection.
        if (wl_display_read_events(display) < 0) {
            return false;
        }
    } else {
        wl_display_cancel_read(display);
    }
    return wl_display_dispatch_pending(display) >= 0;
}

}  // namespace vandrel
