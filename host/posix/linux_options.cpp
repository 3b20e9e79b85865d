#include "host/posix/linux_options.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vandrel {
namespace {

constexpr unsigned kMaxIdleMinutes = 24 * 60;

}  // namespace

const char* const kLinuxUsage =
    "usage: vandrel [--root | --window | --window-id ID] [--x11 | --wayland] [--output NAME]\n"
    "               [--scale N] [--idle [MINUTES]] [--settings] [--help]\n"
    "  Shows the volunteer worker's dashboard from its shared record /vandrel_share-UID\n"
    "  (UID: your numeric user id), and starts the worker when no worker keeps it.\n"
    "  --root          X11: draw on the root window ($XSCREENSAVER_WINDOW when set)\n"
    "  --window        draw in a window of its own; a key or a click closes it\n"
    "  --window-id ID  X11: draw in the window ID (decimal or 0x hexadecimal)\n"
    "  --x11, --wayland  talk to that display; by default Wayland when WAYLAND_DISPLAY is\n"
    "                  set and no X11 window is named, else X11\n"
    "  --output NAME   Wayland: the output that shows the dashboard (default: top left)\n"
    "  --scale N       dashboard size: 0 automatic, 1 to 8 a fixed factor (over Scale=)\n"
    "  --idle [MINUTES]  keep running: show the saver after MINUTES without input (default\n"
    "                  IdleMinutes=, else 5), and again after each time it ends\n"
    "  --settings      open the settings window, vandrel-settings\n"
    "  Without a target it covers the screen: on Wayland every output (ended by a key, a\n"
    "  click, a touch or pointer travel), on X11 $XSCREENSAVER_WINDOW or a window of its own.\n"
    "  Settings: $XDG_CONFIG_HOME/vandrel/vandrel.ini (else ~/.config/vandrel/vandrel.ini),\n"
    "  section [boot]: Blank, Minutes, Scale, IdleMinutes, ClientPath, ClientDir.\n";

bool parseIdleMinutes(const char* text, uint32_t& ms) {
    if (text == nullptr) {
        return false;
    }
    uint64_t whole = 0;  // in 1/1000 minutes
    uint64_t unit = 1000;
    bool digits = false, point = false;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '.' && !point) {
            point = true;
        } else if (*p >= '0' && *p <= '9') {
            digits = true;
            if (!point) {
                whole = whole * 10 + static_cast<uint64_t>(*p - '0') * 1000;
            } else if (unit > 1) {
                unit /= 10;
                whole += static_cast<uint64_t>(*p - '0') * unit;
            }
            if (whole > kMaxIdleMinutes * 1000) {
                return false;
            }
        } else {
            return false;
        }
    }
    const uint64_t result = whole * 60;  // 1/1000 minute is 60 ms
    if (!digits || result == 0) {
        return false;
    }
    ms = static_cast<uint32_t>(result);
    return true;
}

bool parseWindowId(const char* text, unsigned long& id) {
    if (text == nullptr || text[0] == '\0') {
        return false;
    }
    int base = 10;
    const char* digits = text;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        digits = text + 2;
    }
    uint64_t value = 0;
    if (*digits == '\0') {
        return false;
    }
    for (const char* p = digits; *p != '\0'; ++p) {
        int digit;
        if (*p >= '0' && *p <= '9') {
            digit = *p - '0';
        } else if (base == 16 && *p >= 'a' && *p <= 'f') {
            digit = *p - 'a' + 10;
        } else if (base == 16 && *p >= 'A' && *p <= 'F') {
            digit = *p - 'A' + 10;
        } else {
            return false;
        }
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFu) {
            return false;
        }
    }
    id = static_cast<unsigned long>(value);
    return true;
}

bool parseLinuxOptions(int argc, const char* const* argv, LinuxOptions& options, char* error,
                       int errorSize) {
    options = LinuxOptions{};
    if (errorSize > 0) {
        error[0] = '\0';
    }
    const size_t errorBytes = errorSize > 0 ? static_cast<size_t>(errorSize) : 0;
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        const char* name = arg;
        if (name[0] == '-' && name[1] == '-') {
            ++name;
        }
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (std::strcmp(name, "-root") == 0) {
            options.target = SaverTarget::Root;
        } else if (std::strcmp(name, "-window") == 0) {
            options.target = SaverTarget::Window;
        } else if (std::strcmp(name, "-window-id") == 0) {
            if (value == nullptr || !parseWindowId(value, options.windowId)) {
                std::snprintf(error, errorBytes,
                              "%s needs a window id (decimal or 0x hexadecimal, 32 bits)", arg);
                return false;
            }
            options.target = SaverTarget::WindowId;
            ++i;
        } else if (std::strcmp(name, "-x11") == 0) {
            options.display = DisplaySystem::X11;
        } else if (std::strcmp(name, "-wayland") == 0) {
            options.display = DisplaySystem::Wayland;
        } else if (std::strcmp(name, "-output") == 0) {
            if (value == nullptr || value[0] == '\0' ||
                std::strlen(value) > static_cast<size_t>(kMaxOutputName)) {
                std::snprintf(error, errorBytes, "%s needs an output name", arg);
                return false;
            }
            std::snprintf(options.outputName, sizeof options.outputName, "%s", value);
            ++i;
        } else if (std::strcmp(name, "-scale") == 0) {
            if (value == nullptr || value[0] < '0' || value[0] > '8' || value[1] != '\0') {
                std::snprintf(error, errorBytes, "%s needs 0 (automatic) or a factor 1 to 8", arg);
                return false;
            }
            options.scale = value[0] - '0';
            ++i;
        } else if (std::strcmp(name, "-idle") == 0) {
            options.idle = true;
            // MINUTES is optional: a value that is no number is the next option.
            if (value != nullptr && value[0] != '-') {
                if (!parseIdleMinutes(value, options.idleMs)) {
                    std::snprintf(error, errorBytes,
                                  "%s takes minutes above 0 and at most %u (\"0.05\" is 3 s)", arg,
                                  kMaxIdleMinutes);
                    return false;
                }
                ++i;
            }
        } else if (std::strcmp(name, "-settings") == 0) {
            options.settings = true;
        } else if (std::strcmp(name, "-help") == 0 || std::strcmp(name, "-h") == 0) {
            options.help = true;
        } else {
            std::snprintf(error, errorBytes, "unknown option: %s", arg);
            return false;
        }
    }
    return true;
}

DisplaySystem chooseDisplaySystem(const LinuxOptions& options, bool waylandDisplaySet,
                                  bool daemonWindowSet) {
    if (options.display != DisplaySystem::Auto) {
        return options.display;
    }
    const bool x11Target = daemonWindowSet || options.target == SaverTarget::Root ||
                           options.target == SaverTarget::WindowId;
    return waylandDisplaySet && !x11Target ? DisplaySystem::Wayland : DisplaySystem::X11;
}

int32_t priorityClassForNice(int nice) {
    if (nice >= 10) {
        return 0x40;  // idle
    }
    if (nice > 0) {
        return 0x4000;  // below normal
    }
    if (nice == 0) {
        return 0x20;  // normal
    }
    return nice > -10 ? 0x8000 : 0x80;  // above normal, high
}

}  // namespace vandrel
