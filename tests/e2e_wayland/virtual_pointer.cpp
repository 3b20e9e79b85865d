// vandrel_wl_pointer: gives the compositor's default seat a pointer until SIGTERM, for the
// Wayland end-to-end tests. A headless sway has no input devices, so its seat offers no
// pointer and `swaymsg seat seat0 cursor ...` reaches no client; a virtual pointer device
// (wlr virtual pointer protocol) makes the seat a pointer seat, and swaymsg then moves and
// clicks it. Prints "ready" once the device exists.
// Exit codes: 0 the compositor went away, 1 no compositor or no virtual pointer support.
#include <wayland-client.h>

#include <cstdio>
#include <cstring>

namespace {

// The protocol's two interfaces, written out by hand: only the requests matter here, and
// the device is never sent an event of ours (swaymsg drives the seat's cursor).
const wl_interface* noTypes[5] = {};
const wl_message pointerRequests[] = {
    {"motion", "uff", noTypes},   {"motion_absolute", "uuuuu", noTypes},
    {"button", "uuu", noTypes},   {"axis", "uuf", noTypes},
    {"frame", "", noTypes},       {"axis_source", "u", noTypes},
    {"axis_stop", "uu", noTypes}, {"axis_discrete", "uufi", noTypes},
    {"destroy", "", noTypes},
};
const wl_interface virtualPointerInterface = {
    "zwlr_virtual_pointer_v1", 1, 9, pointerRequests, 0, nullptr,
};
const wl_interface* createTypes[] = {&wl_seat_interface, &virtualPointerInterface};
const wl_message managerRequests[] = {
    {"create_virtual_pointer", "?on", createTypes},
    {"destroy", "", noTypes},
};
const wl_interface managerInterface = {
    "zwlr_virtual_pointer_manager_v1", 1, 2, managerRequests, 0, nullptr,
};

wl_proxy* manager = nullptr;

const wl_registry_listener registryListener = {
    .global =
        [](void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
            if (std::strcmp(interface, managerInterface.name) == 0) {
                manager =
                    static_cast<wl_proxy*>(wl_registry_bind(registry, name, &managerInterface, 1));
            }
        },
    .global_remove = [](void*, wl_registry*, uint32_t) {},
};

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "vandrel_wl_pointer: no Wayland compositor\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (manager == nullptr) {
        std::fprintf(stderr, "vandrel_wl_pointer: the compositor has no virtual pointers\n");
        return 1;
    }
    // A null seat: the compositor's default one.
    wl_proxy_marshal_constructor(manager, 0, &virtualPointerInterface, nullptr, nullptr);
    if (wl_display_roundtrip(display) < 0) {
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    while (wl_display_dispatch(display) != -1) {
    }
    return 0;
}
