#pragma once
#include <cstdint>

#include "render/rect.h"

struct wl_keyboard;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct wl_surface;
struct wl_touch;

namespace vandrel {

// Where a pointer was first seen, in layout coordinates. One for all seats: travel counts
// from the first position any pointer reported.
class PointerTravel {
  public:
    // True when at lies past the wake threshold from that first position.
    bool movedTo(Point at);

  private:
    bool haveReference_ = false;
    Point reference_{0, 0};
};

// What a seat needs from the saver it serves.
class SeatOwner {
  public:
    // A key, a button, a touch, or pointer travel past the wake threshold.
    virtual void onWake() = 0;
    // Where one of the saver's surfaces lies in the compositor's layout; {0, 0} for any
    // other.
    virtual Point layoutOrigin(const wl_surface* surface) const = 0;

  protected:
    ~SeatOwner() = default;
};

// One wl_seat and the input devices it has now: a pointer, a keyboard, a touch screen,
// each taken when the seat gains it and let go when it loses it. Over a window only a
// key, a button or a touch wakes; over the saver's outputs the pointer's travel does too,
// and the pointer shows no arrow.
class WaylandSeat {
  public:
    WaylandSeat(wl_registry* registry, uint32_t global, uint32_t version, SeatOwner& owner,
                PointerTravel& travel, bool window);
    ~WaylandSeat();
    WaylandSeat(const WaylandSeat&) = delete;
    WaylandSeat& operator=(const WaylandSeat&) = delete;

    uint32_t global() const { return global_; }

  private:
    friend struct SeatListeners;

    void onCapabilities(uint32_t capabilities);
    void onPointerEnter(uint32_t serial, const wl_surface* surface, Point local);
    void onPointerAt(Point local);
    void wake() { owner_.onWake(); }

    SeatOwner& owner_;
    PointerTravel& travel_;
    bool window_;
    uint32_t global_;
    uint32_t version_;
    wl_seat* seat_;
    wl_pointer* pointer_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    wl_touch* touch_ = nullptr;
    Point surfaceOrigin_{0, 0};  // where the pointer's surface lies in the layout
};

}  // namespace vandrel
