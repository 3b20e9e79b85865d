#pragma once
#include "host/posix/screen_role.h"
#include "record/posix_share.h"

namespace vandrel {

// Which of one user's savers shows the dashboard: a screen-saver daemon runs one saver
// per monitor, all reading the one record, whose flags are served once. Advisory open
// file description locks on bytes of a per-user object beside the record decide, not
// timing; they go with the process, however it ends:
//   byte 0  held shared by every saver on the primary monitor while it runs;
//   byte 1  held by the saver that shows the dashboard;
//   byte 2  held shared by every saver while it runs;
//   byte 3  held for a moment by a saver that ends, so that of two savers ending at once
//           exactly one finds itself the last.
// Without the object (another user made it, or it cannot be made) a saver acts alone.
// The object is the record's name plus ".saver".
class DashboardLock {
  public:
    DashboardLock(ScreenRole role, const char* recordName = posixShareName());
    ~DashboardLock();
    DashboardLock(const DashboardLock&) = delete;
    DashboardLock& operator=(const DashboardLock&) = delete;

    // Takes the dashboard when it is free; a secondary saver only while no primary one
    // runs. True while it is held.
    bool tryTake();
    bool held() const { return held_; }
    // A secondary saver that holds the dashboard while a primary one runs gives it up.
    bool shouldYield() const;
    void release();
    // Lets go of everything as the saver ends. True when no other saver of this user
    // still runs, so the record's saverAttached must turn 0; false when one runs, which
    // takes the dashboard over.
    bool leaveLast();

  private:
    int fd_ = -1;
    ScreenRole role_;
    bool held_ = false;
};

}  // namespace vandrel
