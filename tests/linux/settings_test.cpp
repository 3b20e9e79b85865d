// The Linux saver's settings file: the user's own first, else the system-wide one.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "controller/settings.h"
#include "host/posix/idle_watcher.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;

void write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

TEST(LinuxSettings, UserFileThenSystemWideDefaults) {
    const fs::path root =
        fs::temp_directory_path() / ("vandrel_settings_" + std::to_string(getpid()));
    const fs::path here = fs::current_path();
    fs::remove_all(root);
    setenv("XDG_CONFIG_HOME", (root / "user").c_str(), 1);
    setenv("XDG_CONFIG_DIRS",
           ("relative:" + (root / "none").string() + ":" + (root / "sys").string()).c_str(), 1);

    readSettings();  // no file anywhere: all zero
    EXPECT_EQ(settings.Minutes, 0);
    EXPECT_STREQ(settings.ClientPath, "");

    write(root / "sys/vandrel/vandrel.ini",
          "[boot]\nMinutes=7\nIdleMinutes=0.5\nClientPath=/usr/bin/w\n");
    readSettings();
    EXPECT_EQ(settings.Minutes, 7);
    EXPECT_STREQ(settings.ClientPath, "/usr/bin/w");
    LinuxOptions idle;  // --idle's wait: its MINUTES, else IdleMinutes=, else 5 minutes
    EXPECT_EQ(idleTimeoutMs(idle), 30000u);
    idle.idleMs = 3000;
    EXPECT_EQ(idleTimeoutMs(idle), 3000u);

    // The user's file wins whole, even where it lacks a key.
    write(root / "user/vandrel/vandrel.ini",
          "[BOOT]\nBlank=1\nScale=3\nClientDir=" + root.string() + "\n");
    readSettings();
    EXPECT_EQ(settings.Blank, 1);
    EXPECT_EQ(settings.Minutes, 0);
    EXPECT_EQ(settings.Scale, 3);
    EXPECT_STREQ(settings.ClientPath, "");
    EXPECT_EQ(fs::current_path(), root);  // ClientDir becomes the current directory
    EXPECT_EQ(idleTimeoutMs(LinuxOptions{}), 5u * 60 * 1000);

    // One that cannot be entered: a line on stderr, and the current directory stays.
    write(root / "user/vandrel/vandrel.ini", "[boot]\nClientDir=" + (root / "gone").string());
    testing::internal::CaptureStderr();
    readSettings();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("ClientDir " + (root / "gone").string()),
              std::string::npos);
    EXPECT_EQ(fs::current_path(), root);

    // A file beyond the 64 KiB read, whose last read line is cut inside a path: that line
    // is dropped, not cut into a path to another program.
    const std::string filler = "; " + std::string(64 * 1024 - 2 - 12 - 20, 'x') + "\n";
    write(root / "user/vandrel/vandrel.ini",
          "[boot]\nBlank=2\n" + filler + "ClientPath=/usr/bin/worker-with-long-name\n");
    readSettings();
    EXPECT_EQ(settings.Blank, 2);
    EXPECT_STREQ(settings.ClientPath, "");

    fs::current_path(here);
    fs::remove_all(root);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_CONFIG_DIRS");
}

}  // namespace
}  // namespace vandrel
