// The full-screen saver and its preview, run as real processes against a real record:
// attaching, the input filter, the worker start, the display modes and what reaches
// the screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/win32/saver_harness.h"

using namespace saver_test;
namespace rec = vandrel::rec;

namespace {

// A full-screen saver attached to a record that the test owns.
class RunningSaver {
  public:
    explicit RunningSaver(TestShare& share, const char* switchText = "/s") : share_(share) {
        if (startScr(process, switchText)) {
            window = findProcessWindow(process.id(), "WindowsScreenSaverClass", 10000);
        }
    }
    bool attached() { return window != nullptr && share_.waitFor(rec::saverAttached, 1, 10000); }
    // Waits a little and reports whether the saver is still up.
    bool stillRunning(DWORD ms = 400) { return process.wait(ms) == Process::kStillRunning; }
    void post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        PostMessageA(window, message, wParam, lParam);
    }
    void moveCursorTo(int x, int y) {
        SetCursorPos(x, y);
        post(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    }

    Process process;
    HWND window = nullptr;

  private:
    TestShare& share_;
};

// Counts pixels of the rectangle that are not black.
int litPixels(const std::string& pixels, int width, int x0, int y0, int x1, int y1) {
    int lit = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            lit += pixelAt(pixels, width, x, y) != 0;
        }
    }
    return lit;
}

class SaverWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeSettingsFile("");
        SetCursorPos(100, 100);
    }
    void TearDown() override { writeSettingsFile(""); }
};

}  // namespace

