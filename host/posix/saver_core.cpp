#include "host/posix/saver_core.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "controller/settings.h"
#include "host/posix/dashboard_lock.h"
#include "host/posix/watchdog.h"
#include "host/posix/worker_start.h"
#include "record/posix_share.h"
#include "record/shared_status.h"
#include "render/dashboard.h"

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

// One run of the saver on one output. Unlike the Windows saver it does not end after
// starting the worker: a daemon restarts display modes that exit, so it waits for the
// record instead, and attaches anew when a restarted worker replaces it.
class SaverCore {
  public:
    SaverCore(PolledOutput& output, int32_t scaleSetting, const char* recordName)
        : output_(output), scaleSetting_(scaleSetting), recordName_(recordName) {}

    int run();
    void finish();

  private:
    Rect client() const { return {0, 0, output_.width(), output_.height()}; }
    bool showsDashboard() const { return !lock_ || lock_->held(); }
    bool attach();
    void letGo(bool detach);
    void everySecond();
    void onTick();
    void onExpose(Rect area);
    void onResize();
    void copyParts(const DrawnArea& parts);

    PolledOutput& output_;
    int32_t scaleSetting_;
    const char* recordName_;
    ControllerLogic logic_;
    Placement placement_;
    PosixShare share_;
    std::unique_ptr<Dashboard> dashboard_;  // from an attach until the mapping goes
    std::optional<DashboardLock> lock_;     // not in label mode, which never attaches
    bool mayStartWorker_ = true;            // once a run: at the start, or after a crash
    Refusal told_;                          // the latest refusal said on stderr
    uint32_t lockFrom_ = 0;                 // no try for the dashboard before
};

SaverCore* current = nullptr;

bool SaverCore::attach() {
    Refusal why;
    if (!openShare(share_, recordName_, &why)) {
        // Tried on every tick: each reason is said once, when it first comes.
        if (why.text[0] != '\0' && std::strcmp(why.text, told_.text) != 0) {
            std::fprintf(stderr, "vandrel: %s: not shown\n", why.text);
        }
        told_ = why;
        return false;
    }
    SharedStatus status(share_.view);
    if (status.loadI32(rec::saverAttached) != 0) {
        status.markEveryPart();  // a saver before this one never let go (killed, or taken over)
    }
    status.storeI32(rec::saverAttached, 1);
    watchRecord(share_.view);
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    status.storeI32(rec::saverPriorityClass, priorityClassForNice(errno == 0 ? nice : 0));
    try {
        char header[kMaxPathChars + 16];
        headerPathIn(settings.ClientDir, header, sizeof header);
        dashboard_ = std::make_unique<Dashboard>(status, true, header);
    } catch (const std::bad_alloc&) {
        dashboard_.reset();  // without memory for it the screen stays black
    }
    told_ = Refusal{};
    return true;
}

// The mapping goes, the picture stays until a new record is drawn. detach: this saver is
// done with the record (its worker ended or was replaced), so its mark goes too; one that
// hands the dashboard over to another saver leaves the mark on for it.
void SaverCore::letGo(bool detach) {
    if (detach && share_.view != nullptr) {
        SharedStatus(share_.view).storeI32(rec::saverAttached, 0);
    }
    dashboard_.reset();
    watchRecord(nullptr);
    closeShare(share_);
    logic_.reconnect();
}

void SaverCore::everySecond() {
    if (!lock_) {
        return;
    }
    reportWorkerStart();
    // A worker that ended, restarted or died (a killed one leaves its record behind, its
    // lock free): the successor's record is attached below, or the worker started.
    if (share_.view != nullptr &&
        (shareLost() || shareReplaced(share_, recordName_) || !workerRuns(recordName_))) {
        letGo(true);
    }
    if (lock_->shouldYield()) {
        // A saver on the primary monitor came: it takes the record over, the mark on.
        letGo(false);
        lock_->release();
        output_.fillBlack(client());
    }
}

void SaverCore::copyParts(const DrawnArea& parts) {
    for (int i = 0; i < parts.count(); ++i) {
        output_.copyCanvas(dashboard_->canvas(), parts[i], placement_.canvasOrigin,
                           placement_.scale, placement_.primary);
    }
}

