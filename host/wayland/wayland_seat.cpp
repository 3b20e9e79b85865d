#include "host/wayland/wayland_seat.h"

#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>

#include "controller/saver_logic.h"

namespace vandrel {

// The compositor's events, routed to the seat's small handlers. Later protocol versions'
// events are left out: they are bound at versions that lack them.
struct SeatListeners {
    static const wl_seat_listener seat;
    static const wl_pointer_listener pointer;
    static const wl_keyboard_listener keyboard;
    static const wl_touch_listener touch;

    static WaylandSeat& of(void* data) { return *static_cast<WaylandSeat*>(data); }
    static Point point(wl_fixed_t x, wl_fixed_t y) {
        return {wl_fixed_to_int(x), wl_fixed_to_int(y)};
    }
};

const wl_seat_listener SeatListeners::seat = {
    .capabilities = [](void* data, wl_seat*,
                       uint32_t capabilities) { of(data).onCapabilities(capabilities); },
    .name = [](void*, wl_seat*, const char*) {},
};

const wl_pointer_listener SeatListeners::pointer = {
    .enter = [](void* data, wl_pointer*, uint32_t serial, wl_surface* surface, wl_fixed_t x,
                wl_fixed_t y) { of(data).onPointerEnter(serial, surface, point(x, y)); },
    .leave = [](void*, wl_pointer*, uint32_t, wl_surface*) {},
    .motion = [](void* data, wl_pointer*, uint32_t, wl_fixed_t x,
                 wl_fixed_t y) { of(data).onPointerAt(point(x, y)); },
    .button =
        [](void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
            if (state == WL_POINTER_BUTTON_STATE_PRESSED) {
                of(data).wake();
            }
        },
    .axis = [](void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {},
    .frame = [](void*, wl_pointer*) {},
    .axis_source = [](void*, wl_pointer*, uint32_t) {},
    .axis_stop = [](void*, wl_pointer*, uint32_t, uint32_t) {},
    .axis_discrete = [](void*, wl_pointer*, uint32_t, int32_t) {},
};

const wl_keyboard_listener SeatListeners::keyboard = {
    // The keymap is of no use: any key wakes.
    .keymap = [](void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); },
    // Keys already down when the saver takes the keyboard (the one that started it from a
    // terminal) are no wake-up.
    .enter = [](void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {},
    .leave = [](void*, wl_keyboard*, uint32_t, wl_surface*) {},
    .key =
        [](void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state) {
            if (state == WL_KEYBOARD_KEY_STATE_PRESSED) {
                of(data).wake();
            }
        },
    .modifiers = [](void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {},
    .repeat_info = [](void*, wl_keyboard*, int32_t, int32_t) {},
};

const wl_touch_listener SeatListeners::touch = {
    .down = [](void* data, wl_touch*, uint32_t, uint32_t, wl_surface*, int32_t, wl_fixed_t,
               wl_fixed_t) { of(data).wake(); },
    .up = [](void*, wl_touch*, uint32_t, uint32_t, int32_t) {},
    .motion = [](void*, wl_touch*, uint32_t, int32_t, wl_fixed_t, wl_fixed_t) {},
    .frame = [](void*, wl_touch*) {},
    .cancel = [](void*, wl_touch*) {},
};

bool PointerTravel::movedTo(Point at) {
    if (!haveReference_) {
        haveReference_ = true;
        reference_ = at;
        return false;
    }
    return movedPastThreshold(reference_, at);
}

WaylandSeat::WaylandSeat(wl_registry* registry, uint32_t global, uint32_t version, SeatOwner& owner,
                         PointerTravel& travel, bool window)
    : owner_(owner),
      travel_(travel),
      window_(window),
      global_(global),
      version_(std::min(version, 5u)),
      seat_(
          static_cast<wl_seat*>(wl_registry_bind(registry, global, &wl_seat_interface, version_))) {
    wl_seat_add_listener(seat_, &SeatListeners::seat, this);
}

WaylandSeat::~WaylandSeat() {
    onCapabilities(0);
    if (version_ >= WL_SEAT_RELEASE_SINCE_VERSION) {
        wl_seat_release(seat_);  // the compositor frees its side too
    } else {
        wl_seat_destroy(seat_);
    }
}

void WaylandSeat::onCapabilities(uint32_t capabilities) {
    const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    const bool touch = (capabilities & WL_SEAT_CAPABILITY_TOUCH) != 0;
    if (pointer && pointer_ == nullptr) {
        pointer_ = wl_seat_get_pointer(seat_);
        wl_pointer_add_listener(pointer_, &SeatListeners::pointer, this);
    } else if (!pointer && pointer_ != nullptr) {
        wl_pointer_release(pointer_);
        pointer_ = nullptr;
    }
    if (keyboard && keyboard_ == nullptr) {
        keyboard_ = wl_seat_get_keyboard(seat_);
        wl_keyboard_add_listener(keyboard_, &SeatListeners::keyboard, this);
    } else if (!keyboard && keyboard_ != nullptr) {
        wl_keyboard_release(keyboard_);
        keyboard_ = nullptr;
    }
    if (touch && touch_ == nullptr) {
        touch_ = wl_seat_get_touch(seat_);
        wl_touch_add_listener(touch_, &SeatListeners::touch, this);
    } else if (!touch && touch_ != nullptr) {
        wl_touch_release(touch_);
        touch_ = nullptr;
    }
}

void WaylandSeat::onPointerEnter(uint32_t serial, const wl_surface* surface, Point local) {
    surfaceOrigin_ = owner_.layoutOrigin(surface);
    if (!window_) {
        wl_pointer_set_cursor(pointer_, serial, nullptr, 0, 0);  // no arrow over the saver
    }
    onPointerAt(local);
}

void WaylandSeat::onPointerAt(Point local) {
    if (window_) {
        return;  // a window is for looking at: only a key or a click closes it
    }
    // In layout coordinates, so that crossing from one output to the next counts as travel.
    if (travel_.movedTo({surfaceOrigin_.x + local.x, surfaceOrigin_.y + local.y})) {
        wake();
    }
}

}  // namespace vandrel