TEST_F(SaverWindowTest, AttachesMarksTheRecordAndDetachesOnAKey) {
    TestShare share;
    ASSERT_TRUE(share.ok());
    RunningSaver saver(share);
    ASSERT_NE(saver.window, nullptr);
    ASSERT_TRUE(saver.attached());
    EXPECT_EQ(share.load(rec::saverPriorityClass), static_cast<int32_t>(NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(share.load(rec::plotWidth), 752 - 110);
    EXPECT_GT(share.load(rec::plotHeight), 0);
    RECT area{};
    GetClientRect(saver.window, &area);
    EXPECT_EQ(area.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(area.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(GetWindowLongA(saver.window, GWL_EXSTYLE) & WS_EX_TOPMOST);

    // Key releases, characters, F1 and the swallowed system commands leave it running.
    saver.post(WM_KEYUP, 'A');
    saver.post(WM_CHAR, 'a');
    saver.post(WM_KEYDOWN, VK_F1);
    saver.post(WM_SYSCOMMAND, SC_SCREENSAVE);
    saver.post(WM_SYSCOMMAND, SC_NEXTWINDOW);
    saver.post(WM_SYSCOMMAND, SC_PREVWINDOW);
    EXPECT_TRUE(saver.stillRunning(600));

    saver.post(WM_KEYDOWN, 'A');
    EXPECT_EQ(saver.process.wait(10000), 0u);
    EXPECT_EQ(share.load(rec::saverAttached), 0);
}

TEST_F(SaverWindowTest, ClicksAndCursorTravelCloseIt) {
    TestShare share;
    ASSERT_TRUE(share.ok());
    for (UINT click : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
        RunningSaver saver(share);
        ASSERT_TRUE(saver.attached());
        saver.post(click);
        EXPECT_EQ(saver.process.wait(10000), 0u) << click;
    }
    {
        // 2 right and 2 down is 4 pixels: stays. 3 right and 2 down is 5: closes.
        RunningSaver saver(share);
        ASSERT_TRUE(saver.attached());
        saver.moveCursorTo(102, 102);
        EXPECT_TRUE(saver.stillRunning());
        saver.moveCursorTo(103, 102);
        EXPECT_EQ(saver.process.wait(10000), 0u);
    }
    {
        // Small moves add up from the reference: two moves of 3 close on the second.
        SetCursorPos(100, 100);
        RunningSaver saver(share);
        ASSERT_TRUE(saver.attached());
        saver.moveCursorTo(103, 100);
        EXPECT_TRUE(saver.stillRunning());
        saver.moveCursorTo(106, 100);
        EXPECT_EQ(saver.process.wait(10000), 0u);
    }
    {
        // A system command that is not swallowed reaches the default handling.
        RunningSaver saver(share);
        ASSERT_TRUE(saver.attached());
        saver.post(WM_SYSCOMMAND, SC_CLOSE);
        EXPECT_EQ(saver.process.wait(10000), 0u);
    }
}

TEST_F(SaverWindowTest, MissingOrShortRecordStartsTheWorkerAndEnds) {
    // The worker's path has a space: it must arrive as one argument before -min.
    std::string dir = scratchDirectory("worker");
    std::string workerDir = dir + "\\my worker";
    CreateDirectoryA(workerDir.c_str(), nullptr);
    std::string worker = workerDir + "\\stand in.exe";
    ASSERT_TRUE(CopyFileA(helperPath("vandrel_test_worker.exe").c_str(), worker.c_str(), FALSE));
    writeSettingsFile("[boot]\r\nClientPath=" + worker + "\r\nClientDir=" + dir + "\r\n");
    std::string record = dir + "\\worker_started.txt";

    EXPECT_EQ(runScr("/s"), 0u);
    for (int i = 0; i < 200 && !fileExists(record); ++i) {
        Sleep(20);
    }
    std::string started = readFile(record);
    EXPECT_EQ(started, "\"" + worker + "\" -min\n" + dir + "\n");

    // An object too small for the record counts as missing.
    DeleteFileA(record.c_str());
    {
        TestShare small(4096);
        ASSERT_TRUE(small.ok());
        EXPECT_EQ(runScr("/s"), 0u);
        for (int i = 0; i < 200 && !fileExists(record); ++i) {
            Sleep(20);
        }
        EXPECT_TRUE(fileExists(record));
    }

    // A path that was too long for the setting is never started.
    DeleteFileA(record.c_str());
    writeSettingsFile("[boot]\r\nClientPath=" + worker + std::string(300, 'x') +
                      "\r\nClientDir=" + dir + "\r\n");
    EXPECT_EQ(runScr("/s"), 0u);
    Sleep(500);
    EXPECT_FALSE(fileExists(record));
}

TEST_F(SaverWindowTest, PreviewWidthsChooseTheDisplayMode) {
    // What a preview draws is not checked here: Wine does not show a child window that
    // draws from another process. The screenshot script checks the modes full screen.
    struct Case {
        int width;
        bool attaches;
    };
    {
        TestShare share;
        ASSERT_TRUE(share.ok());
        for (Case c : {Case{639, false}, Case{640, true}, Case{799, true}}) {
            PreviewParent parent(c.width, 200);
            Process process;
            ASSERT_TRUE(startScr(process, "/p " + parent.handleText()));
            HWND preview =
                findProcessWindow(process.id(), "WindowsScreenSaverClass", 10000, parent.window);
            ASSERT_NE(preview, nullptr);
            pumpFor(800);
            EXPECT_EQ(share.load(rec::saverAttached), c.attaches ? 1 : 0) << c.width;
            // Input does not close a preview.
            SetCursorPos(300, 150);
            PostMessageA(preview, WM_MOUSEMOVE, 0, 0);
            PostMessageA(preview, WM_KEYDOWN, 'A', 0);
            PostMessageA(preview, WM_LBUTTONDOWN, 0, 0);
            EXPECT_EQ(process.wait(400), Process::kStillRunning) << c.width;
            PostMessageA(preview, WM_CLOSE, 0, 0);
            EXPECT_EQ(process.wait(10000), 0u) << c.width;
            EXPECT_EQ(share.load(rec::saverAttached), 0) << c.width;
        }
    }

    // Without a record: quiet starts nothing and stays; 800 wide starts the worker and
    // ends.
    std::string dir = scratchDirectory("preview");
    std::string worker = dir + "\\worker.exe";
    std::string record = dir + "\\worker_started.txt";
    ASSERT_TRUE(CopyFileA(helperPath("vandrel_test_worker.exe").c_str(), worker.c_str(), FALSE));
    writeSettingsFile("[boot]\r\nClientPath=" + worker + "\r\nClientDir=" + dir + "\r\n");
    {
        PreviewParent parent(640, 200);
        Process process;
        ASSERT_TRUE(startScr(process, "/p " + parent.handleText()));
        EXPECT_EQ(process.wait(1000), Process::kStillRunning);
        EXPECT_FALSE(fileExists(record));
    }
    {
        PreviewParent parent(800, 200);
        Process process;
        ASSERT_TRUE(startScr(process, "/p " + parent.handleText()));
        EXPECT_EQ(process.wait(10000), 0u);
        for (int i = 0; i < 200 && !fileExists(record); ++i) {
            Sleep(20);
        }
        EXPECT_TRUE(fileExists(record));
    }
}

TEST_F(SaverWindowTest, DashboardIsCentredOnTheScreen) {
    TestShare share;
    ASSERT_TRUE(share.ok());
    share.status().setText(rec::analysisText, rec::analysisTextLength, "Looking at the sky");
    share.status().markDirty(rec::analysisTextDirty);
    RunningSaver saver(share);
    ASSERT_TRUE(saver.attached());
    EXPECT_TRUE(share.waitFor(rec::analysisTextDirty, 0, 5000));
    pumpFor(500);
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    std::string shot = captureScreen(0, 0, w, h);
    const int left = (w - 752) / 2, top = (h - 445) / 2;
    // Everything drawn lies inside the canvas, and the canvas shows its purple frame.
    EXPECT_EQ(litPixels(shot, w, 0, 0, w, top), 0);
    EXPECT_EQ(litPixels(shot, w, 0, top + 445, w, h), 0);
    EXPECT_EQ(litPixels(shot, w, 0, 0, left, h), 0);
    EXPECT_EQ(litPixels(shot, w, left + 752, 0, w, h), 0);
    int purple = 0;
    for (int y = top; y < top + 445; ++y) {
        for (int x = left; x < left + 752; ++x) {
            purple += pixelAt(shot, w, x, y) == 0x9966FF;
        }
    }
    EXPECT_GT(purple, 200);
    saver.post(WM_KEYDOWN, VK_SPACE);
    EXPECT_EQ(saver.process.wait(10000), 0u);
}

TEST_F(SaverWindowTest, BlankScreenWithTheAttentionBanner) {
    TestShare share;
    ASSERT_TRUE(share.ok());
    share.status().setText(rec::analysisText, rec::analysisTextLength, "Never shown");
    share.status().markDirty(rec::analysisTextDirty);
    share.status().storeI32(rec::messagePresent, 1);
    writeSettingsFile("[boot]\r\nBlank=1\r\nMinutes=0\r\n");
    RunningSaver saver(share);
    ASSERT_TRUE(saver.attached());
    pumpFor(1500);
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    // The dashboard never ran: its flag is still set and nothing lies below the banner.
    EXPECT_EQ(share.load(rec::analysisTextDirty), 1);
    std::string first = captureScreen(0, 0, w, h);
    EXPECT_EQ(litPixels(first, w, 0, 40, w, h), 0);
    EXPECT_EQ(litPixels(first, w, 0, 0, w, 10), 0);
    // The banner enters from the right at y = 10 and moves left.
    auto leftmost = [&](const std::string& shot) {
        for (int x = 0; x < w; ++x) {
            for (int y = 10; y < 40; ++y) {
                if (pixelAt(shot, w, x, y) != 0) {
                    return x;
                }
            }
        }
        return w;
    };
    int x1 = leftmost(first);
    EXPECT_LT(x1, w);
    EXPECT_GT(x1, w - 200);  // about 1.5 s into a 24 s pass
    pumpFor(1500);
    int x2 = leftmost(captureScreen(0, 0, w, h));
    EXPECT_LT(x2, x1);
    saver.post(WM_KEYDOWN, VK_SPACE);
    EXPECT_EQ(saver.process.wait(10000), 0u);
}

TEST_F(SaverWindowTest, HidesTheCursorAndClosesWhenAnotherApplicationIsActivated) {
    PlatformHook hook;  // the arrow is the cursor when the window is made
    ASSERT_TRUE(hook.ok());
    TestShare share;
    ASSERT_TRUE(share.ok());
    RunningSaver saver(share);
    ASSERT_TRUE(saver.attached());
    EXPECT_EQ(shownCursor(), nullptr);
    saver.post(WM_ACTIVATEAPP, TRUE);
    EXPECT_TRUE(saver.stillRunning());
    saver.post(WM_ACTIVATEAPP, FALSE);
    EXPECT_EQ(saver.process.wait(10000), 0u);
}

TEST_F(SaverWindowTest, SwallowsTheTaskSwitchAndSaverCommandsOnly) {
    PlatformHook hook;  // logs the commands that reach the default handling
    ASSERT_TRUE(hook.ok());
    TestShare share;
    ASSERT_TRUE(share.ok());
    RunningSaver saver(share);
    ASSERT_TRUE(saver.attached());
    for (WPARAM command : {SC_SCREENSAVE, SC_NEXTWINDOW, SC_PREVWINDOW}) {
        saver.post(WM_SYSCOMMAND, command);
    }
    EXPECT_TRUE(saver.stillRunning(600));
    EXPECT_EQ(hook.systemCommands(), "");
    // A command that is not swallowed reaches the default handling, here the closing one.
    saver.post(WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_EQ(saver.process.wait(10000), 0u);
    EXPECT_EQ(hook.systemCommands(), "f060\n");
}
