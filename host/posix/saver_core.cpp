#include "host/posix/saver_core.h"

#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include "controller/saver_session.h"
#include "controller/settings.h"
#include "host/posix/posix_record_link.h"
#include "host/posix/watchdog.h"
#include "host/posix/worker_start.h"

namespace vandrel {
namespace {

constexpr int32_t kTickMs = 33;
// The clock of the slow checks: the record's replacement, the lock, a yield.
constexpr int32_t kCheckMs = 1000;
volatile sig_atomic_t quitFlag = 0;

void onQuitSignal(int) {
    quitFlag = 1;
}

uint32_t tickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

bool due(uint32_t now, uint32_t at) {
    return static_cast<int32_t>(now - at) >= 0;
}

// The loop of one run: the display's events, the session's ticks and, once a second, the
// record's replacement and the lock.
class SaverCore {
  public:
    SaverCore(PolledOutput& output, int32_t scaleSetting, const char* recordName)
        : output_(output), link_(recordName), session_(output, link_, scaleSetting) {}

    int run();
    void finish();

  private:
    void everySecond();

    PolledOutput& output_;
    PosixRecordLink link_;
    SaverSession session_;
    bool finished_ = false;
};

SaverCore* current = nullptr;

void SaverCore::everySecond() {
    if (!link_.inPart()) {
        return;
    }
    reportWorkerStart();
    if (session_.attached() && link_.recordGone()) {
        session_.letGo(true);
    }
    if (link_.shouldYield()) {
        // A saver on the primary monitor came: it takes the record over, the mark on.
        session_.letGo(false);
        link_.yield();
        output_.fillBlack({0, 0, output_.width(), output_.height()});
    }
}

int SaverCore::run() {
    // The lock is taken before the first attach, so a primary saver takes the dashboard
    // at once.
    if (displayModeForWidth(output_.width()) != DisplayMode::Label) {
        link_.takePart(output_.role(), tickCount());
    }
    session_.start(tickCount(), settings);
    int exitCode = 0;
    uint32_t nextTick = tickCount();
    uint32_t nextCheck = nextTick + kCheckMs;
    pollfd connection{output_.connectionFd(), POLLIN, 0};
    while (quitFlag == 0) {
        feedWatchdog();
        OutputEvents events;
        output_.dispatch(events);
        if (events.resized) {
            session_.resized();
        }
        if (!isEmpty(events.exposed)) {
            session_.expose(events.exposed);
        }
        if (events.end) {
            exitCode = events.exitCode;
            break;
        }
        const uint32_t now = tickCount();
        if (due(now, nextTick)) {
            if (due(now, nextCheck)) {
                everySecond();
                nextCheck = now + kCheckMs;
            }
            session_.tick(now);
            output_.flush();
            // A black saver only waits for the dashboard: once a second is enough.
            nextTick = now + (link_.showsDashboard() ? kTickMs : kCheckMs);
            continue;  // what the tick's requests brought in is read before sleeping
        }
        poll(&connection, 1, static_cast<int>(nextTick - now));
    }
    finish();
    return exitCode;
}

// The last saver of the desktop out turns saverAttached off, attached or not; while
// another runs, it stays on for the one that takes the dashboard over.
void SaverCore::finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    const bool attached = session_.attached();
    const bool inPart = link_.inPart();
    const bool last = link_.leave();
    session_.finish(last);
    if (last && inPart && !attached) {
        link_.clearMark();
    }
}

}  // namespace

int runSaver(PolledOutput& output, const LinuxOptions& options, const char* recordName) {
    startWatchdog();  // from the settings' read on: a show that hangs ends
    readSettings();
    SaverCore core(output, options.scale >= 0 ? options.scale : settings.Scale, recordName);
    current = &core;
    const int exitCode = core.run();
    stopWatchdog();
    current = nullptr;
    return exitCode;
}

void detachBeforeExit() {
    if (current != nullptr) {
        current->finish();
        current = nullptr;
    }
}

bool quitRequested() {
    return quitFlag != 0;
}

void installQuitSignals() {
    struct sigaction action {};
    action.sa_handler = onQuitSignal;  // sets a flag only: async-signal-safe
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

}  // namespace vandrel
