// Settings read through the real profile functions, and the settings dialog of the
// real Vandrel.scr driven from outside.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "controller/settings.h"
#include "tests/win32/saver_harness.h"

using namespace saver_test;
using vandrel::readSettings;
using vandrel::settings;

namespace {

std::string currentDirectory() {
    char dir[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof dir, dir);
    return dir;
}

// Restores the file and the current directory that readSettings may change.
class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override { directory_ = currentDirectory(); }
    void TearDown() override {
        SetCurrentDirectoryA(directory_.c_str());
        writeSettingsFile("");
    }
    std::string directory_;
};

// The settings dialog of a running Vandrel.scr.
struct DialogRun {
    Process process;
    HWND dialog = nullptr;

    explicit DialogRun(const std::string& switchText) {
        if (startScr(process, switchText)) {
            dialog = findProcessWindow(process.id(), "#32770", 10000);
        }
    }
    std::string minutesText() const {
        char text[64] = {};
        GetDlgItemTextA(dialog, 1001, text, sizeof text);
        return text;
    }
    bool ticked() const { return SendDlgItemMessageA(dialog, 1002, BM_GETCHECK, 0, 0) == 1; }
    // The size list's shown item, and a choice made in it.
    std::string sizeText() const {
        char text[64] = {};
        GetDlgItemTextA(dialog, 1005, text, sizeof text);
        return text;
    }
    void chooseSize(int item) { SendDlgItemMessageA(dialog, 1005, CB_SETCURSEL, item, 0); }
    void press(int id) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
};

std::string iniValue(const char* key) {
    char text[64] = {};
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "vandrel.ini");
    GetPrivateProfileStringA("boot", key, "<none>", text, sizeof text, "vandrel.ini");
    return text;
}

}  // namespace

TEST_F(SettingsTest, ReadingToleratesMissingAndMalformedValues) {
    writeSettingsFile("");
    settings.Blank = 9;
    settings.ClientPath[0] = 'x';
    readSettings();
    EXPECT_EQ(settings.Blank, 0);
    EXPECT_EQ(settings.Minutes, 0);
    EXPECT_STREQ(settings.ClientPath, "");
    EXPECT_STREQ(settings.ClientDir, "");
    EXPECT_EQ(currentDirectory(), directory_);

    writeSettingsFile("[boot]\r\nBlank=x\r\nMinutes=15abc\r\nScale=3x\r\n");
    readSettings();
    EXPECT_EQ(settings.Blank, 0);
    EXPECT_EQ(settings.Minutes, 15);
    EXPECT_EQ(settings.Scale, 3);
    writeSettingsFile("[boot]\r\nScale=9\r\n");
    readSettings();
    EXPECT_EQ(settings.Scale, 0);

    writeSettingsFile("[other]\r\nMinutes=3\r\n[boot]\r\nBlank=-1\r\nMinutes= 7\r\n");
    readSettings();
    EXPECT_EQ(settings.Blank, -1);
    EXPECT_EQ(settings.Minutes, 7);
}

TEST_F(SettingsTest, PathsUpToTheLimitAndClientDirBecomesCurrent) {
    std::string scratch = scratchDirectory("settings");
    std::string path259 = "C:\\" + std::string(256, 'p');
    writeSettingsFile("[boot]\r\nClientPath=" + path259 + "\r\nClientDir=" + scratch + "\r\n");
    readSettings();
    EXPECT_EQ(std::string(settings.ClientPath), path259);
    EXPECT_EQ(std::string(settings.ClientDir), scratch);
    EXPECT_EQ(currentDirectory(), scratch);

    // One character more would be cut; a cut path is never kept.
    SetCurrentDirectoryA(directory_.c_str());
    writeSettingsFile("[boot]\r\nClientPath=" + path259 + "q\r\nClientDir=C:\\no such dir\r\n");
    readSettings();
    EXPECT_STREQ(settings.ClientPath, "");
    EXPECT_STREQ(settings.ClientDir, "C:\\no such dir");
    EXPECT_EQ(currentDirectory(), directory_);

    vandrel::writeSetting("Minutes", -2147483647 - 1);
    EXPECT_EQ(iniValue("Minutes"), "-2147483648");
}

TEST_F(SettingsTest, DialogShowsTheFileAndWritesOnlyOnOk) {
    // No file: 0 and an empty box; OK with an emptied field and the box ticked.
    writeSettingsFile("");
    {
        DialogRun run("/c");
        ASSERT_NE(run.dialog, nullptr);
        char caption[64] = {};
        GetWindowTextA(run.dialog, caption, sizeof caption);
        EXPECT_STREQ(caption, "Vandrel ScreenSaver Settings");
        EXPECT_EQ(run.minutesText(), "0");
        EXPECT_FALSE(run.ticked());
        EXPECT_EQ(run.sizeText(), "Automatic");
        EXPECT_EQ(SendDlgItemMessageA(run.dialog, 1005, CB_GETCOUNT, 0, 0), 5);
        run.chooseSize(3);
        SetDlgItemTextA(run.dialog, 1001, "");
        SendDlgItemMessageA(run.dialog, 1002, BM_SETCHECK, BST_CHECKED, 0);
        run.press(IDOK);
        EXPECT_EQ(run.process.wait(10000), 1u);
    }
    EXPECT_EQ(iniValue("Blank"), "1");
    EXPECT_EQ(iniValue("Minutes"), "0");
    EXPECT_EQ(iniValue("Scale"), "3");

    // A negative delay written by hand shows unsigned and is written back as 0; a size
    // beyond the list's, written by hand, is shown and kept.
    writeSettingsFile("[boot]\r\nBlank=1\r\nMinutes=-5\r\nScale=6\r\n");
    {
        DialogRun run("/c");
        ASSERT_NE(run.dialog, nullptr);
        EXPECT_EQ(run.minutesText(), "4294967291");
        EXPECT_TRUE(run.ticked());
        EXPECT_EQ(run.sizeText(), "6x");
        SendDlgItemMessageA(run.dialog, 1002, BM_SETCHECK, BST_UNCHECKED, 0);
        run.press(IDOK);
        EXPECT_EQ(run.process.wait(10000), 1u);
    }
    EXPECT_EQ(iniValue("Blank"), "0");
    EXPECT_EQ(iniValue("Minutes"), "0");
    EXPECT_EQ(iniValue("Scale"), "6");

    // Cancel leaves the file as it was, byte for byte.
    const std::string before = "[boot]\r\nBlank=1\r\nMinutes=12\r\nClientDir=C:\\x\r\nScale=2\r\n";
    writeSettingsFile(before);
    {
        DialogRun run("/c");
        ASSERT_NE(run.dialog, nullptr);
        EXPECT_EQ(run.minutesText(), "12");
        EXPECT_EQ(run.sizeText(), "2x");
        SetDlgItemTextA(run.dialog, 1001, "99");
        run.chooseSize(4);
        run.press(IDCANCEL);
        EXPECT_EQ(run.process.wait(10000), 0u);
    }
    EXPECT_EQ(readFile(settingsPath()), before);
}
