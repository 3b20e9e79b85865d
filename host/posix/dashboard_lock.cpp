#include "host/posix/dashboard_lock.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace vandrel {
namespace {

enum Byte : off_t { kPrimary = 0, kDashboard = 1, kPresent = 2, kLeaving = 3 };

bool setLock(int fd, off_t byte, short type, bool wait = false) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    while (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) != 0) {
        if (!wait || errno != EINTR) {
            return false;
        }
    }
    return true;
}

// True when another saver holds a lock on byte that an exclusive one would meet.
bool heldByOther(int fd, off_t byte) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    return fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

}  // namespace

DashboardLock::DashboardLock(ScreenRole role, const char* recordName) : role_(role) {
    char name[256];
    Refusal why;
    if (!objectName(name, sizeof name, recordName, ".saver")) {
        return;
    }
    // An object someone else made could be locked by them to keep the dashboard away.
    fd_ = openOwnObject(name, O_RDWR | O_CREAT, &why);
    if (why.text[0] != '\0') {
        std::fprintf(stderr, "vandrel: %s: the saver acts alone\n", why.text);
    }
    if (fd_ >= 0) {
        setLock(fd_, kPresent, F_RDLCK);
        if (role_ == ScreenRole::Primary) {
            setLock(fd_, kPrimary, F_RDLCK);
        }
    }
}

DashboardLock::~DashboardLock() {
    if (fd_ >= 0) {
        close(fd_);  // every lock of this process on the object goes with it
    }
}

bool DashboardLock::tryTake() {
    if (fd_ < 0) {
        held_ = true;
    } else if (!held_ && (role_ == ScreenRole::Primary || !heldByOther(fd_, kPrimary))) {
        held_ = setLock(fd_, kDashboard, F_WRLCK);
    }
    return held_;
}

bool DashboardLock::shouldYield() const {
    return fd_ >= 0 && held_ && role_ == ScreenRole::Secondary && heldByOther(fd_, kPrimary);
}

void DashboardLock::release() {
    if (fd_ >= 0 && held_) {
        setLock(fd_, kDashboard, F_UNLCK);
    }
    held_ = false;
}

bool DashboardLock::leaveLast() {
    if (fd_ < 0) {
        return true;
    }
    // Held only between two savers' ends, so waiting for it is short.
    setLock(fd_, kLeaving, F_WRLCK, true);
    setLock(fd_, kPresent, F_UNLCK);
    const bool last = !heldByOther(fd_, kPresent);
    close(fd_);
    fd_ = -1;
    held_ = false;
    return last;
}

}  // namespace vandrel
