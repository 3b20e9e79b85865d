// vandrel-settings: the settings window of the Linux saver. With --session-watcher (the
// autostart entry's command) it starts the idle watcher instead, without any window.
#include <gtk/gtk.h>

#include <cstring>

#include "host/settings_gtk/session_start.h"
#include "host/settings_gtk/settings_window.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--session-watcher") == 0) {
        return vandrel::runSessionWatcher();
    }
    // No application id: the desktop then knows the window by the program's name, the
    // name of its desktop file (vandrel-settings.desktop), on X11 and Wayland alike.
    g_set_prgname("vandrel-settings");
    GtkApplication* app = gtk_application_new(nullptr, G_APPLICATION_DEFAULT_FLAGS);
    g_signal_connect(
        app, "activate",
        G_CALLBACK(+[](GtkApplication* a, gpointer) { vandrel::showSettingsWindow(a); }), nullptr);
    const int status = g_application_run(G_APPLICATION(app), argc, argv);
    g_object_unref(app);
    return status;
}
