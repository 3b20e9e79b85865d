#include "record/posix_share.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "record/shared_status.h"

namespace vandrel {
namespace {

// The guarded view, read by the signal handler.
void* volatile guardedView = nullptr;
volatile size_t guardedSize = 0;
volatile sig_atomic_t lost = 0;
struct sigaction previousBusAction {};

// mmap is not on POSIX's list of async-signal-safe functions, but on Linux it is a bare
// system call that takes no lock of the C library, and nothing else can put memory under
// the faulting address; everything else here is on the list.
void onBusError(int signal, siginfo_t* info, void* context) {
    char* view = static_cast<char*>(guardedView);
    char* address = static_cast<char*>(info->si_addr);
    if (view != nullptr && address >= view && address < view + guardedSize &&
        mmap(view, guardedSize, PROT_READ | PROT_WRITE, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1,
             0) != MAP_FAILED) {
        lost = 1;
        return;  // the faulting access runs again, on zeros
    }
    // Not ours: whatever handled it before, or the default end.
    if (previousBusAction.sa_flags & SA_SIGINFO) {
        previousBusAction.sa_sigaction(signal, info, context);
        return;
    }
    sigaction(SIGBUS, &previousBusAction, nullptr);
    raise(SIGBUS);
}

void guard(void* view, size_t size) {
    static bool installed = false;
    if (!installed) {
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        installed = sigaction(SIGBUS, &action, &previousBusAction) == 0;
    }
    lost = 0;
    guardedSize = size;
    guardedView = view;
}

bool mapWhole(PosixShare& share, int fd, size_t size) {
    void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        return false;
    }
    share.view = view;
    share.size = size;
    share.fd = fd;
    return true;
}

void say(Refusal* why, const char* format, ...) __attribute__((format(printf, 2, 3)));
void say(Refusal* why, const char* format, ...) {
    if (why != nullptr) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(why->text, sizeof why->text, format, args);
        va_end(args);
    }
}

// A user's name, looked up once per uid: a name service may be slow, and a saver that
// refuses an object does so on every tick.
const char* userName(uid_t uid) {
    static uid_t known = static_cast<uid_t>(-1);
    static char name[64] = "?";
    if (uid != known) {
        const passwd* user = getpwuid(uid);
        std::snprintf(name, sizeof name, "%s", user != nullptr ? user->pw_name : "?");
        known = uid;
    }
    return name;
}

// What keeps the object described by info from being used; false when nothing does.
bool faultOf(const char* name, const struct stat& info, Refusal* why) {
    if (S_ISLNK(info.st_mode)) {
        say(why, "%s is a symbolic link", name);
    } else if (!S_ISREG(info.st_mode)) {
        say(why, "%s is not a regular object", name);
    } else if (info.st_uid != getuid()) {
        say(why, "%s belongs to user %s (uid %u), not to you", name, userName(info.st_uid),
            static_cast<unsigned>(info.st_uid));
    } else if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        say(why, "%s may be written by others (mode %03o)", name,
            static_cast<unsigned>(info.st_mode & 0777));
    } else {
        return false;
    }
    return true;
}

}  // namespace

const char* posixShareName() {
    static char name[32];
    if (name[0] == '\0') {
        std::snprintf(name, sizeof name, "/vandrel_share-%u", static_cast<unsigned>(getuid()));
    }
    return name;
}

bool objectName(char* out, size_t size, const char* name, const char* suffix) {
    const int n = std::snprintf(out, size, "%s%s", name, suffix);
    return n > 0 && static_cast<size_t>(n) < size;
}

