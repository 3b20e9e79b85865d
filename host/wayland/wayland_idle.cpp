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

// One armed wait is one notification object; a new wait replaces it, so its clock starts
// at the arm (the compositor counts from the later of that and the last input). The
// registry lives as long as the connection and announces globals at any time (an output
// plugged in, a seat): its listener points at this object, which owns what it binds.
class WaylandIdle final : public IdleSource {
  public:
    explicit WaylandIdle(wl_display* display) : display_(display) {}
    ~WaylandIdle() override {
        dropWait();
        if (seat_ != nullptr) {
            wl_seat_destroy(seat_);
        }
        if (notifier_ != nullptr) {
            ext_idle_notifier_v1_destroy(notifier_);
        }
        if (kdeIdle_ != nullptr) {
            org_kde_kwin_idle_destroy(kdeIdle_);
        }
        if (registry_ != nullptr) {
            wl_registry_destroy(registry_);
        }
        wl_display_disconnect(display_);
    }
    WaylandIdle(const WaylandIdle&) = delete;
    WaylandIdle& operator=(const WaylandIdle&) = delete;

    // Reads the globals; what the compositor lacks, or null.
    const char* open() {
        registry_ = wl_display_get_registry(display_);
        wl_registry_add_listener(registry_, &registryListener, this);
        if (wl_display_roundtrip(display_) < 0) {
            return "the Wayland compositor did not answer";
        }
        if (notifier_ == nullptr && kdeIdle_ == nullptr) {
            return "the Wayland compositor offers neither ext_idle_notifier_v1 nor "
                   "org_kde_kwin_idle";
        }
        if (seat_ == nullptr) {
            return "the Wayland compositor offers no seat to watch";
        }
        return nullptr;
    }

    const char* name() const override {
        return notifier_ != nullptr ? "ext_idle_notifier_v1" : "org_kde_kwin_idle";
    }
    int connectionFd() const override { return wl_display_get_fd(display_); }

    bool arm(uint32_t timeoutMs) override {
        dropWait();
        idle_ = false;
        if (notifier_ != nullptr) {
            notification_ = ext_idle_notifier_v1_get_idle_notification(notifier_, timeoutMs, seat_);
            ext_idle_notification_v1_add_listener(notification_, &notificationListener, this);
        } else {
            timeout_ = org_kde_kwin_idle_get_idle_timeout(kdeIdle_, seat_, timeoutMs);
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
    // The first seat and the first of either idle protocol; the newer protocol wins, and
    // one announced again binds nothing more.
    void onGlobal(uint32_t name, const char* interface) {
        if (seat_ == nullptr && std::strcmp(interface, wl_seat_interface.name) == 0) {
            seat_ = static_cast<wl_seat*>(wl_registry_bind(registry_, name, &wl_seat_interface, 1));
        } else if (notifier_ == nullptr &&
                   std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
            // Version 1's notification honours inhibitors; it is all this needs.
            notifier_ = static_cast<ext_idle_notifier_v1*>(
                wl_registry_bind(registry_, name, &ext_idle_notifier_v1_interface, 1));
        } else if (notifier_ == nullptr && kdeIdle_ == nullptr &&
                   std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
            kdeIdle_ = static_cast<org_kde_kwin_idle*>(
                wl_registry_bind(registry_, name, &org_kde_kwin_idle_interface, 1));
        }
        if (notifier_ != nullptr && kdeIdle_ != nullptr) {  // its waits stand alone
            org_kde_kwin_idle_destroy(kdeIdle_);
            kdeIdle_ = nullptr;
        }
    }

    static void announced(void* data, wl_registry*, uint32_t name, const char* interface,
                          uint32_t) {
        static_cast<WaylandIdle*>(data)->onGlobal(name, interface);
    }
    static constexpr wl_registry_listener registryListener = {
        .global = announced,
        .global_remove = [](void*, wl_registry*, uint32_t) {},
    };
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
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    ext_idle_notifier_v1* notifier_ = nullptr;
    org_kde_kwin_idle* kdeIdle_ = nullptr;
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
    auto source = std::make_unique<WaylandIdle>(display);
    if (const char* lack = source->open()) {
        std::snprintf(why, whySize, "%s", lack);
        return nullptr;
    }
    return source;
}

}  // namespace vandrel
