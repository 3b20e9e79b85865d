// vandrel_wl_inhibitor: a small window that holds an idle inhibitor until SIGTERM, as a
// video player does, for the idle tests. Prints "ready" once the window has been shown
// with the inhibitor on it. Exit codes: 0 the compositor went away, 1 it lacks a part.
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstring>

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {

wl_compositor* compositor = nullptr;
wl_shm* shm = nullptr;
xdg_wm_base* shell = nullptr;
zwp_idle_inhibit_manager_v1* inhibitors = nullptr;
bool configured = false;

template <typename T>
void bindIf(T*& to, wl_registry* registry, uint32_t name, const char* interface,
            const wl_interface& wanted) {
    if (std::strcmp(interface, wanted.name) == 0) {
        to = static_cast<T*>(wl_registry_bind(registry, name, &wanted, 1));
    }
}

const wl_registry_listener registryListener = {
    .global =
        [](void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
            bindIf(compositor, registry, name, interface, wl_compositor_interface);
            bindIf(shm, registry, name, interface, wl_shm_interface);
            bindIf(shell, registry, name, interface, xdg_wm_base_interface);
            bindIf(inhibitors, registry, name, interface, zwp_idle_inhibit_manager_v1_interface);
        },
    .global_remove = [](void*, wl_registry*, uint32_t) {},
};
const xdg_wm_base_listener shellListener = {
    .ping = [](void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); },
};
const xdg_surface_listener surfaceListener = {
    .configure =
        [](void*, xdg_surface* surface, uint32_t serial) {
            xdg_surface_ack_configure(surface, serial);
            configured = true;
        },
};

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (compositor == nullptr || shm == nullptr || shell == nullptr || inhibitors == nullptr) {
        std::fprintf(stderr, "vandrel_wl_inhibitor: the compositor lacks a part\n");
        return 1;
    }
    xdg_wm_base_add_listener(shell, &shellListener, nullptr);
    wl_surface* surface = wl_compositor_create_surface(compositor);
    xdg_surface* role = xdg_wm_base_get_xdg_surface(shell, surface);
    xdg_surface_add_listener(role, &surfaceListener, nullptr);
    xdg_toplevel_set_title(xdg_surface_get_toplevel(role), "idle inhibitor");
    wl_surface_commit(surface);
    while (!configured && wl_display_dispatch(display) != -1) {
    }
    // Any size will do: a black square, tiled as the compositor likes.
    constexpr int side = 64, bytes = side * side * 4;
    const int fd = memfd_create("inhibitor", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, bytes) != 0) {
        return 1;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, bytes);
    wl_surface_attach(
        surface, wl_shm_pool_create_buffer(pool, 0, side, side, side * 4, WL_SHM_FORMAT_XRGB8888),
        0, 0);
    zwp_idle_inhibit_manager_v1_create_inhibitor(inhibitors, surface);
    wl_surface_commit(surface);
    if (wl_display_roundtrip(display) < 0) {
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    while (wl_display_dispatch(display) != -1) {
    }
    return 0;
}
