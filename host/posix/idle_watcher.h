#pragma once
#include <cstdint>

#include "host/posix/linux_options.h"
#include "host/posix/idle_source.h"
#include "record/posix_share.h"

// vandrel --idle: the watcher that starts the saver when the session goes idle, on desktops
// where no daemon does (GNOME, KDE Plasma, X11 without xscreensaver).
namespace vandrel {

// Shows the saver once, on whichever display the program talks to; its exit code.
using ShowSaver = int (*)(const LinuxOptions& options);

// The wait before the saver shows: --idle MINUTES, else IdleMinutes= of the settings
// (read here), else 5 minutes.
uint32_t idleTimeoutMs(const LinuxOptions& options);

// Waits for source to report the session idle, shows the saver through show, and waits
// again when it ends, until a signal (SIGTERM, SIGINT, SIGHUP: exit code 0, a shown saver
// ended first) or the session's loss (1). Prints one line naming the source. A second
// watcher of the same user and display returns 0 at once, with a message. Sleeps in poll
// between the source's events.
int runIdleWatcher(IdleSource& source, const LinuxOptions& options, ShowSaver show,
                   const char* recordName = posixShareName());

}  // namespace vandrel
