#include "host/x11/x11_raw_input.h"

#include <X11/extensions/XInput2.h>

namespace vandrel {

bool X11RawInput::watch(Display* display) {
    int event = 0, error = 0;
    if (!XQueryExtension(display, "XInputExtension", &opcode_, &event, &error)) {
        opcode_ = -1;
        return false;
    }
    // Announcing 2.1 or later is what keeps raw events coming during another's grab.
    int major = 2, minor = 2;
    if (XIQueryVersion(display, &major, &minor) != Success || major * 100 + minor < 201) {
        opcode_ = -1;
        return false;
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawMotion);
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    return true;
}

X11RawInput::Kind X11RawInput::read(const XEvent& event) const {
    const XGenericEventCookie& cookie = event.xcookie;
    if (opcode_ < 0 || cookie.type != GenericEvent || cookie.extension != opcode_) {
        return Kind::Other;
    }
    // The evtype alone tells the kind; the event's data is not needed.
    switch (cookie.evtype) {
        case XI_RawKeyPress:
        case XI_RawButtonPress:
            return Kind::Press;
        case XI_RawMotion:
            return Kind::Motion;
        default:
            return Kind::Other;
    }
}

}  // namespace vandrel
