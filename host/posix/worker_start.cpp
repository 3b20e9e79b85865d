#include "host/posix/worker_start.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace vandrel {

void startWorker(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        return;
    }
    const pid_t child = fork();
    if (child == 0) {
        // Only async-signal-safe calls from here to exec.
        setsid();
        if (fork() == 0) {
            struct sigaction defaults {};
            defaults.sa_handler = SIG_DFL;
            sigemptyset(&defaults.sa_mask);
            for (int s = 1; s < NSIG; ++s) {
                sigaction(s, &defaults, nullptr);  // fails harmlessly for KILL, STOP
            }
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            const int devNull = open("/dev/null", O_RDWR);
            if (devNull >= 0) {
                dup2(devNull, 0);
                dup2(devNull, 1);
                dup2(devNull, 2);
            }
            execl(path, path, "-min", static_cast<char*>(nullptr));
            _exit(127);
        }
        _exit(0);
    }
    if (child > 0) {
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

}  // namespace vandrel
