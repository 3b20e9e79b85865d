#pragma once
#include "host/posix/linux_options.h"
#include "host/posix/polled_output.h"
#include "record/posix_share.h"

// The Linux saver's shared core, the same for X11 and Wayland: settings, the record and
// its re-attach, the worker start, the one-dashboard lock and the tick-by-tick controller,
// drawing through a SaverOutput.
namespace vandrel {

// Runs the saver on output until the user, the display or a signal ends it; returns the
// exit code. The record is detached (saverAttached 0 unless another saver of this desktop
// takes over) and the lock released before it returns. options.scale, when set, takes
// precedence over the Scale setting. recordName: the record's object (tests use their own).
int runSaver(PolledOutput& output, const LinuxOptions& options,
             const char* recordName = posixShareName());

// For a display's fatal-error path that cannot return to runSaver (Xlib's I/O error
// handler): detaches and releases the lock as runSaver would. Safe to call when no saver
// runs, and more than once.
void detachBeforeExit();

// SIGTERM, SIGINT and SIGHUP end runSaver at its next wake-up, with exit code 0;
// SIGPIPE is ignored.
void installQuitSignals();
// True once one of those signals came.
bool quitRequested();

}  // namespace vandrel
