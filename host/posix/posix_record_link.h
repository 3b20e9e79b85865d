#pragma once
#include <cstdint>
#include <optional>

#include "controller/record_link.h"
#include "host/posix/dashboard_lock.h"
#include "record/posix_share.h"

namespace vandrel {

// The worker's record on Linux: this user's own object only, the worker started in a
// session of its own, and the dashboard's lock among the savers of one desktop. Unlike
// the Windows saver it does not end after starting the worker: a daemon restarts display
// modes that exit, so it waits for the record instead.
class PosixRecordLink final : public RecordLink {
  public:
    explicit PosixRecordLink(const char* recordName) : recordName_(recordName) {}

    void* open() override;
    void close() override;
    void startWorker() override;
    int32_t priorityClass() override;
    bool mayConnect(uint32_t now) override;
    AfterWorkerStart afterWorkerStart() override { return AfterWorkerStart::Wait; }

    // Joins the desktop's savers (not in label mode, which never attaches): a saver on
    // the primary monitor may take the dashboard at once, another after a grace time.
    void takePart(ScreenRole role, uint32_t now);
    bool inPart() const { return lock_.has_value(); }
    bool showsDashboard() const { return !lock_ || lock_->held(); }
    // The worker behind the attached record ended, restarted or died (a killed one leaves
    // its record behind, its lock free).
    bool recordGone() const;
    // A saver on the primary monitor came: this one gives the dashboard up.
    bool shouldYield() { return lock_->shouldYield(); }
    void yield() { lock_->release(); }
    // Leaves the desktop's savers; true when this saver was the last.
    bool leave();
    // Turns off the mark of a record this saver never attached.
    void clearMark();

  private:
    const char* recordName_;
    PosixShare share_;
    std::optional<DashboardLock> lock_;
    Refusal told_;           // the latest refusal said on stderr
    uint32_t lockFrom_ = 0;  // no try for the dashboard before
};

}  // namespace vandrel
