#include "record/posix_share.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace

bool openShare(PosixShare& share, const char* name, long* foreignOwner) {
    share = PosixShare{};
    if (foreignOwner != nullptr) {
        *foreignOwner = -1;
    }
    const int fd = shm_open(name, O_RDWR | O_NOFOLLOW, 0);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        close(fd);
        return false;
    }
    if (info.st_uid != getuid() && info.st_uid != 0) {
        if (foreignOwner != nullptr) {
            *foreignOwner = static_cast<long>(info.st_uid);
        }
        close(fd);
        return false;
    }
    // Only the record's own bytes are mapped: a larger object is fine, a shorter one
    // would fault on the first read past its end.
    if (info.st_size < static_cast<off_t>(rec::recordSize) ||
        !mapWhole(share, fd, rec::recordSize)) {
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
    const int fd = shm_open(name, O_RDONLY | O_NOFOLLOW, 0);
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

bool createShare(PosixShare& share, bool* alreadyRunning, const char* name) {
    share = PosixShare{};
    if (alreadyRunning != nullptr) {
        *alreadyRunning = false;
    }
    char lockName[256];
    if (std::strlen(name) + sizeof ".lock" > sizeof lockName) {
        return false;
    }
    std::strcpy(lockName, name);
    std::strcat(lockName, ".lock");
    // Readable by all: a lock object another user left must not stop this one taking it.
    const int lockFd = shm_open(lockName, O_RDONLY | O_CREAT, 0644);
    if (lockFd < 0) {
        return false;
    }
    if (flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        if (alreadyRunning != nullptr) {
            *alreadyRunning = (errno == EWOULDBLOCK);
        }
        close(lockFd);
        return false;
    }
    shm_unlink(name);
    const int fd = shm_open(name, O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(rec::recordSize)) != 0 ||
        !mapWhole(share, fd, rec::recordSize)) {
        if (fd >= 0) {
            close(fd);
            shm_unlink(name);
        }
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
