#pragma once
#include <cstddef>
#include <memory>

#include "host/posix/idle_source.h"

namespace vandrel {

// The X server's idle time, from the MIT-SCREEN-SAVER extension (the time since the last
// input or the last XResetScreenSaver, so a video player that resets the server's screen
// saver keeps the saver away). Null, with the reason in why, when there is no X display
// or it lacks the extension.
std::unique_ptr<IdleSource> openX11Idle(char* why, size_t whySize);

}  // namespace vandrel