int openOwnObject(const char* name, int flags, Refusal* why) {
    say(why, "%s", "");
    // O_NONBLOCK: a FIFO put in the object's place must not hold the open.
    const int fd = shm_open(name, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    const int error = errno;
    struct stat info {};
    if (fd < 0) {
        // Another user's object may not open at all: its owner is told from its entry.
        char path[300];
        if (error != ENOENT && objectName(path, sizeof path, "/dev/shm", name) &&
            lstat(path, &info) == 0 && faultOf(name, info, why)) {
            return -1;
        }
        if (error != ENOENT) {
            say(why, "%s cannot be opened: %s", name, std::strerror(error));
        }
        return -1;
    }
    if (fstat(fd, &info) != 0 || faultOf(name, info, why)) {
        close(fd);
        return -1;
    }
    return fd;
}

bool workerRuns(const char* name, Refusal* why) {
    char lockName[256];
    if (!objectName(lockName, sizeof lockName, name, ".lock")) {
        return false;
    }
    const int fd = openOwnObject(lockName, O_RDONLY, why);
    if (fd < 0) {
        return false;
    }
    // Any failure but a free lock counts as held: starting a second worker is worse than
    // showing a still record.
    const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0;
    close(fd);  // and with it the shared lock, if taken
    return held;
}

bool openShare(PosixShare& share, const char* name, Refusal* why) {
    share = PosixShare{};
    const int fd = openOwnObject(name, O_RDWR, why);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    // Only the record's own bytes are mapped: a larger object is fine, a shorter one
    // would fault on the first read past its end.
    if (fstat(fd, &info) != 0 || info.st_size < static_cast<off_t>(rec::recordSize)) {
        say(why, "%s is shorter than the record", name);
        close(fd);
        return false;
    }
    if (!workerRuns(name, why)) {
        if (why != nullptr && why->text[0] == '\0') {
            say(why, "%s was left by a worker that no longer runs", name);
        }
        close(fd);
        return false;
    }
    if (!mapWhole(share, fd, rec::recordSize)) {
        close(fd);
        return false;
    }
    guard(share.view, share.size);
    return true;
}

bool shareReplaced(const PosixShare& share, const char* name) {
    struct stat mapped {
    }, named{};
    if (share.fd < 0 || fstat(share.fd, &mapped) != 0 || mapped.st_nlink == 0) {
        return true;
    }
    const int fd = shm_open(name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0);
    if (fd < 0) {
        return errno == ENOENT;  // removed; other errors (EMFILE, EACCES) tell nothing
    }
    const bool same =
        fstat(fd, &named) == 0 && named.st_ino == mapped.st_ino && named.st_dev == mapped.st_dev;
    close(fd);
    return !same;
}

bool shareLost() {
    return lost != 0;
}

bool createShare(PosixShare& share, bool* alreadyRunning, const char* name, Refusal* why) {
    share = PosixShare{};
    if (alreadyRunning != nullptr) {
        *alreadyRunning = false;
    }
    char lockName[256];
    if (!objectName(lockName, sizeof lockName, name, ".lock")) {
        say(why, "%s: the name is too long", name);
        return false;
    }
    const int lockFd = openOwnObject(lockName, O_RDWR | O_CREAT, why);
    if (lockFd < 0) {
        return false;
    }
    // A saver tests the lock by taking it shared for an instant: a moment's retries tell
    // that from a worker that holds it.
    for (int tries = 1; flock(lockFd, LOCK_EX | LOCK_NB) != 0; ++tries) {
        const int error = errno;
        if (error != EWOULDBLOCK || tries == 20) {
            if (alreadyRunning != nullptr) {
                *alreadyRunning = (error == EWOULDBLOCK);
            }
            say(why, "%s cannot be locked: %s", lockName,
                error == EWOULDBLOCK ? "another worker holds it" : std::strerror(error));
            close(lockFd);
            return false;
        }
        usleep(5000);
    }
    shm_unlink(name);  // fails for another user's object, which the create then meets
    const int fd = shm_open(name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        const int other = openOwnObject(name, O_RDONLY, why);  // says whose it is
        if (other >= 0) {
            close(other);
        }
        if (why != nullptr && (other >= 0 || why->text[0] == '\0')) {
            say(why, "%s cannot be made: %s", name, std::strerror(error));
        }
        close(lockFd);
        return false;
    }
    if (ftruncate(fd, static_cast<off_t>(rec::recordSize)) != 0 ||
        !mapWhole(share, fd, rec::recordSize)) {
        say(why, "%s cannot be sized and mapped: %s", name, std::strerror(errno));
        close(fd);
        shm_unlink(name);
        close(lockFd);
        return false;
    }
    share.lockFd = lockFd;
    return true;
}

void closeShare(PosixShare& share) {
    if (share.view != nullptr && share.view == guardedView) {
        guardedView = nullptr;
    }
    if (share.view != nullptr) {
        munmap(share.view, share.size);
    }
    if (share.fd >= 0) {
        close(share.fd);
    }
    if (share.lockFd >= 0) {
        close(share.lockFd);
    }
    share = PosixShare{};
}

void removeShare(const char* name) {
    shm_unlink(name);
}

}  // namespace vandrel
