// The real Vandrel.scr started with each kind of switch text; the exit code tells the
// run mode apart.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/win32/saver_harness.h"

using namespace saver_test;

namespace {

constexpr DWORD kRejected = 0xFFFFFFFFu;

}  // namespace

TEST(SaverCommandLine, RejectedSwitchesExitWithMinusOne) {
    writeSettingsFile("");
    for (const char* text : {"/x", "/1", "/\ts", "/p", "/p x", "/p:12", "/p 0", "/l", "/\xE9"}) {
        EXPECT_EQ(runScr(text), kRejected) << text;
    }
    // Outside the Windows 95 family there is no password change.
    EXPECT_EQ(runScr("/a 0"), kRejected);
    // A number that is no window.
    EXPECT_EQ(runScr("/p 4000000001"), kRejected);
}

TEST(SaverCommandLine, SaverRunsBehindQuotedNamesAndSeparators) {
    // No record and no worker path: the saver ends by itself on its second tick.
    writeSettingsFile("");
    EXPECT_EQ(runScr("/s"), 0u);
    EXPECT_EQ(runScr("--//s"), 0u);
    EXPECT_EQ(runScr(" S"), 0u);
    std::string copy = scratchDirectory("cmd line") + "\\My Saver.scr";
    ASSERT_TRUE(CopyFileA(scrPath().c_str(), copy.c_str(), FALSE));
    Process process;
    ASSERT_TRUE(process.start(copy, "\"" + copy + "\"  /s"));
    EXPECT_EQ(process.wait(10000), 0u);
}

TEST(SaverCommandLine, PreviewRunsInsideTheNamedWindow) {
    writeSettingsFile("");
    PreviewParent parent(152, 112);
    ASSERT_NE(parent.window, nullptr);
    for (std::string text :
         {"/p " + parent.handleText(), "-P" + parent.handleText(), "/l   " + parent.handleText()}) {
        Process process;
        ASSERT_TRUE(startScr(process, text));
        HWND preview =
            findProcessWindow(process.id(), "WindowsScreenSaverClass", 10000, parent.window);
        ASSERT_NE(preview, nullptr) << text;
        RECT area{};
        GetClientRect(preview, &area);
        EXPECT_EQ(area.right, 152);
        EXPECT_EQ(area.bottom, 112);
        char title[32] = {};
        GetWindowTextA(preview, title, sizeof title);
        EXPECT_STREQ(title, "Preview");
        EXPECT_EQ(process.wait(300), Process::kStillRunning) << text;
        // The desktop ends a preview by closing it.
        PostMessageA(preview, WM_CLOSE, 0, 0);
        EXPECT_EQ(process.wait(10000), 0u) << text;
    }
}

TEST(SaverCommandLine, SettingsWithAndWithoutOwner) {
    writeSettingsFile("");
    for (const char* text : {"", "/c:596", "-C"}) {
        Process process;
        ASSERT_TRUE(startScr(process, text));
        HWND dialog = findProcessWindow(process.id(), "#32770", 10000);
        ASSERT_NE(dialog, nullptr) << text;
        if (text[0] == '\0') {
            EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
        }
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(process.wait(10000), 0u) << text;
    }
}

TEST(SaverCommandLine, SecondSaverDefersToTheRunningOne) {
    writeSettingsFile("");
    TestShare share;
    ASSERT_TRUE(share.ok());
    // A window that looks like a running saver: the new one fronts it and ends.
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "WindowsScreenSaverClass";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    HWND existing = CreateWindowExA(0, "WindowsScreenSaverClass", "Screen Saver", WS_POPUP, 0, 0,
                                    10, 10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(existing, nullptr);
    Process process;
    ASSERT_TRUE(startScr(process, "/s"));
    // With the record present a saver of its own would keep running and attach.
    EXPECT_EQ(process.wait(10000), 0u);
    EXPECT_EQ(share.load(vandrel::rec::saverAttached), 0);
    DestroyWindow(existing);
    UnregisterClassA("WindowsScreenSaverClass", GetModuleHandleA(nullptr));
}
