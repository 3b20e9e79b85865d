// The idle watcher's loop on a scripted idle source: when the saver shows, when it waits
// again, and how it ends.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "host/posix/idle_watcher.h"

namespace vandrel {
namespace {

// One scripted answer per check: 'W' waiting, 'I' idle, anything else (or the script's
// end) lost; inhibited() answers from its own script of '1's. It never blocks the poll.
class ScriptedSource final : public IdleSource {
  public:
    ScriptedSource(const char* states, const char* inhibit) : states_(states), inhibit_(inhibit) {}
    const char* name() const override { return "scripted"; }
    bool arm(uint32_t timeoutMs) override {
        arms += std::to_string(timeoutMs) + " ";
        return true;
    }
    int connectionFd() const override { return -1; }
    int wakeAfterMs() const override { return 0; }
    IdleState check() override {
        const char c = *states_ != '\0' ? *states_++ : '-';
        return c == 'W' ? IdleState::Waiting : c == 'I' ? IdleState::Idle : IdleState::Lost;
    }
    bool inhibited() override { return *inhibit_ != '\0' && *inhibit_++ == '1'; }

    std::string arms;

  private:
    const char* states_;
    const char* inhibit_;
};

constexpr const char* kRecord = "/vandrel_idle_watcher_test";
int shows = 0, showExit = 0, secondExit = -1;

int countShow(const LinuxOptions&) {
    ++shows;
    return showExit;
}

// While one watcher runs, a second of the same user and display returns 0, never waiting.
int showAndStartSecond(const LinuxOptions& options) {
    ScriptedSource second("I", "");
    secondExit = runIdleWatcher(second, options, countShow, kRecord);
    EXPECT_EQ(second.arms, "");
    return countShow(options);
}

TEST(IdleWatcher, ShowsWhenIdleWaitsAgainAndEndsWithTheSession) {
    setenv("WAYLAND_DISPLAY", "test-session", 1);  // the lock's name
    struct Case {
        const char *states, *inhibit;
        int showExit, shows;
        const char* arms;  // each wait: the first, then one after every idle
        int exit;
    } cases[] = {
        {"WIWI", "", 0, 2, "3000 3000 3000 ", 1},
        {"II", "10", 0, 1, "3000 3000 3000 ", 1},  // inhibited the first time
        {"II", "", 1, 1, "3000 ", 1},              // the display went: no new wait
        {"-I", "", 0, 0, "3000 ", 1},
    };
    LinuxOptions options;
    options.idleMs = 3000;
    for (const Case& c : cases) {
        ScriptedSource source(c.states, c.inhibit);
        shows = 0;
        showExit = c.showExit;
        EXPECT_EQ(runIdleWatcher(source, options, countShow, kRecord), c.exit) << c.states;
        EXPECT_EQ(shows, c.shows) << c.states;
        EXPECT_EQ(source.arms, c.arms) << c.states;
    }
    ScriptedSource first("I", ""), after("I", "");
    shows = showExit = 0;
    EXPECT_EQ(runIdleWatcher(first, options, showAndStartSecond, kRecord), 1);
    EXPECT_EQ(secondExit, 0);
    EXPECT_EQ(runIdleWatcher(after, options, countShow, kRecord), 1);  // the lock went
    EXPECT_EQ(shows, 2);
    unsetenv("WAYLAND_DISPLAY");
    shm_unlink(
        ("/vandrel_idle_watcher_test.idle-" + std::to_string(getuid()) + "-test-session").c_str());
}

}  // namespace
}  // namespace vandrel
