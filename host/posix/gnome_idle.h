#pragma once
#include <cstddef>
#include <memory>

#include "host/posix/idle_source.h"

namespace vandrel {

// GNOME's idle time, from its compositor's org.gnome.Mutter.IdleMonitor on the session
// bus; inhibitors taken through org.gnome.SessionManager (a video player, a presentation)
// keep the saver away. Null, with the reason in why, when there is no session bus or no
// IdleMonitor on it.
std::unique_ptr<IdleSource> openGnomeIdle(char* why, size_t whySize);

}  // namespace vandrel
