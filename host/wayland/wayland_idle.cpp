#include "host/wayland/wayland_idle.h"

#include <wayland-client.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ext-idle-notify-v1-client-protocol.h"
#include "host/wayland/wayland_events.h"
#include "kde-idle-client-protocol.h"

namespace vandrel {
namespace {

// What the registry offered: the first seat and either idle protocol.
struct Globals {
    wl_seat* seat = nullptr;
    ext_idle_notifier_v1* notifier = nullptr;
    org_kde_kwin_idle* kdeIdle = nullptr;
};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    Globals& globals = *static_cast<Globals*>(data);
    if (globals.seat == nullptr && std::strcmp(interface, wl_seat_interface.name) == 0) {
        globals.seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (globals.notifier == nullptr &&
               std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
        // Version 1's notification honours inhibitors; it is all this needs.
        globals.notifier = static_cast<ext_idle_notifier_v1*>(
            wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
    } else if (globals.kdeIdle == nullptr &&
               std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
        globals.kdeIdle = static_cast<org_kde_kwin_idle*>(
            wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
    }
}

void dropGlobals(Globals& globals) {
    if (globals.seat != nullptr) {
        wl_seat_destroy(globals.seat);
    }
    if (globals.notifier != nullptr) {
        ext_idle_notifier_v1_destroy(globals.notifier);
    }
    if (globals.kdeIdle != nullptr) {
        org_kde_kwin_idle_destroy(globals.kdeIdle);
    }
    globals = Globals{};
}

const wl_registry_listener registryListener = {
    .global = onGlobal,
    .global_remove = [](void*, wl_registry*, uint32_t) {},
};

// One armed wait is one notification object; a new wait replaces it, so its clock starts
// at the arm (the compositor counts from the later of that and the last input).
class WaylandIdle final : public IdleSource {
  public:
    WaylandIdle(wl_display* display, wl_registry* registry, const Globals& globals)
        : display_(display), registry_(registry), globals_(globals) {}
    ~WaylandIdle() override {
        dropWait();
        dropGlobals(globals_);
        wl_registry_destroy(registry_);
        wl_display_disconnect(display_);
    }
    WaylandIdle(const WaylandIdle&) = delete;
    WaylandIdle& operator=(const WaylandIdle&) = delete;

    const char* name() const override {
        return globals_.notifier != nullptr ? "ext_idle_notifier_v1" : "org_kde_kwin_idle";
    }
    int connectionFd() const override { return wl_display_get_fd(display_); }

    bool arm(uint32_t timeoutMs) override {
        dropWait();
        idle_ = false;
        if (globals_.notifier != nullptr) {
            notification_ = ext_idle_notifier_v1_get_idle_notification(globals_.notifier, timeoutMs,
                                                                       globals_.seat);
            ext_idle_notification_v1_add_listener(notification_, &notificationListener, this);
        } else {
            timeout_ =
                org_kde_kwin_idle_get_idle_timeout(globals_.kdeIdle, globals_.seat, timeoutMs);
            org_kde_kwin_idle_timeout_add_listener(timeout_, &timeoutListener, this);
        }
        return flush();
    }

    IdleState check() override {
        if (!flush() || !readWaylandEvents(display_)) {
            return IdleState::Lost;
        }
        return idle_ ? IdleState::Idle : IdleState::Waiting;
    }

  private:
    static void setIdle(void* data, bool idle) { static_cast<WaylandIdle*>(data)->idle_ = idle; }
    static constexpr ext_idle_notification_v1_listener notificationListener = {
        .idled = [](void* data, ext_idle_notification_v1*) { setIdle(data, true); },
        .resumed = [](void* data, ext_idle_notification_v1*) { setIdle(data, false); },
    };
    static constexpr org_kde_kwin_idle_timeout_listener timeoutListener = {
        .idle = [](void* data, org_kde_kwin_idle_timeout*) { setIdle(data, true); },
        .resumed = [](void* data, org_kde_kwin_idle_timeout*) { setIdle(data, false); },
    };

    // A full socket is no loss: the rest goes at the next flush.
    bool flush() { return wl_display_flush(display_) >= 0 || errno == EAGAIN; }

    void dropWait() {
        if (notification_ != nullptr) {
            ext_idle_notification_v1_destroy(notification_);
            notification_ = nullptr;
        }
        if (timeout_ != nullptr) {
            org_kde_kwin_idle_timeout_release(timeout_);
            timeout_ = nullptr;
        }
    }

    wl_display* display_;
    wl_registry* registry_;
    Globals globals_;
    ext_idle_notification_v1* notification_ = nullptr;
    org_kde_kwin_idle_timeout* timeout_ = nullptr;
    bool idle_ = false;
};

}  // namespace

std::unique_ptr<IdleSource> openWaylandIdle(char* why, size_t whySize) {
    const char* socket = std::getenv("WAYLAND_DISPLAY");
    wl_display* display =
        socket != nullptr && socket[0] != '\0' ? wl_display_connect(nullptr) : nullptr;
    if (display == nullptr) {
        std::snprintf(why, whySize, "no Wayland display to ask");
        return nullptr;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &globals);
    const char* lack = nullptr;
    if (wl_display_roundtrip(display) < 0) {
        lack = "the Wayland compositor did not answer";
    } else if (globals.notifier == nullptr && globals.kdeIdle == nullptr) {
        lack = "the Wayland compositor offers neither ext_idle_notifier_v1 nor org_kde_kwin_idle";
    } else if (globals.seat == nullptr) {
        lack = "the Wayland compositor offers no seat to watch";
    }
    if (lack == nullptr) {
        if (globals.notifier != nullptr && globals.kdeIdle != nullptr) {
            org_kde_kwin_idle_destroy(globals.kdeIdle);  // the newer one is used
            globals.kdeIdle = nullptr;
        }
        return std::make_unique<WaylandIdle>(display, registry, globals);
    }
    std::snprintf(why, whySize, "%s", lack);
    dropGlobals(globals);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return nullptr;
}

}  // namespace vandrel
