// The Linux saver's pure parts: its settings text, its command line and the priority
// class it reports.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "controller/ini_text.h"
#include "host/logic/linux_options.h"

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
    struct Case {
        std::vector<const char*> args;
        bool ok;
        X11Target target;
        unsigned long id;
        bool help;
    } cases[] = {
        {{}, true, X11Target::Default, 0, false},
        {{"--root"}, true, X11Target::Root, 0, false},
        {{"-root"}, true, X11Target::Root, 0, false},
        {{"--window"}, true, X11Target::Window, 0, false},
        {{"-window-id", "0x2a00007"}, true, X11Target::WindowId, 0x2a00007, false},
        {{"--window-id", "1234"}, true, X11Target::WindowId, 1234, false},
        {{"--help"}, true, X11Target::Default, 0, true},
        {{"-h"}, true, X11Target::Default, 0, true},
        {{"--window-id"}, false, X11Target::Default, 0, false},
        {{"--window-id", "12z"}, false, X11Target::Default, 0, false},
        {{"--window-id", "-5"}, false, X11Target::Default, 0, false},
        {{"--fps"}, false, X11Target::Default, 0, false},
        {{"root"}, false, X11Target::Default, 0, false},
    };
    for (const Case& c : cases) {
        LinuxOptions o;
        char error[128];
        const std::string what = c.args.empty() ? "(none)" : c.args[0];
        ASSERT_EQ(
            parseLinuxOptions(static_cast<int>(c.args.size()), c.args.data(), o, error, sizeof error),
            c.ok)
            << what;
        if (!c.ok) {
            EXPECT_NE(error[0], '\0') << what;
            continue;
        }
        EXPECT_EQ(o.target, c.target) << what;
        EXPECT_EQ(o.windowId, c.id) << what;
        EXPECT_EQ(o.help, c.help) << what;
    }
    EXPECT_EQ(priorityClassForNice(0), 0x20);
    EXPECT_EQ(priorityClassForNice(10), 0x40);
    EXPECT_EQ(priorityClassForNice(19), 0x40);
    EXPECT_EQ(priorityClassForNice(5), 0x4000);
    EXPECT_EQ(priorityClassForNice(-5), 0x8000);
    EXPECT_EQ(priorityClassForNice(-20), 0x80);
}

}  // namespace
}  // namespace vandrel
