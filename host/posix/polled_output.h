#pragma once
#include "controller/saver_output.h"
#include "host/posix/screen_role.h"

// A Linux display as the saver's loop sees it: a connection polled between ticks whose
// events it reads, and the monitor its drawing area lies on.
namespace vandrel {

// What the display reported since the last dispatch.
struct OutputEvents {
    bool end = false;  // the user (key, click, travel) or the display asks the saver to end
    int exitCode = 0;  // with end: 0 for the user or a window that went away, 1 for a lost display
    bool resized = false;  // the size changed; the session places the dashboard anew
    Rect exposed{};        // an area whose pixels were lost: the session draws it again
};

class PolledOutput : public SaverOutput {
  public:
    // The display connection, polled between ticks.
    virtual int connectionFd() const = 0;
    // Reads what the display sent without blocking and reports what the loop acts on.
    virtual void dispatch(OutputEvents& events) = 0;
    // Sends what was drawn since the last flush.
    virtual void flush() = 0;
    virtual ScreenRole role() const = 0;
};

}  // namespace vandrel
