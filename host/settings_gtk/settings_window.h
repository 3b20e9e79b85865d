#pragma once
#include <gtk/gtk.h>

namespace vandrel {

// Builds and shows the settings window of app: the settings file's values, the session
// start and the preview.
void showSettingsWindow(GtkApplication* app);

}  // namespace vandrel
