// vandrel_kwin_key: presses and releases one key (an evdev code, default 30, "a") through
// KWin's fake input protocol, for the KWin end-to-end test. KWin hands that protocol only
// to programs whose desktop entry asks for it (X-KDE-Wayland-Interfaces); the test writes
// one for this program. Exit codes: 0 sent, 1 no compositor or no fake input for it.
#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The protocol's interface at version 4, written out by hand: only its first request
// and the key one (the eleventh) are sent.
const wl_interface* noTypes[3] = {};
const wl_message requests[] = {
    {"authenticate", "ss", noTypes},  {"pointer_motion", "ff", noTypes},
    {"button", "uu", noTypes},        {"axis", "uf", noTypes},
    {"touch_down", "2uff", noTypes},  {"touch_motion", "2uff", noTypes},
    {"touch_up", "2u", noTypes},      {"touch_cancel", "2", noTypes},
    {"touch_frame", "2", noTypes},    {"pointer_motion_absolute", "3ff", noTypes},
    {"keyboard_key", "4uu", noTypes},
};
const wl_interface fakeInputInterface = {
    "org_kde_kwin_fake_input", 4, 11, requests, 0, nullptr,
};
wl_proxy* fakeInput = nullptr;

const wl_registry_listener registryListener = {
    .global =
        [](void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
            if (std::strcmp(interface, fakeInputInterface.name) == 0 && version >= 4) {
                fakeInput = static_cast<wl_proxy*>(
                    wl_registry_bind(registry, name, &fakeInputInterface, 4));
            }
        },
    .global_remove = [](void*, wl_registry*, uint32_t) {},
};

}  // namespace

int main(int argc, char** argv) {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (fakeInput == nullptr) {
        std::fprintf(stderr, "vandrel_kwin_key: KWin gives this program no fake input\n");
        return 1;
    }
    const uint32_t key = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 30;
    wl_proxy_marshal(fakeInput, 0, "vandrel tests", "a key that ends the saver");
    wl_proxy_marshal(fakeInput, 10, key, 1u);
    wl_proxy_marshal(fakeInput, 10, key, 0u);
    return wl_display_roundtrip(display) < 0 ? 1 : 0;
}
