// The Linux saver's settings file: the user's own first, else the system-wide one.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "controller/settings.h"
#include "host/posix/settings_model.h"
#include "host/posix/idle_watcher.h"
#include "host/posix/settings_store.h"

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

    // As Windows' editor writes it (a byte-order mark, CR LF), as old Mac tools do (CR
    // alone), and IdleMinutes with a long fraction, through to --idle's wait. A FIFO or a
    // device in the user's place is skipped without waiting, saying so, and the
    // system-wide file counts.
    struct {
        std::string text;  // empty: a FIFO, else "dev": a link to /dev/zero
        int32_t minutes;
        uint32_t idleMs;
    } files[] = {
        {"\xEF\xBB\xBF[boot]\r\nMinutes=4\r\nIdleMinutes=10.5\r\n", 4, 630000},
        {"[boot]\rMinutes=6\rIdleMinutes=2.25", 6, 135000},
        {"", 7, 30000},
        {"dev", 7, 30000},
    };
    for (const auto& f : files) {
        const fs::path user = root / "user/vandrel/vandrel.ini";
        fs::remove(user);
        if (f.text.empty()) {
            ASSERT_EQ(mkfifo(user.c_str(), 0600), 0);
        } else if (f.text == "dev") {
            fs::create_symlink("/dev/zero", user);
        } else {
            write(user, f.text);
        }
        testing::internal::CaptureStderr();
        readSettings();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("not a regular file") != std::string::npos, f.minutes == 7) << said;
        EXPECT_EQ(settings.Minutes, f.minutes) << f.text;
        EXPECT_EQ(idleTimeoutMs(LinuxOptions{}), f.idleMs) << f.text;
        fs::remove(user);
    }

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

// The settings window's saves: defaults, a round trip that keeps what it does not know,
// and every refusal leaving the file byte for byte as it was.
TEST(SettingsModel, SavesOnlyWhatIsInRangeAndKeepsTheRest) {
    const fs::path root = fs::temp_directory_path() / ("vandrel_model_" + std::to_string(getpid()));
    fs::remove_all(root);
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (root / "none").c_str(), 1);
    const fs::path file = root / "vandrel/vandrel.ini";
    const std::string mine =
        "\xEF\xBB\xBF; mine\r\n[Boot]\r\nblank=1\r\nColor=red\r\n\r\n"
        "[other]\r\nMinutes=9\r\n[boot]\r\nScale=7";
    EXPECT_EQ(settingsFormFrom(SettingsDocument()).idleMinutes, "5");
    struct {
        SettingsForm form;
        std::string before;  // the file's text, or a path when it starts with '/'
        std::string after;   // empty: refused, the file unchanged
    } cases[] = {
        {{}, "", "[boot]\nBlank=0\nMinutes=0\nScale=0\nIdleMinutes=5\nClientPath=\nClientDir=\n"},
        {{false, 15, 3, "2.25", "true", "/bin"},
         mine,
         "\xEF\xBB\xBF; mine\r\n[Boot]\r\nBlank=0\r\nColor=red\r\nMinutes=15\r\nScale=3\r\n"
         "IdleMinutes=2.25\r\nClientPath=true\r\nClientDir=/bin\r\n\r\n[other]\r\nMinutes=9\r\n"
         "[boot]\r\nScale=7"},
        {{true, 2147483647, 8, "1440", "/bin/true", ""},
         "[boot]\nMinutes=1",
         "[boot]\nMinutes=2147483647\nBlank=1\nScale=8\nIdleMinutes=1440\n"
         "ClientPath=/bin/true\nClientDir=\n"},
        {{false, -1, 0, "5", "", ""}, mine, ""},
        {{false, 2147483648, 0, "5", "", ""}, mine, ""},
        {{false, 0, 9, "5", "", ""}, mine, ""},
        {{false, 0, -1, "5", "", ""}, mine, ""},
        {{false, 0, 0, "0", "", ""}, mine, ""},
        {{false, 0, 0, "1440.01", "", ""}, mine, ""},
        {{false, 0, 0, "5", "/proc/version", ""}, mine, ""},  // not executable
        {{false, 0, 0, "5", "/bin", ""}, mine, ""},           // a folder
        {{false, 0, 0, "5", "missing", "/bin"}, mine, ""},
        {{false, 0, 0, "5", " /bin/true", ""}, mine, ""},  // would read back cut
        {{false, 0, 0, "5", "", "/proc/version"}, mine, ""},
        {{false, 0, 0, "5", "/bin/true\nBlank=1", ""}, mine, ""},
        {{}, mine, "fsize"},           // the disk fills mid-write
        {{}, "/proc/self/x.ini", ""},  // a folder it cannot write
    };
    for (const auto& c : cases) {
        fs::remove_all(root);
        const fs::path target = c.before[0] == '/' ? fs::path(c.before) : file;
        if (c.before[0] != '/' && !c.before.empty()) {
            write(file, c.before);
        }
        std::string error;
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        if (c.after == "fsize") {  // writes past 8 bytes fail, as on a full disk
            signal(SIGXFSZ, SIG_IGN);
            rlimit small = limit;
            small.rlim_cur = 8;
            setrlimit(RLIMIT_FSIZE, &small);
        }
        const bool saved = saveSettings(target.c_str(), c.form, error);
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool refused = c.after.empty() || c.after == "fsize";
        EXPECT_EQ(saved, !refused) << error;
        EXPECT_EQ(error.empty(), !refused) << error;
        std::ifstream in(target, std::ios::binary);
        const std::string now((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(now, refused ? c.before.substr(0, c.before[0] == '/' ? 0 : std::string::npos)
                               : c.after);
        // Nothing but the file is left in its folder, and the saver reads back the form.
        if (fs::exists(file.parent_path())) {
            EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}),
                      fs::exists(file) ? 1 : 0);
        }
        if (!refused) {
            const SettingsForm back = settingsFormFrom(SettingsDocument(now));
            EXPECT_EQ(back.scale, c.form.scale);
            EXPECT_EQ(back.clientPath, c.form.clientPath);
        }
    }
    fs::remove_all(root);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_CONFIG_DIRS");
}

}  // namespace
}  // namespace vandrel
