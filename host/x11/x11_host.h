#pragma once
#include "host/posix/linux_options.h"

struct _XDisplay;

namespace vandrel {

// The saver on an X11 display: in the window the screen-saver daemon hands it
// (XSCREENSAVER_WINDOW), in a window given by id, on the root window or in a window of
// its own. Returns the exit code: 0 when the user, a signal or the window's end stopped
// it, 1 when the display or the window could not be used or the connection was lost.
int runX11(const LinuxOptions& options);

// Ends the process with exit code 1, the record let go, when display's connection is lost.
void watchLostDisplay(_XDisplay* display);

}  // namespace vandrel
