#pragma once
#include <string>

// "Start with my session": the idle watcher started by the desktop at login through an
// XDG autostart entry, which GNOME, KDE Plasma and the other desktops honour alike and
// which needs no systemd user instance.
namespace vandrel {

// $XDG_CONFIG_HOME/autostart/vandrel-idle.desktop (or ~/.config/autostart/...); empty
// when neither can be told.
std::string autostartEntryPath();

bool sessionStartEnabled();

// Writes the entry (starting this program's --session-watcher) or removes it. False,
// with the fault said for a user, when that fails.
bool setSessionStart(bool on, std::string& error);

// The idle daemon of this user that already starts the saver (xscreensaver, swayidle,
// hypridle), by its program name; empty when none runs.
std::string runningIdleDaemon();

// A program installed beside this one (or, in a build tree, in the folder above), else
// its bare name for a PATH search.
std::string siblingProgram(const char* name);

// Run by the autostart entry at login: starts `vandrel --idle` in this process, unless
// an idle daemon already starts the saver, so that there is never a second watcher.
int runSessionWatcher();

}  // namespace vandrel
