// vandrel: the saver for Linux desktops, on X11 (a display mode of xscreensaver, or a
// window) or on Wayland (an overlay over every output, started by an idle daemon).
#include <cstdio>
#include <cstdlib>

#include "host/logic/linux_options.h"
#include "host/posix/saver_core.h"
#include "host/wayland/wayland_host.h"
#include "host/x11/x11_host.h"

int main(int argc, char** argv) {
    using namespace vandrel;
    LinuxOptions options;
    char error[256];
    if (!parseLinuxOptions(argc - 1, argv + 1, options, error, sizeof error)) {
        std::fprintf(stderr, "vandrel: %s\n%s", error, kLinuxUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kLinuxUsage, stdout);
        return 0;
    }
    installQuitSignals();
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const DisplaySystem display =
        chooseDisplaySystem(options, wayland != nullptr && wayland[0] != '\0',
                            std::getenv("XSCREENSAVER_WINDOW") != nullptr);
    return display == DisplaySystem::Wayland ? runWayland(options) : runX11(options);
}
