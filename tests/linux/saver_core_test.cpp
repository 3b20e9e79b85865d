// The Linux saver's shared core on a screen in memory: the one-dashboard lock, a worker
// that restarts under a running saver, records of other users and the worker's start.
#include "host/posix/saver_core.h"
#include "render/scaled_copy.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "host/posix/dashboard_lock.h"
#include "host/posix/worker_start.h"
#include "record/posix_share.h"
#include "render/dashboard.h"
#include "tools/reference_cases.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using Ms = std::chrono::milliseconds;

const std::string kName = "/vandrel_core_test_" + std::to_string(getpid());

// The objects a run leaves: the record, the workers' lock and the savers' lock.
class LinuxSaverCore : public ::testing::Test {
  protected:
    void TearDown() override {
        for (const char* suffix : {"", ".lock"})
            shm_unlink((kName + suffix).c_str());
        shm_unlink((kName + ".saver-" + std::to_string(getuid())).c_str());
    }
};

// An 800 x 600 screen in memory; script runs at every dispatch with the time since the
// start and ends the run by returning false.
struct MemoryOutput final : PolledOutput {
    std::vector<uint32_t> screen = std::vector<uint32_t>(800 * 600, 0x123456);
    std::function<bool(Ms)> script;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    ScreenRole screenRole = ScreenRole::Primary;

    int connectionFd() const override { return -1; }
    void dispatch(OutputEvents& events) override {
        events.end =
            !script(std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start));
    }
    void flush() override {}
    int32_t width() const override { return 800; }
    int32_t height() const override { return 600; }
    ScreenRole role() const override { return screenRole; }
    void copyCanvas(const Canvas& canvas, Rect part, Point origin, int32_t scale,
                    Rect clip) override {
        copyScaled(canvas, part, origin, scale, clip, {screen.data(), 800, 600, 800});
    }
    void fillBlack(Rect area) override {
        for (int32_t y = std::max(area.top, 0); y < std::min(area.bottom, 600); ++y)
            for (int32_t x = std::max(area.left, 0); x < std::min(area.right, 800); ++x)
                screen[static_cast<size_t>(y) * 800 + x] = 0;
    }
    void drawLabel(int32_t, int32_t) override {}

    // The dashboard's 752 x 445 pixels, centred at scale 1.
    std::vector<uint32_t> dashboard() const {
        std::vector<uint32_t> out;
        for (int32_t y = 77; y < 77 + 445; ++y)
            out.insert(out.end(), screen.begin() + y * 800 + 24,
                       screen.begin() + y * 800 + 24 + 752);
        return out;
    }
};

// A worker: its object, filled with a reference case, flagged again whenever a saver
// attaches, as the workers do.
struct Worker {
    PosixShare share;
    const ReferenceCase* shown;
    bool attached = false;
    explicit Worker(const ReferenceCase& c) : shown(&c) {
        bool running = false;
        EXPECT_TRUE(createShare(share, &running, kName.c_str()));
        c.fill(SharedStatus(share.view));
    }
    ~Worker() { end(); }
    int32_t saverAttached() const { return SharedStatus(share.view).loadI32(rec::saverAttached); }
    void serve() {
        const bool now = saverAttached() != 0;
        if (now && !attached)
            shown->fill(SharedStatus(share.view));
        attached = now;
    }
    void end() {
        if (share.view != nullptr) {
            closeShare(share);
            removeShare(kName.c_str());
        }
    }
};

// What a saver shows of a case once everything it flagged is drawn.
std::vector<uint32_t> expected(const ReferenceCase& c) {
    std::vector<uint64_t> words((rec::recordSize + 7) / 8, 0);
    SharedStatus status(words.data());
    Dashboard dashboard(status, true);
    c.fill(status);
    while (dashboard.updateFromStatus()) {
    }
    const Canvas& canvas = dashboard.canvas();
    return std::vector<uint32_t>(canvas.pixels(), canvas.pixels() + 752 * 445);
}

const ReferenceCase& referenceCase(const char* name) {
    for (const ReferenceCase& c : referenceCases())
        if (std::strcmp(c.name, name) == 0)
            return c;
    ADD_FAILURE() << name;
    return referenceCases()[0];
}

// Settings whose worker, if ever started, leaves a mark.
struct MarkingSettings {
    fs::path dir = fs::temp_directory_path() / ("vandrel_core_" + std::to_string(getpid()));
    fs::path mark = dir / "started";
    MarkingSettings() {
        fs::create_directories(dir / "vandrel");
        const fs::path worker = dir / "worker.sh";
        std::ofstream(worker) << "#!/bin/sh\necho \"$@\" >>" << mark.string() << "\n";
        fs::permissions(worker, fs::perms::owner_all);
        std::ofstream(dir / "vandrel" / "vandrel.ini")
            << "[boot]\nClientPath=" << worker.string() << "\n";
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    }
    ~MarkingSettings() { fs::remove_all(dir); }
    int starts() const {
        std::ifstream in(mark);
        return static_cast<int>(std::count(std::istreambuf_iterator<char>(in), {}, '\n'));
    }
};

