#include "host/posix/posix_record_link.h"

#include <sys/resource.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "controller/settings.h"
#include "host/posix/linux_options.h"
#include "host/posix/watchdog.h"
#include "host/posix/worker_start.h"
#include "record/shared_status.h"

namespace vandrel {
namespace {

// A daemon starts its savers one after the other: a saver off the primary monitor
// leaves the dashboard this long to a primary one, so it does not flash up elsewhere.
constexpr uint32_t kSecondaryGraceMs = 2000;

}  // namespace

void* PosixRecordLink::open() {
    Refusal why;
    if (!openShare(share_, recordName_, &why)) {
        // Tried on every tick: each reason is said once, when it first comes.
        if (why.text[0] != '\0' && std::strcmp(why.text, told_.text) != 0) {
            std::fprintf(stderr, "vandrel: %s: not shown\n", why.text);
        }
        told_ = why;
        return nullptr;
    }
    told_ = Refusal{};
    watchRecord(share_.view);
    return share_.view;
}

void PosixRecordLink::close() {
    watchRecord(nullptr);
    closeShare(share_);
}

void PosixRecordLink::startWorker() {
    vandrel::startWorker(settings.ClientPath);
}

int32_t PosixRecordLink::priorityClass() {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    return priorityClassForNice(errno == 0 ? nice : 0);
}

bool PosixRecordLink::mayConnect(uint32_t now) {
    return showsDashboard() || (static_cast<int32_t>(now - lockFrom_) >= 0 && lock_->tryTake());
}

void PosixRecordLink::takePart(ScreenRole role, uint32_t now) {
    lock_.emplace(role, recordName_);
    lockFrom_ = now + (role == ScreenRole::Primary ? 0 : kSecondaryGraceMs);
}

bool PosixRecordLink::recordGone() const {
    return shareLost() || shareReplaced(share_, recordName_) || !workerRuns(recordName_);
}

bool PosixRecordLink::leave() {
    const bool last = !lock_ || lock_->leaveLast();
    lock_.reset();
    return last;
}

void PosixRecordLink::clearMark() {
    if (openShare(share_, recordName_)) {
        SharedStatus(share_.view).storeI32(rec::saverAttached, 0);
        closeShare(share_);
    }
}

}  // namespace vandrel
