#include "host/posix/screen_role.h"

namespace vandrel {

const MonitorBox* primaryMonitor(const MonitorBox* monitors, int count) {
    const MonitorBox* primary = nullptr;
    for (int i = 0; i < count && primary == nullptr; ++i) {
        primary = monitors[i].primary ? &monitors[i] : nullptr;
    }
    for (int i = 0; i < count && primary == nullptr; ++i) {
        primary = monitors[i].x == 0 && monitors[i].y == 0 ? &monitors[i] : nullptr;
    }
    return primary;
}

ScreenRole screenRoleOf(const MonitorBox* monitors, int count, int32_t windowX, int32_t windowY,
                        int32_t windowWidth, int32_t windowHeight) {
    const MonitorBox* primary = primaryMonitor(monitors, count);
    if (primary == nullptr) {
        return ScreenRole::Primary;
    }
    // In 64 bits: the server's coordinates are 16-bit, but sizes from elsewhere may not be.
    const int64_t cx = static_cast<int64_t>(windowX) + windowWidth / 2;
    const int64_t cy = static_cast<int64_t>(windowY) + windowHeight / 2;
    const bool inside = cx >= primary->x && cy >= primary->y &&
                        cx < static_cast<int64_t>(primary->x) + primary->width &&
                        cy < static_cast<int64_t>(primary->y) + primary->height;
    return inside ? ScreenRole::Primary : ScreenRole::Secondary;
}

}  // namespace vandrel
