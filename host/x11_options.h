#pragma once
#include <cstdint>

// The Linux saver's command line and the facts it reports to the worker, kept free of
// platform calls so they are tested natively.
namespace vandrel {

enum class X11Target : uint8_t {
    Default,   // XSCREENSAVER_WINDOW when set, else a window of its own
    Root,      // --root
    Window,    // --window: a window of its own, closed by a key or a click
    WindowId,  // --window-id ID
};

struct X11Options {
    X11Target target = X11Target::Default;
    unsigned long windowId = 0;
    bool help = false;
};

extern const char* const kX11Usage;

// Reads the arguments after the program name; options take one or two dashes, as the
// daemon's own display modes do. False, with a one-line complaint in error, for anything
// unknown or a window id that is not a number.
bool parseX11Options(int argc, const char* const* argv, X11Options& options, char* error,
                     int errorSize);

// A window id as the daemon writes it: decimal or 0x hexadecimal. False for anything else.
bool parseWindowId(const char* text, unsigned long& id);

// The Windows priority class a worker reads in saverPriorityClass for a nice value, so
// both saver hosts report alike: normal at 0, idle from 10 on.
int32_t priorityClassForNice(int nice);

}  // namespace vandrel
