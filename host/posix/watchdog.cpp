#include "host/posix/watchdog.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

#include "record/shared_status.h"

namespace vandrel {
namespace {

timer_t timer{};
bool haveTimer = false;
// A lock-free atomic: read by the signal handler. Under the SIGBUS guard the view may have
// become private zeros, which takes the store as well.
std::atomic<void*> watchedView{nullptr};
static_assert(std::atomic<void*>::is_always_lock_free);

void onStall(int) {
    if (void* view = watchedView.load()) {
        SharedStatus(view).storeI32(rec::saverAttached, 0);
    }
    static const char message[] = "vandrel: the saver stopped for 10 s: it ends\n";
    const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    static_cast<void>(written);
    _exit(kStalledExitCode);
}

void arm(int seconds) {
    itimerspec when{};
    when.it_value.tv_sec = seconds;  // 0 disarms
    if (haveTimer) {
        timer_settime(timer, 0, &when, nullptr);
    }
}

}  // namespace

void startWatchdog() {
    if (!haveTimer) {
        struct sigaction action {};
        action.sa_handler = onStall;
        sigemptyset(&action.sa_mask);
        sigaction(SIGALRM, &action, nullptr);
        // To this thread, the loop's own, and not to whichever thread the kernel picks:
        // the handler must not run while this one is between taking a record away and
        // unmapping it.
        sigevent event{};
        event.sigev_notify = SIGEV_THREAD_ID;
        event.sigev_signo = SIGALRM;
        event._sigev_un._tid = gettid();
        haveTimer = timer_create(CLOCK_MONOTONIC, &event, &timer) == 0;
    }
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr);
    feedWatchdog();
}

void feedWatchdog() {
    arm(kStallSeconds);
}

void stopWatchdog() {
    watchedView.store(nullptr);
    arm(0);
}

void watchRecord(void* view) {
    watchedView.store(view);
}

}  // namespace vandrel