TEST_F(LinuxSaverCore, AttachesAnewWhenTheWorkerRestarts) {
    MarkingSettings settingsFile;
    const ReferenceCase& first = referenceCase("demo");
    const ReferenceCase& second = referenceCase("unit-start");
    const std::vector<uint32_t> firstPicture = expected(first), secondPicture = expected(second);
    auto worker = std::make_unique<Worker>(first);
    MemoryOutput output;
    bool sawFirst = false, restarted = false, sawSecond = false;
    Ms secondAt{0};
    output.script = [&](Ms t) {
        worker->serve();
        if (!restarted && output.dashboard() == firstPicture) {
            sawFirst = worker->saverAttached() == 1;
            worker.reset();  // the worker ends; a new one publishes another record
            worker = std::make_unique<Worker>(second);
            secondAt = t;
            restarted = true;
        }
        sawSecond = restarted && output.dashboard() == secondPicture;
        return !sawSecond && t < Ms(6000);
    };
    EXPECT_EQ(runSaver(output, LinuxOptions{}, kName.c_str()), 0);
    EXPECT_TRUE(sawFirst);
    EXPECT_TRUE(sawSecond) << "the new record was not shown";
    EXPECT_EQ(worker->saverAttached(), 0);  // detached at the end
    // It was attached to the new record, and within the one-second check plus a tick.
    EXPECT_TRUE(worker->attached);
    EXPECT_EQ(settingsFile.starts(), 0);  // a running worker, then its successor: none started
}

TEST_F(LinuxSaverCore, StartsTheWorkerOnceAndOnlyForItsOwnRecord) {
    MarkingSettings settingsFile;
    MemoryOutput output;
    output.script = [&](Ms t) { return t < Ms(1500); };
    EXPECT_EQ(runSaver(output, LinuxOptions{}, kName.c_str()), 0);
    EXPECT_EQ(settingsFile.starts(), 1);  // missing: started once, then waited for

    if (getuid() != 0) {
        GTEST_SKIP() << "an object of another owner needs root to make";
    }
    Worker other(referenceCase("demo"));
    ASSERT_EQ(fchown(other.share.fd, 1, 1), 0);  // daemon's
    int32_t seen = 0;
    output.start = std::chrono::steady_clock::now();
    output.script = [&](Ms t) {
        seen |= other.saverAttached();
        return t < Ms(800);
    };
    testing::internal::CaptureStderr();
    EXPECT_EQ(runSaver(output, LinuxOptions{}, kName.c_str()), 0);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(seen, 0);
    EXPECT_NE(said.find("uid 1"), std::string::npos) << said;
    EXPECT_EQ(output.dashboard(), std::vector<uint32_t>(752 * 445, 0x123456));  // nothing drawn
}

TEST_F(LinuxSaverCore, OneDashboardPerDesktopThePrimaryFirst) {
    DashboardLock secondary(ScreenRole::Secondary, kName.c_str());
    EXPECT_TRUE(secondary.tryTake());  // alone: it shows the dashboard
    {
        DashboardLock primary(ScreenRole::Primary, kName.c_str());
        EXPECT_FALSE(primary.tryTake());  // held, until the secondary yields
        EXPECT_TRUE(secondary.shouldYield());
        secondary.release();
        EXPECT_TRUE(primary.tryTake());
        EXPECT_FALSE(secondary.tryTake());
        DashboardLock second(ScreenRole::Primary, kName.c_str());
        EXPECT_FALSE(second.tryTake());
        EXPECT_FALSE(second.shouldYield());
    }  // the primary ends: the secondary takes over
    EXPECT_TRUE(secondary.tryTake());
    EXPECT_FALSE(secondary.shouldYield());

    // Of savers ending one after the other, only the last turns the mark off.
    DashboardLock other(ScreenRole::Primary, kName.c_str());
    EXPECT_FALSE(secondary.leaveLast());
    EXPECT_TRUE(other.leaveLast());
}

TEST_F(LinuxSaverCore, TheWorkerStartsWithDefaultSignals) {
    const fs::path out =
        fs::temp_directory_path() / ("vandrel_signals_" + std::to_string(getpid()));
    const fs::path script = out.string() + ".sh";
    std::ofstream(script) << "#!/bin/sh\ngrep -E '^Sig(Blk|Ign)' /proc/self/status >"
                          << out.string() << ".tmp; mv " << out.string() << ".tmp " << out.string()
                          << "\n";
    fs::permissions(script, fs::perms::owner_all);
    signal(SIGPIPE, SIG_IGN);
    signal(SIGUSR1, SIG_IGN);
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR2);
    sigprocmask(SIG_BLOCK, &blocked, nullptr);
    startWorker(script.c_str());
    sigprocmask(SIG_UNBLOCK, &blocked, nullptr);
    signal(SIGUSR1, SIG_DFL);
    for (int i = 0; i < 100 && !fs::exists(out); ++i)
        usleep(20000);
    std::ifstream in(out);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text, "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n");
    fs::remove(out);
    fs::remove(script);
}

}  // namespace
}  // namespace vandrel
