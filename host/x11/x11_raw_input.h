#pragma once
#include <X11/Xlib.h>

namespace vandrel {

// Input anywhere on the display, seen without taking it: XInput 2 raw events selected on
// the root window reach every client that asks for them, also while another client (a
// screen locker) grabs the keyboard and the pointer, and no window needs the focus.
class X11RawInput {
  public:
    enum class Kind { Other, Press, Motion };  // Press: a key or a button

    // False when the server lacks XInput 2.1: before it, a grab held raw events back.
    bool watch(Display* display);
    // What a raw event that XNextEvent returned says; Other for any other event.
    Kind read(const XEvent& event) const;

  private:
    int opcode_ = -1;
};

}  // namespace vandrel
