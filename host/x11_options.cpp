#include "host/x11_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vandrel {

const char* const kX11Usage =
    "usage: vandrel [--root | --window | --window-id ID] [--help]\n"
    "  Shows the volunteer worker's dashboard from its shared record /vandrel_share.\n"
    "  --root          draw on the root window ($XSCREENSAVER_WINDOW when set)\n"
    "  --window        draw in a window of its own; a key or a click closes it\n"
    "  --window-id ID  draw in the window ID (decimal or 0x hexadecimal)\n"
    "  Without these it draws in $XSCREENSAVER_WINDOW, or in a window of its own.\n"
    "  Settings: $XDG_CONFIG_HOME/vandrel/vandrel.ini (else ~/.config/vandrel/vandrel.ini),\n"
    "  section [boot]: Blank, Minutes, Scale, ClientPath, ClientDir.\n";

bool parseWindowId(const char* text, unsigned long& id) {
    if (text == nullptr || text[0] < '0' || text[0] > '9') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 0);
    if (errno != 0 || end == text || *end != '\0') {
        return false;
    }
    id = value;
    return true;
}

bool parseX11Options(int argc, const char* const* argv, X11Options& options, char* error,
                     int errorSize) {
    options = X11Options{};
    if (errorSize > 0) {
        error[0] = '\0';
    }
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        const char* name = arg;
        if (name[0] == '-' && name[1] == '-') {
            ++name;
        }
        if (std::strcmp(name, "-root") == 0) {
            options.target = X11Target::Root;
        } else if (std::strcmp(name, "-window") == 0) {
            options.target = X11Target::Window;
        } else if (std::strcmp(name, "-window-id") == 0) {
            if (i + 1 >= argc || !parseWindowId(argv[i + 1], options.windowId)) {
                std::snprintf(error, static_cast<size_t>(errorSize),
                              "%s needs a window id (decimal or 0x hexadecimal)", arg);
                return false;
            }
            options.target = X11Target::WindowId;
            ++i;
        } else if (std::strcmp(name, "-help") == 0 || std::strcmp(name, "-h") == 0) {
            options.help = true;
        } else {
            std::snprintf(error, static_cast<size_t>(errorSize), "unknown option: %s", arg);
            return false;
        }
    }
    return true;
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
