#pragma once
#include <cstddef>
#include <memory>

#include "host/posix/idle_source.h"

namespace vandrel {

// The compositor's own idle protocol on the display WAYLAND_DISPLAY names:
// ext_idle_notifier_v1 where offered, else org_kde_kwin_idle. Both leave inhibitors (a
// video player's zwp_idle_inhibitor_v1) to the compositor. Null, with the reason in why,
// when there is no Wayland display or it offers neither protocol or no seat.
std::unique_ptr<IdleSource> openWaylandIdle(char* why, size_t whySize);

}  // namespace vandrel
