#pragma once
#include <string>

#include "host/posix/settings_model.h"

// The settings window's side of the settings file: what the saver would read now, and
// a save that checks every value, and the worker on disk, before the file changes.
namespace vandrel {

// The text the saver reads: the user's file, else the system-wide one, else nothing.
SettingsDocument loadSettingsDocument();

// Writes form into path, over the text the saver reads now, so its other lines and
// keys stay. False, with the fault said for a user, when a value is out of range, the
// worker is not an executable file, its folder is not a folder, or the file cannot be
// written; path is then as it was.
bool saveSettings(const char* path, const SettingsForm& form, std::string& error);

}  // namespace vandrel
