#pragma once
#include "host/posix/linux_options.h"

namespace vandrel {

// Runs the saver on the Wayland compositor that WAYLAND_DISPLAY names (or the default
// socket): the shared core drawing through a WaylandOutput. Returns the exit code: 0 when
// the user or a signal ended it, 1 when there is no compositor to talk to, it lacks what
// the saver needs, or the connection was lost.
int runWayland(const LinuxOptions& options);

}  // namespace vandrel
