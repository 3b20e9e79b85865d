#include "host/posix/worker_start.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vandrel {
namespace {

// The latest start: the child between, until reaped, and the read end of a close-on-exec
// pipe from the worker's process, which either closes at a good exec or carries errno.
struct PendingStart {
    pid_t child = -1;
    int report = -1;
    char path[4096] = "";
};
PendingStart pending;

// In the worker's process before exec: only async-signal-safe calls. The report's end
// goes above 2 (the saver may have started with 0 to 2 closed), then every other
// descriptor of the saver's is closed.
[[noreturn]] void execWorker(const char* path, int reportEnd) {
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    for (int s = 1; s < NSIG; ++s) {
        sigaction(s, &defaults, nullptr);  // fails harmlessly for KILL, STOP
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const int report = fcntl(reportEnd, F_DUPFD_CLOEXEC, 3);
    const int devNull = open("/dev/null", O_RDWR);
    if (devNull >= 0) {
        dup2(devNull, 0);
        dup2(devNull, 1);
        dup2(devNull, 2);
    }
    if (report > 3) {
        close_range(3, report - 1, 0);
    }
    close_range(report >= 3 ? report + 1 : 3, ~0U, 0);
    execl(path, path, "-min", static_cast<char*>(nullptr));
    const int error = errno;
    if (report >= 0) {
        (void)!write(report, &error, sizeof error);
    }
    _exit(127);
}

}  // namespace

void startWorker(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        return;
    }
    reportWorkerStart();  // an earlier start's child, if still there
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        ends[0] = ends[1] = -1;
    }
    const pid_t child = fork();
    if (child == 0) {
        setsid();
        if (fork() == 0) {
            execWorker(path, ends[1]);
        }
        _exit(0);
    }
    if (ends[1] >= 0) {
        close(ends[1]);
    }
    if (pending.report >= 0) {
        close(pending.report);
    }
    pending.child = child;
    pending.report = child > 0 ? ends[0] : -1;
    if (child <= 0 && ends[0] >= 0) {
        close(ends[0]);
    }
    std::snprintf(pending.path, sizeof pending.path, "%s", path);
    if (child < 0) {
        std::fprintf(stderr, "vandrel: cannot start the worker %s: %s\n", path,
                     std::strerror(errno));
    }
}

void reportWorkerStart() {
    if (pending.child > 0) {
        const pid_t reaped = waitpid(pending.child, nullptr, WNOHANG);
        if (reaped == pending.child || (reaped < 0 && errno != EINTR)) {
            pending.child = -1;
        }
    }
    if (pending.report < 0) {
        return;
    }
    int error = 0;
    const ssize_t n = read(pending.report, &error, sizeof error);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;  // not known yet
    }
    if (n == static_cast<ssize_t>(sizeof error)) {
        std::fprintf(stderr, "vandrel: cannot start the worker %s: %s\n", pending.path,
                     std::strerror(error));
    }
    close(pending.report);  // an end of file: the exec worked
    pending.report = -1;
}

}  // namespace vandrel
