// The idle watcher's loop on a scripted idle source: when the saver shows, when it waits
// again, and how it ends.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "host/posix/idle_watcher.h"

namespace vandrel {
namespace {

using S = IdleState;

// Answers one scripted state per check (Lost once the script ends), through a pipe that
// always polls readable.
class ScriptedSource final : public IdleSource {
  public:
    ScriptedSource(std::vector<S> states, std::vector<bool> inhibit)
        : states_(std::move(states)), inhibit_(std::move(inhibit)) {
        EXPECT_EQ(pipe(fds_), 0);
        EXPECT_EQ(write(fds_[1], "x", 1), 1);
    }
    ~ScriptedSource() override {
        close(fds_[0]);
        close(fds_[1]);
    }
    const char* name() const override { return "scripted"; }
    bool arm(uint32_t timeoutMs) override {
        arms += std::to_string(timeoutMs) + " ";
        return true;
    }
    int connectionFd() const override { return fds_[0]; }
    S check() override { return next_ < states_.size() ? states_[next_++] : S::Lost; }
    bool inhibited() override { return asked_ < inhibit_.size() && inhibit_[asked_++]; }

    std::string arms;

  private:
    std::vector<S> states_;
    std::vector<bool> inhibit_;
    size_t next_ = 0, asked_ = 0;
    int fds_[2] = {-1, -1};
};

constexpr const char* kRecord = "/vandrel_idle_watcher_test";
int shows = 0;
int showExit = 0;
int secondExit = -1;

int countShow(const LinuxOptions&) {
    ++shows;
    return showExit;
}

// While one watcher runs, a second of the same user and display returns 0 unshown.
int showAndStartSecond(const LinuxOptions& options) {
    ScriptedSource second({S::Idle}, {});
    secondExit = runIdleWatcher(second, options, countShow, kRecord);
    EXPECT_EQ(second.arms, "") << "the second watcher never waits";
    return countShow(options);
}

TEST(IdleWatcher, ShowsWhenIdleWaitsAgainAndEndsWithTheSession) {
    struct Case {
        std::vector<S> states;
        std::vector<bool> inhibit;
        int showExit;
        int shows;
        const char* arms;  // each arm's wait: the first, then one after every idle
        int exit;
    } cases[] = {
        {{S::Waiting, S::Idle, S::Waiting, S::Idle}, {}, 0, 2, "3000 3000 3000 ", 1},
        {{S::Idle, S::Idle}, {true, false}, 0, 1, "3000 3000 3000 ", 1},  // inhibited first
        {{S::Idle, S::Idle}, {}, 1, 1, "3000 ", 1},  // the display went: no new wait
        {{S::Lost, S::Idle}, {}, 0, 0, "3000 ", 1},
    };
    setenv("WAYLAND_DISPLAY", "test-session", 1);  // the lock's name
    LinuxOptions options;
    options.idleMs = 3000;
    for (const Case& c : cases) {
        ScriptedSource source(c.states, c.inhibit);
        shows = 0;
        showExit = c.showExit;
        EXPECT_EQ(runIdleWatcher(source, options, countShow, kRecord), c.exit);
        EXPECT_EQ(shows, c.shows);
        EXPECT_EQ(source.arms, c.arms);
    }
    ScriptedSource first({S::Idle}, {});
    shows = 0;
    showExit = 0;
    EXPECT_EQ(runIdleWatcher(first, options, showAndStartSecond, kRecord), 1);
    EXPECT_EQ(secondExit, 0);
    EXPECT_EQ(shows, 1);
    ScriptedSource after({S::Idle}, {});  // the lock went with the first watcher
    EXPECT_EQ(runIdleWatcher(after, options, countShow, kRecord), 1);
    EXPECT_EQ(shows, 2);
    unsetenv("WAYLAND_DISPLAY");
    shm_unlink(
        ("/vandrel_idle_watcher_test.idle-" + std::to_string(getuid()) + "-test-session").c_str());
}

}  // namespace
}  // namespace vandrel
