#include "host/wayland/wayland_screen.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstdio>

#include "xdg-output-unstable-v1-client-protocol.h"

namespace vandrel {
namespace {

// Far past any layout, so that a pointer position added to it cannot overflow.
constexpr int32_t kMaxLayout = 1 << 24;

WaylandScreen& screen(void* data) {
    return *static_cast<WaylandScreen*>(data);
}

void setPosition(WaylandScreen& s, int32_t x, int32_t y) {
    s.x = std::clamp(x, -kMaxLayout, kMaxLayout);
    s.y = std::clamp(y, -kMaxLayout, kMaxLayout);
}

// Later protocol versions' events are left out: they are bound at versions that lack them.
const wl_output_listener outputListener = {
    // The place in the layout and the transform; the rest is for people.
    .geometry =
        [](void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*,
           const char*, int32_t transform) {
            if (screen(data).xdgOutput == nullptr) {
                setPosition(screen(data), x, y);
            }
            screen(data).transform = transform;
        },
    .mode =
        [](void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
            if ((flags & WL_OUTPUT_MODE_CURRENT) != 0) {
                screen(data).modeWidth = width;
                screen(data).modeHeight = height;
            }
        },
    .done = [](void* data, wl_output*) { screen(data).owner.onOutputDone(screen(data)); },
    .scale = [](void* data, wl_output*, int32_t factor) { screen(data).scale = factor; },
    .name =
        [](void* data, wl_output*, const char* name) {
            std::snprintf(screen(data).name, sizeof screen(data).name, "%s", name ? name : "");
        },
    .description = [](void*, wl_output*, const char*) {},
};

// wlroots compositors put every wl_output at (0, 0): the layout position comes from here.
const zxdg_output_v1_listener xdgOutputListener = {
    .logical_position = [](void* data, zxdg_output_v1*, int32_t x,
                           int32_t y) { setPosition(screen(data), x, y); },
    .logical_size = [](void*, zxdg_output_v1*, int32_t, int32_t) {},
    // From version 3 on, wl_output.done closes the description; before, this does.
    .done =
        [](void* data, zxdg_output_v1*) {
            if (screen(data).ready) {
                screen(data).owner.onOutputDone(screen(data));
            }
        },
    .name =
        [](void* data, zxdg_output_v1*, const char* name) {
            // wl_output.name, where the compositor sends it, says the same.
            std::snprintf(screen(data).name, sizeof screen(data).name, "%s", name ? name : "");
        },
    .description = [](void*, zxdg_output_v1*, const char*) {},
};

}  // namespace

WaylandScreen::WaylandScreen(wl_registry* registry, uint32_t global, uint32_t version,
                             ScreenOwner& owner)
    : owner(owner),
      global(global),
      version(std::min(version, 4u)),  // 4: the output's name
      output(static_cast<wl_output*>(
          wl_registry_bind(registry, global, &wl_output_interface, this->version))) {
    wl_output_add_listener(output, &outputListener, this);
}

WaylandScreen::~WaylandScreen() {
    surface.reset();
    if (xdgOutput != nullptr) {
        zxdg_output_v1_destroy(xdgOutput);
    }
    if (version >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
        wl_output_release(output);
    } else {
        wl_output_destroy(output);
    }
}

void WaylandScreen::describe(zxdg_output_manager_v1* manager) {
    if (manager != nullptr && xdgOutput == nullptr) {
        xdgOutput = zxdg_output_manager_v1_get_xdg_output(manager, output);
        zxdg_output_v1_add_listener(xdgOutput, &xdgOutputListener, this);
    }
}

}  // namespace vandrel