void SaverCore::onTick() {
    bool messagePresent = false;
    int32_t bannerWidth = 0;
    Canvas* banner = dashboard_ ? dashboard_->bannerCanvas() : nullptr;
    if (logic_.blankPhase() == BlankPhase::Blanked && share_.view != nullptr) {
        messagePresent = SharedStatus(share_.view).loadI32(rec::messagePresent) != 0;
        bannerWidth = banner != nullptr ? banner->width() * placement_.scale : 0;
    }
    const TickPlan plan =
        logic_.tick(tickCount(), share_.view != nullptr, messagePresent, bannerWidth);
    switch (plan.action) {
        case TickAction::None:
            break;
        case TickAction::DrawLabel:
            output_.drawLabel(placement_.primary.left, placement_.primary.top);
            break;
        case TickAction::Connect:
            if (!showsDashboard() && (!due(tickCount(), lockFrom_) || !lock_->tryTake())) {
                break;  // black while another saver shows the dashboard
            }
            if (!logic_.connectResult(attach()) && mayStartWorker_) {
                startWorker(settings.ClientPath);
                mayStartWorker_ = false;  // then wait for its record
            }
            break;
        case TickAction::Update: {
            const bool drew = dashboard_ && dashboard_->updateFromStatus();
            const CanvasCopy copy = logic_.shouldCopyCanvas(drew);
            if (copy == CanvasCopy::None || !dashboard_) {
                break;
            }
            DrawnArea parts = dashboard_->canvas().takeDrawnArea();
            if (copy == CanvasCopy::Whole) {
                parts = DrawnArea();
                parts.add({0, 0, kCanvasWidth, kCanvasHeight});
            }
            copyParts(parts);
            break;
        }
        case TickAction::ClearScreen:
            output_.fillBlack(client());
            logic_.cleared(tickCount());
            break;
        case TickAction::DrawBanner:
            if (banner != nullptr) {
                output_.copyCanvas(*banner, {0, 0, banner->width(), banner->height()},
                                   {placement_.primary.left + plan.bannerX, bannerTop(placement_)},
                                   placement_.scale, placement_.primary);
            }
            break;
    }
}

void SaverCore::onExpose(Rect area) {
    if (dashboard_ && logic_.canvasOnScreen()) {
        output_.copyCanvas(dashboard_->canvas(), clientToCanvas(area, placement_),
                           placement_.canvasOrigin, placement_.scale, placement_.primary);
    }
}

void SaverCore::onResize() {
    placement_ = placeDashboard(client(), scaleSetting_);
    logic_.resized(output_.width());
    output_.fillBlack(client());
    onExpose(client());
}

int SaverCore::run() {
    placement_ = placeDashboard(client(), scaleSetting_);
    logic_.create(output_.width(), tickCount(), settings.Blank, settings.Minutes);
    if (logic_.displayMode() != DisplayMode::Label) {
        lock_.emplace(output_.role(), recordName_);
        const bool primary = output_.role() == ScreenRole::Primary;
        lockFrom_ = tickCount() + (primary ? 0 : kSecondaryGraceMs);
        if (primary && lock_->tryTake()) {
            attach();
        }
    }
    int exitCode = 0;
    uint32_t nextTick = tickCount();
    uint32_t nextCheck = nextTick + kCheckMs;
    pollfd connection{output_.connectionFd(), POLLIN, 0};
    while (quitFlag == 0) {
        feedWatchdog();
        OutputEvents events;
        output_.dispatch(events);
        if (events.resized) {
            onResize();
        }
        if (!isEmpty(events.exposed)) {
            onExpose(events.exposed);
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
            onTick();
            output_.flush();
            // A black saver only waits for the dashboard: once a second is enough.
            nextTick = now + (showsDashboard() ? kTickMs : kCheckMs);
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
    const bool last = !lock_ || lock_->leaveLast();
    if (last && lock_ && share_.view == nullptr) {
        openShare(share_, recordName_);
    }
    if (last && share_.view != nullptr) {
        SharedStatus(share_.view).storeI32(rec::saverAttached, 0);
    }
    dashboard_.reset();
    watchRecord(nullptr);
    closeShare(share_);
    lock_.reset();
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
