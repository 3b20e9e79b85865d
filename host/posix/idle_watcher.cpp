#include "host/posix/idle_watcher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "controller/settings.h"
#include "host/posix/saver_core.h"

namespace vandrel {
namespace {

constexpr uint32_t kDefaultIdleMs = 5 * 60 * 1000;

// The session this watcher serves: the Wayland socket, else the X display.
const char* sessionName() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland != nullptr && wayland[0] != '\0') {
        return wayland;
    }
    const char* x11 = std::getenv("DISPLAY");
    return x11 != nullptr ? x11 : "";
}

// One watcher per user and session: an exclusive lock on an object beside the dashboard's
// lock, held while the watcher runs (and by the kernel until the process ends, however
// it ends).
class SessionLock {
  public:
    SessionLock() = default;
    ~SessionLock() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

    // False when another watcher holds it; true, acting alone, when the object cannot be
    // had at all.
    bool take(const char* recordName);

  private:
    int fd_ = -1;
};

bool SessionLock::take(const char* recordName) {
    char name[256];
    int n = std::snprintf(name, sizeof name, "%s.idle-", recordName);
    for (const char* p = sessionName(); *p != '\0' && n > 0 && n < 200; ++p) {
        // A display name may hold '/' (an absolute socket path), which shm names must not.
        const bool plain = (*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') ||
                           (*p >= '0' && *p <= '9') || *p == '-' || *p == '.';
        name[n++] = plain ? *p : '_';
    }
    if (n <= 0 || static_cast<size_t>(n) >= sizeof name) {
        return true;
    }
    name[n] = '\0';
    // Another user's object could be locked to keep the saver away.
    Refusal why;
    const int fd = openOwnObject(name, O_RDWR | O_CREAT, &why);
    if (fd < 0) {
        if (why.text[0] != '\0') {
            std::fprintf(stderr, "vandrel: %s: the watcher acts alone\n", why.text);
        }
        return true;
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_len = 1;
    if (fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

}  // namespace

uint32_t idleTimeoutMs(const LinuxOptions& options) {
    if (options.idleMs != 0) {
        return options.idleMs;
    }
    readSettings();
    return settings.IdleMs != 0 ? settings.IdleMs : kDefaultIdleMs;
}

int runIdleWatcher(IdleSource& source, const LinuxOptions& options, ShowSaver show,
                   const char* recordName) {
    SessionLock lock;
    if (!lock.take(recordName)) {
        std::printf("vandrel: --idle already runs in this session (%s)\n", sessionName());
        return 0;
    }
    const uint32_t timeoutMs = idleTimeoutMs(options);
    std::printf("vandrel: shows the saver after %.4g minutes without input, as %s tells\n",
                timeoutMs / 60000.0, source.name());
    std::fflush(stdout);
    // The quit signals stay blocked but inside ppoll, so one that comes between the
    // check and the sleep still wakes it.
    sigset_t quit, open;
    sigemptyset(&quit);
    sigaddset(&quit, SIGTERM);
    sigaddset(&quit, SIGINT);
    sigaddset(&quit, SIGHUP);
    bool armed = source.arm(timeoutMs);
    while (armed) {
        sigprocmask(SIG_BLOCK, &quit, &open);
        if (quitRequested()) {
            sigprocmask(SIG_SETMASK, &open, nullptr);
            return 0;
        }
        pollfd connection{source.connectionFd(), POLLIN, 0};
        const int wake = source.wakeAfterMs();
        const timespec wait{wake / 1000, (wake % 1000) * 1000000L};
        const int ready = ppoll(&connection, 1, wake < 0 ? nullptr : &wait, &open);
        sigprocmask(SIG_SETMASK, &open, nullptr);
        if (quitRequested()) {
            return 0;
        }
        if (ready < 0 && errno != EINTR) {
            break;
        }
        const IdleState state = source.check();
        if (state == IdleState::Lost ||
            (state == IdleState::Waiting && (connection.revents & (POLLHUP | POLLERR)) != 0)) {
            break;  // a hung-up connection the source did not notice must not spin
        }
        if (state != IdleState::Idle) {
            continue;
        }
        if (!source.inhibited()) {
            const int exitCode = show(options);
            if (quitRequested()) {
                return 0;
            }
            if (exitCode != 0) {
                return exitCode;  // the display went away; the saver said so
            }
        }
        armed = source.arm(timeoutMs);  // a new wait from now
    }
    std::fprintf(stderr, "vandrel: %s is gone: the session ended\n", source.name());
    return 1;
}

}  // namespace vandrel
