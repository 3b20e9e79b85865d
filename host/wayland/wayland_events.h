#pragma once

struct wl_display;

namespace vandrel {

// Reads and dispatches what the compositor has sent, without blocking. False once the
// connection is broken (a hang-up reads as end of file).
bool readWaylandEvents(wl_display* display);

}  // namespace vandrel
