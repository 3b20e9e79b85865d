#pragma once
#include "host/posix/saver_output.h"
#include "record/posix_share.h"

namespace vandrel {

// Which of one user's savers shows the dashboard: a screen-saver daemon runs one saver
// per monitor, all reading the one record, whose flags are served once. Advisory open
// file description locks on two bytes of a per-user object beside the record decide, not timing:
// byte 0 is held shared by every saver on the primary monitor while it runs, byte 1 by the saver
// that shows the dashboard. The locks go with the process, however it ends. Without the object
// (another user made it, or it cannot be made) a saver acts alone.
class DashboardLock {
  public:
    DashboardLock(ScreenRole role, const char* recordName = kPosixShareName);
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

  private:
    int fd_ = -1;
    ScreenRole role_;
    bool held_ = false;
};

}  // namespace vandrel
