// The Linux saver's pure parts: its settings text, its command line and the priority
// class it reports.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "controller/ini_text.h"
#include "host/posix/idle_watch_plan.h"
#include "host/posix/linux_options.h"
#include "host/x11/pixel_row.h"
#include "host/posix/screen_role.h"

namespace vandrel {
namespace {

std::string lookup(const char* text, const char* section, const char* key, size_t outSize = 64) {
    char out[64] = "unchanged";
    if (!iniLookup(text, std::strlen(text), section, key, out, outSize))
        return "<none>";
    return out;
}

TEST(IniText, ReadsLikeTheProfileFunctions) {
    const char* text =
        "; comment\r\n"
        "Blank=9\r\n"  // outside any section
        "[other]\nMinutes=3\n"
        "  [ BOOT ]  \r\n"
        "blank = 1 \r\n"
        "Minutes=\t15abc\n"
        "ClientPath=\"/opt/my worker\"\n"
        "Empty=\n"
        "NoEquals\n"
        "Blank=2\n"  // the first one counts
        "[boot2]\nScale=4";
    EXPECT_EQ(lookup(text, "boot", "Blank"), "1");
    EXPECT_EQ(lookup(text, "boot", "MINUTES"), "15abc");
    EXPECT_EQ(lookup(text, "boot", "ClientPath"), "/opt/my worker");
    EXPECT_EQ(lookup(text, "boot", "Empty"), "");
    EXPECT_EQ(lookup(text, "boot", "NoEquals"), "<none>");
    EXPECT_EQ(lookup(text, "boot", "Scale"), "<none>");
    EXPECT_EQ(lookup(text, "boot2", "Scale"), "4");  // last line without a line end
    EXPECT_EQ(lookup(text, "other", "Minutes"), "3");
    EXPECT_EQ(lookup("", "boot", "Blank"), "<none>");
    EXPECT_EQ(lookup("[boot", "boot", "Blank"), "<none>");

    // A value longer than the field is cut, and its whole length told.
    char small[4];
    size_t whole = 0;
    ASSERT_TRUE(
        iniLookup(text, std::strlen(text), "boot", "ClientPath", small, sizeof small, &whole));
    EXPECT_STREQ(small, "/op");
    EXPECT_EQ(whole, 14u);
}

TEST(LinuxOptions, CommandLineOfTheLinuxSaver) {
    using T = SaverTarget;
    using D = DisplaySystem;
    struct Case {
        std::vector<const char*> args;
        bool ok;
        T target = T::Default;
        unsigned long id = 0;
        D display = D::Auto;
        int32_t scale = -1;
        const char* output = "";
        bool help = false;
    } cases[] = {
        {{}, true},
        {{"--root"}, true, T::Root},
        {{"-root"}, true, T::Root},
        {{"--window"}, true, T::Window},
        {{"-window-id", "0x2a00007"}, true, T::WindowId, 0x2a00007},
        {{"--window-id", "1234"}, true, T::WindowId, 1234},
        {{"--window-id", "010"}, true, T::WindowId, 10},  // decimal, never octal
        {{"--window-id", "0XfFfFfFfF"}, true, T::WindowId, 0xFFFFFFFFul},
        {{"--window-id", "4294967295"}, true, T::WindowId, 4294967295ul},
        {{"--window-id", "4294967296"}, false},  // beyond 32 bits
        {{"--window-id", "0x100000000"}, false},
        {{"--window-id", "0x"}, false},
        {{"--window-id", " 12"}, false},
        {{"--window-id", "+12"}, false},
        {{"--window-id", "12z"}, false},
        {{"--window-id", "-5"}, false},
        {{"--window-id"}, false},
        {{"--wayland", "--output", "HDMI-A-1"}, true, T::Default, 0, D::Wayland, -1, "HDMI-A-1"},
        {{"--x11", "--scale", "0"}, true, T::Default, 0, D::X11, 0},
        {{"-scale", "8"}, true, T::Default, 0, D::Auto, 8},
        {{"--scale", "9"}, false},
        {{"--scale", "2x"}, false},
        {{"--scale"}, false},
        {{"--output"}, false},
        {{"--help"}, true, T::Default, 0, D::Auto, -1, "", true},
        {{"-h"}, true, T::Default, 0, D::Auto, -1, "", true},
        {{"--fps"}, false},
        {{"root"}, false},
    };
    for (const Case& c : cases) {
        LinuxOptions o;
        char error[128];
        std::string what;
        for (const char* a : c.args) {
            what += std::string(a) + " ";
        }
        ASSERT_EQ(parseLinuxOptions(static_cast<int>(c.args.size()), c.args.data(), o, error,
                                    sizeof error),
                  c.ok)
            << what;
        if (!c.ok) {
            EXPECT_NE(error[0], '\0') << what;
            continue;
        }
        EXPECT_EQ(o.target, c.target) << what;
        EXPECT_EQ(o.windowId, c.id) << what;
        EXPECT_EQ(o.display, c.display) << what;
        EXPECT_EQ(o.scale, c.scale) << what;
        EXPECT_STREQ(o.outputName, c.output) << what;
        EXPECT_EQ(o.help, c.help) << what;
    }
    EXPECT_EQ(priorityClassForNice(0), 0x20);
    EXPECT_EQ(priorityClassForNice(10), 0x40);
    EXPECT_EQ(priorityClassForNice(19), 0x40);
    EXPECT_EQ(priorityClassForNice(5), 0x4000);
    EXPECT_EQ(priorityClassForNice(-5), 0x8000);
    EXPECT_EQ(priorityClassForNice(-20), 0x80);
}

TEST(LinuxOptions, IdleMinutes) {
    struct Case {
        std::vector<const char*> args;
        bool ok;
        uint32_t ms = 0;
    } cases[] = {
        {{"--idle"}, true},  // the setting's, or 5 minutes
        {{"--idle", "--x11"}, true},
        {{"--idle", "5"}, true, 300000},
        {{"-idle", "0.05"}, true, 3000},
        {{"--idle", "2.5", "--wayland"}, true, 150000},
        {{"--idle", ".5"}, true, 30000},
        {{"--idle", "1440"}, true, 86400000},
        {{"--idle", "0.0001"}, false},  // below a millisecond's worth: zero
        {{"--idle", "0"}, false},
        {{"--idle", "1441"}, false},
        {{"--idle", "99999999999999999999"}, false},
        {{"--idle", "5m"}, false},
        {{"--idle", "."}, false},
        {{"--idle", "1.2.3"}, false},
        {{"--idle", ""}, false},
    };
    for (const Case& c : cases) {
        LinuxOptions o;
        char error[128];
        ASSERT_EQ(parseLinuxOptions(static_cast<int>(c.args.size()), c.args.data(), o, error,
                                    sizeof error),
                  c.ok)
            << c.args.back();
        if (c.ok) {
            EXPECT_TRUE(o.idle);
            EXPECT_EQ(o.idleMs, c.ms) << c.args.back();
        }
    }
}

TEST(LinuxOptions, DisplaySystemAndScreenRole) {
    LinuxOptions o;
    EXPECT_EQ(chooseDisplaySystem(o, true, false), DisplaySystem::Wayland);
    EXPECT_EQ(chooseDisplaySystem(o, false, false), DisplaySystem::X11);
    EXPECT_EQ(chooseDisplaySystem(o, true, true), DisplaySystem::X11);  // the daemon's window
    o.target = SaverTarget::Window;
    EXPECT_EQ(chooseDisplaySystem(o, true, false), DisplaySystem::Wayland);
    for (SaverTarget t : {SaverTarget::Root, SaverTarget::WindowId}) {
        o.target = t;
        EXPECT_EQ(chooseDisplaySystem(o, true, false), DisplaySystem::X11);
    }
    o.display = DisplaySystem::Wayland;
    EXPECT_EQ(chooseDisplaySystem(o, false, true), DisplaySystem::Wayland);
    o.display = DisplaySystem::X11;
    EXPECT_EQ(chooseDisplaySystem(o, true, false), DisplaySystem::X11);

    // Two 800 x 600 monitors side by side: the marked primary, else the one at (0, 0).
    const MonitorBox marked[] = {{0, 0, 800, 600, false}, {800, 0, 800, 600, true}};
    const MonitorBox unmarked[] = {{800, 0, 800, 600, false}, {0, 0, 800, 600, false}};
    const MonitorBox elsewhere[] = {{100, 0, 800, 600, false}};
    struct Case {
        const MonitorBox* monitors;
        int count;
        int32_t x, y, w, h;
        ScreenRole role;
    } cases[] = {
        {marked, 2, 800, 0, 800, 600, ScreenRole::Primary},
        {marked, 2, 0, 0, 800, 600, ScreenRole::Secondary},
        {marked, 2, 0, 0, 1600, 600, ScreenRole::Primary},  // the root: its centre at x 800
        {marked, 2, 0, 0, 1598, 600, ScreenRole::Secondary},
        {unmarked, 2, 0, 0, 800, 600, ScreenRole::Primary},
        {unmarked, 2, 800, 0, 800, 600, ScreenRole::Secondary},
        {elsewhere, 1, 800, 0, 800, 600, ScreenRole::Primary},  // nothing to tell: primary
        {nullptr, 0, 5000, 5000, 10, 10, ScreenRole::Primary},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(screenRoleOf(c.monitors, c.count, c.x, c.y, c.w, c.h), c.role)
            << c.x << "," << c.y << " " << c.w << "x" << c.h << " of " << c.count;
    }
}

TEST(LinuxOptions, PixelRowsInEveryServerFormat) {
    const uint32_t row[] = {0x112233, 0x445566, 0x778899};
    struct Case {
        PixelFormat format;
        int32_t first, count, scale;
        std::vector<unsigned char> bytes;
    } cases[] = {
        {{4, true}, 0, 2, 1, {0x33, 0x22, 0x11, 0, 0x66, 0x55, 0x44, 0}},
        {{4, false}, 1, 2, 1, {0, 0x44, 0x55, 0x66, 0, 0x77, 0x88, 0x99}},
        {{4, true}, 1, 3, 2, {0x33, 0x22, 0x11, 0, 0x66, 0x55, 0x44, 0, 0x66, 0x55, 0x44, 0}},
        {{3, true}, 1, 3, 2, {0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0x66, 0x55, 0x44}},
        {{3, false}, 0, 3, 1, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99}},
        {{3, false}, 2, 2, 3, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> out(c.bytes.size() + 1, 0xEE);
        packPixelRow(out.data(), c.format, row, c.first, c.count, c.scale);
        EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.end() - 1), c.bytes)
            << c.format.bytesPerPixel << (c.format.lsbFirst ? " lsb" : " msb") << " from "
            << c.first << " at " << c.scale;
        EXPECT_EQ(out.back(), 0xEE);  // nothing past the row
    }
}

// GNOME's idle watches count from the last input; the saver's wait counts from now.
TEST(LinuxOptions, IdleWatchFromNow) {
    EXPECT_EQ(planIdleWatch(0, 2000), (IdleWatchPlan{2000, false}));
    EXPECT_EQ(planIdleWatch(999, 2000), (IdleWatchPlan{2000, false}));
    EXPECT_EQ(planIdleWatch(1000, 2000), (IdleWatchPlan{3000, true}));
    EXPECT_EQ(planIdleWatch(300000, 60000), (IdleWatchPlan{360000, true}));
    EXPECT_EQ(planIdleWatch(UINT64_MAX - 5, 9), (IdleWatchPlan{UINT64_MAX, true}));
}

}  // namespace
}  // namespace vandrel
