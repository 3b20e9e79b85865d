#include "host/posix/saver_core.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "controller/saver_session.h"
#include "controller/settings.h"
#include "host/posix/dashboard_lock.h"
#include "host/posix/watchdog.h"
#include "host/posix/worker_start.h"
#include "record/posix_share.h"
#include "record/shared_status.h"

namespace vandrel {
namespace {

constexpr int32_t kTickMs = 33;
// The clock of the slow checks: the record's replacement, the lock, a yield.
constexpr int32_t kCheckMs = 1000;
// A daemon starts its savers one after the other: a saver off the primary monitor
// leaves the dashboard this long to a primary one, so it does not flash up elsewhere.
constexpr uint32_t kSecondaryGraceMs = 2000;

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

// The worker's record on Linux: this user's own object only, the worker started in a
// session of its own, and the dashboard's lock among the savers of one desktop. Unlike
// the Windows saver it does not end after starting the worker: a daemon restarts display
// modes that exit, so it waits for the record instead.
class PosixRecordLink final : public RecordLink {
  public:
    explicit PosixRecordLink(const char* recordName) : recordName_(recordName) {}

    void* open() override {
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
    void close() override {
        watchRecord(nullptr);
        closeShare(share_);
    }
    void startWorker() override { vandrel::startWorker(settings.ClientPath); }
    int32_t priorityClass() override {
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, 0);
        return priorityClassForNice(errno == 0 ? nice : 0);
    }
    bool mayConnect() override {
        return showsDashboard() || (due(tickCount(), lockFrom_) && lock_->tryTake());
    }
    AfterWorkerStart afterWorkerStart() override { return AfterWorkerStart::Wait; }

    // Not in label mode, which never attaches.
    void takePart(ScreenRole role) {
        lock_.emplace(role, recordName_);
        lockFrom_ = tickCount() + (role == ScreenRole::Primary ? 0 : kSecondaryGraceMs);
    }
    bool showsDashboard() const { return !lock_ || lock_->held(); }
    bool inPart() const { return lock_.has_value(); }
    // The worker behind the attached record ended, restarted or died (a killed one leaves
    // its record behind, its lock free).
    bool recordGone() const {
        return shareLost() || shareReplaced(share_, recordName_) || !workerRuns(recordName_);
    }
    bool shouldYield() { return lock_->shouldYield(); }
    void yield() { lock_->release(); }
    // Whether this saver is the desktop's last; its lock goes.
    bool leave() {
        const bool last = !lock_ || lock_->leaveLast();
        lock_.reset();
        return last;
    }
    // The mark of a record this saver never attached, turned off by the last saver out.
    void clearMark() {
        if (openShare(share_, recordName_)) {
            SharedStatus(share_.view).storeI32(rec::saverAttached, 0);
            closeShare(share_);
        }
    }

  private:
    const char* recordName_;
    PosixShare share_;
    std::optional<DashboardLock> lock_;
    Refusal told_;           // the latest refusal said on stderr
    uint32_t lockFrom_ = 0;  // no try for the dashboard before
};

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
        link_.takePart(output_.role());
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
