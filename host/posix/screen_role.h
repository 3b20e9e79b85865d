#pragma once
#include <cstdint>

// Whether a saver's window lies on the primary monitor, the one that shows the dashboard
// when a daemon runs one saver per monitor. Kept free of X calls so it is tested natively.
namespace vandrel {

enum class ScreenRole : uint8_t {
    Primary,    // on the primary monitor, or no monitor can be told apart
    Secondary,  // on another monitor: black while a primary saver runs
};

struct MonitorBox {
    int32_t x, y, width, height;
    bool primary;
};

// The monitor marked primary; without one, the monitor at (0, 0); null without that.
const MonitorBox* primaryMonitor(const MonitorBox* monitors, int count);

// The primary is the monitor marked so; without one, the monitor at (0, 0); without
// that, none, and every window counts as primary (the lock then picks one). A window
// belongs to the monitor that holds its centre.
ScreenRole screenRoleOf(const MonitorBox* monitors, int count, int32_t windowX, int32_t windowY,
                        int32_t windowWidth, int32_t windowHeight);

}  // namespace vandrel
