// vandrel: the saver for Linux desktops, on X11 (a display mode of xscreensaver, or a
// window) or on Wayland (an overlay over every output, started by an idle daemon); with
// --idle, its own idle watcher that starts it.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host/posix/linux_options.h"
#include "host/posix/gnome_idle.h"
#include "host/posix/idle_watcher.h"
#include "host/posix/saver_core.h"
#include "host/wayland/wayland_host.h"
#include "host/wayland/wayland_idle.h"
#include "host/x11/x11_host.h"
#include "host/x11/x11_idle.h"

namespace {

using namespace vandrel;

int showSaver(const LinuxOptions& options) {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool daemonWindow = std::getenv("XSCREENSAVER_WINDOW") != nullptr;
    if (chooseDisplaySystem(options, wayland != nullptr && wayland[0] != '\0', daemonWindow) ==
        DisplaySystem::Wayland) {
        return runWayland(options);
    }
    LinuxOptions shown = options;
    if (options.idle && options.target == SaverTarget::Default && !daemonWindow) {
        shown.target = SaverTarget::Cover;  // no daemon covers the screen for it
    }
    return runX11(shown);
}

// The first idle source the session offers, in the order of the list; null, with a
// line naming what each lacks, when there is none.
std::unique_ptr<IdleSource> openIdleSource() {
    using Open = std::unique_ptr<IdleSource> (*)(char*, size_t);
    static const Open sources[] = {openWaylandIdle, openGnomeIdle, openX11Idle};
    char why[sizeof sources / sizeof sources[0]][256] = {};
    for (size_t i = 0; i < sizeof sources / sizeof sources[0]; ++i) {
        if (std::unique_ptr<IdleSource> source = sources[i](why[i], sizeof why[i])) {
            return source;
        }
    }
    std::fputs("vandrel: no idle source to watch:", stderr);
    for (const char* reason : why) {
        std::fprintf(stderr, " %s;", reason);
    }
    std::fputs(" nothing can tell when the session is idle\n", stderr);
    return nullptr;
}

// vandrel-settings, a program of its own so that the saver links no GTK: from a build
// tree beside this one, else on PATH. Returns only when it cannot be started.
int openSettingsWindow() {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = '\0';
    }
    if (const char* slash = n > 0 ? std::strrchr(self, '/') : nullptr) {
        char built[4096 + 32];
        std::snprintf(built, sizeof built, "%.*s/settings_gtk/vandrel-settings",
                      static_cast<int>(slash - self), self);
        if (access(built, X_OK) == 0) {
            execl(built, built, static_cast<char*>(nullptr));
        }
    }
    execlp("vandrel-settings", "vandrel-settings", static_cast<char*>(nullptr));
    std::fprintf(stderr, "vandrel: cannot start vandrel-settings: %s\n", std::strerror(errno));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
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
    if (options.settings) {
        return openSettingsWindow();
    }
    installQuitSignals();
    if (!options.idle) {
        return showSaver(options);
    }
    std::unique_ptr<IdleSource> source = openIdleSource();
    return source ? runIdleWatcher(*source, options, showSaver) : 1;
}
