#pragma once
#include <cstdint>

// What the idle watcher asks of a source of the session's idleness: the one seam between
// the watcher (wait, show the saver, wait again) and the compositor's idle protocols,
// GNOME's IdleMonitor on the session bus, or the X server's screen-saver extension.
namespace vandrel {

enum class IdleState : uint8_t {
    Waiting,  // not idle for the armed time yet
    Idle,     // the session has been idle for the armed time: show the saver
    Lost,     // the compositor, X server or session bus went away
};

class IdleSource {
  public:
    virtual ~IdleSource() = default;

    // What the watcher's one line names: "ext_idle_notifier_v1", "org_kde_kwin_idle",
    // "org.gnome.Mutter.IdleMonitor" or "MIT-SCREEN-SAVER".
    virtual const char* name() const = 0;
    // Starts a wait for timeoutMs without input, counted from now (or from the last input,
    // whichever is later); called again after each saver, so a new wait starts then. An
    // earlier wait is dropped. False when the source is lost.
    virtual bool arm(uint32_t timeoutMs) = 0;
    // The connection the watcher polls for input between checks.
    virtual int connectionFd() const = 0;
    // The longest the watcher may sleep before the next check, in ms; -1 for sources that
    // send an event when idle (only the X11 extension must be asked).
    virtual int wakeAfterMs() const { return -1; }
    // Reads what arrived without blocking and says where the armed wait stands.
    virtual IdleState check() = 0;
    // Asked right before the saver shows: an inhibitor (a video player, a presentation)
    // holds idleness off, and the watcher waits again. Sources whose compositor or server
    // honours inhibitors itself answer false.
    virtual bool inhibited() { return false; }
};

}  // namespace vandrel
