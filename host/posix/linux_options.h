#pragma once
#include <cstdint>

// The Linux saver's command line and the facts it reports to the worker, kept free of
// platform calls so they are tested natively.
namespace vandrel {

enum class SaverTarget : uint8_t {
    Default,   // XSCREENSAVER_WINDOW when set, else a window of its own
    Root,      // --root
    Window,    // --window: a window of its own, closed by a key or a click
    WindowId,  // --window-id ID
    Cover,     // --idle without a daemon: a window of its own over the whole screen
};

// Which display the saver talks to.
enum class DisplaySystem : uint8_t { Auto, X11, Wayland };

inline constexpr int kMaxOutputName = 63;

struct LinuxOptions {
    SaverTarget target = SaverTarget::Default;
    unsigned long windowId = 0;
    DisplaySystem display = DisplaySystem::Auto;  // --x11, --wayland
    char outputName[kMaxOutputName + 1] = "";     // --output NAME (Wayland)
    int32_t scale = -1;                           // --scale N: -1 unset, 0 automatic, 1..8
    bool idle = false;                            // --idle [MINUTES]: wait, show, wait again
    uint32_t idleMs = 0;                          // its MINUTES; 0 leaves it to the setting
    bool settings = false;                        // --settings: the settings window instead
    bool help = false;
};

extern const char* const kLinuxUsage;

// Reads the arguments after the program name; options take one or two dashes, as the
// daemon's own display modes do. False, with a one-line complaint in error, for anything
// unknown or a value out of its range.
bool parseLinuxOptions(int argc, const char* const* argv, LinuxOptions& options, char* error,
                       int errorSize);

// A window id as the daemon writes it: decimal, or hexadecimal after "0x", at most 32
// bits. False for anything else ("010" is ten, not octal eight).
bool parseWindowId(const char* text, unsigned long& id);

// Wayland when forced, or when WAYLAND_DISPLAY is set and nothing names an X11 target
// (XSCREENSAVER_WINDOW, --root, --window-id); X11 otherwise.
DisplaySystem chooseDisplaySystem(const LinuxOptions& options, bool waylandDisplaySet,
                                  bool daemonWindowSet);

// Minutes of idleness before the saver shows, as --idle and IdleMinutes= give them: a
// decimal number with an optional fraction ("5", "0.05"), above 0 and at most a day.
// False for anything else, with ms untouched.
bool parseIdleMinutes(const char* text, uint32_t& ms);

// The Windows priority class a worker reads in saverPriorityClass for a nice value, so
// both saver hosts report alike: normal at 0, idle from 10 on.
int32_t priorityClassForNice(int nice);

}  // namespace vandrel
