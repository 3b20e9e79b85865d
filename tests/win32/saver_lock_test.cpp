// The Windows 95 family's password lock: a copy of Vandrel.scr that Wine reports as
// that family, with a stand-in PASSWORD.CPL in the system directory (its files in the
// test's own). A decoy beside the saver must never be loaded instead.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/win32/saver_harness.h"

using namespace saver_test;
namespace rec = vandrel::rec;

namespace {

constexpr char kLockProgram[] = "VandrelLock.scr";

void setDword(HKEY root, const char* subkey, const char* name, DWORD value, bool remove) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, subkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    if (remove) {
        RegDeleteValueA(key, name);
    } else {
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
    }
    RegCloseKey(key);
}

// The copy runs as the Windows 95 family; the password setting is on while the test runs.
class LockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeSettingsFile("");
        dir_ = scratchDirectory("lock");
        program_ = dir_ + "\\" + kLockProgram;
        ASSERT_TRUE(CopyFileA(scrPath().c_str(), program_.c_str(), FALSE));
        char system[MAX_PATH] = {};
        GetSystemDirectoryA(system, sizeof system);
        cpl_ = std::string(system) + "\\PASSWORD.CPL";
        ASSERT_TRUE(CopyFileA(helperPath("PASSWORD.CPL").c_str(), cpl_.c_str(), FALSE));
        // The decoy has no lock entry: loaded, it would switch the lock off.
        CopyFileA((testDirectory() + "\\vandrel_test_hook.dll").c_str(),
                  (dir_ + "\\PASSWORD.CPL").c_str(), FALSE);
        SetEnvironmentVariableA("VANDREL_PASSWORD_DIR", dir_.c_str());
        HKEY key = nullptr;
        std::string appKey = std::string("Software\\Wine\\AppDefaults\\") + kLockProgram;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, appKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
        RegCloseKey(key);
        usePassword(1);
        SetCursorPos(100, 100);
    }
    void TearDown() override {
        setDword(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveUsePassword", 0, true);
        DeleteFileA(cpl_.c_str());
        writeSettingsFile("");
    }
    void usePassword(DWORD on) {
        setDword(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveUsePassword", on, false);
    }
    void answer(const char* text) { writeFile(dir_ + "\\verify_answer.txt", text); }
    std::string calls() { return readFile(dir_ + "\\verify_calls.txt"); }
    HWND start(Process& process) {
        if (!startScr(process, "/s", program_)) {
            return nullptr;
        }
        return findProcessWindow(process.id(), "WindowsScreenSaverClass", 10000);
    }

    std::string dir_;
    std::string cpl_;
    std::string program_;
};

}  // namespace

TEST_F(LockTest, WorkerStartHelpAndARefusedPasswordKeepTheSaver) {
    // No record yet: the worker is started and the saver stays; F1 starts no viewer.
    RegSetValueA(HKEY_CLASSES_ROOT, ".txt", REG_SZ, "txtfile", 7);  // a fresh prefix has none
    ASSERT_TRUE(CopyFileA(helperPath("vandrel_test_worker.exe").c_str(), (dir_ + "\\w.exe").c_str(),
                          FALSE));
    writeFile(dir_ + "\\windows_help.txt", "help");
    writeSettingsFile("[boot]\r\nClientPath=" + dir_ + "\\w.exe\r\nClientDir=" + dir_ + "\r\n");
    answer("0");
    Process process;
    HWND window = start(process);
    ASSERT_NE(window, nullptr);
    PostMessageA(window, WM_KEYDOWN, VK_F1, 0);
    EXPECT_EQ(process.wait(2500), Process::kStillRunning);
    EXPECT_TRUE(fileExists(dir_ + "\\worker_started.txt"));
    EXPECT_EQ(FindWindowA("Notepad", nullptr), nullptr);
    TestShare share;  // the worker's record, once there, is shown
    ASSERT_TRUE(share.waitFor(rec::saverAttached, 1, 10000));

    // Two clicks at once: the first asks and is refused, the second arrives within
    // 200 ms of the refusal and is turned down without asking again.
    PostMessageA(window, WM_LBUTTONDOWN, 0, 0);
    PostMessageA(window, WM_LBUTTONDOWN, 0, 0);
    EXPECT_EQ(process.wait(1000), Process::kStillRunning);
    EXPECT_EQ(calls(), "WindowsScreenSaverClass\n");

    // The cursor reference was taken afresh at the refusal: 4 pixels stay, 5 ask again.
    answer("1");
    SetCursorPos(102, 102);
    PostMessageA(window, WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(process.wait(500), Process::kStillRunning);
    SetCursorPos(103, 102);
    PostMessageA(window, WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(process.wait(10000), 0u);
    EXPECT_EQ(calls(), "WindowsScreenSaverClass\nWindowsScreenSaverClass\n");
    EXPECT_EQ(share.load(rec::saverAttached), 0);
}

TEST_F(LockTest, WithoutThePasswordSettingTheFirstRequestCloses) {
    TestShare share;
    ASSERT_TRUE(share.ok());
    usePassword(0);
    answer("0");
    Process process;
    HWND window = start(process);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(share.waitFor(rec::saverAttached, 1, 10000));
    PostMessageA(window, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(process.wait(10000), 0u);
    EXPECT_EQ(calls(), "");

    // The password change is offered on this family: it ends with 0 whatever happened.
    Process change;
    ASSERT_TRUE(change.start(program_, "\"" + program_ + "\" /a 0"));
    DWORD code = change.wait(10000);
    if (code == Process::kStillRunning) {
        // The platform's own dialog is up; it is not ours to drive.
        GTEST_SKIP() << "password change dialog left open";
    }
    EXPECT_EQ(code, 0u);
}

TEST_F(LockTest, MouseMovedAtARefusedDialogIsTheNewReferenceAndTheCursorHidesAgain) {
    TestShare share;
    ASSERT_TRUE(share.ok());
    answer("0");
    writeFile(dir_ + "\\verify_cursor.txt", "300 200");  // the user moves it at the dialog
    Process process;
    HWND window = start(process);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(share.waitFor(rec::saverAttached, 1, 10000));
    PostMessageA(window, WM_LBUTTONDOWN, 0, 0);
    EXPECT_EQ(process.wait(800), Process::kStillRunning);
    EXPECT_EQ(calls(), "WindowsScreenSaverClass\n");
    EXPECT_EQ(shownCursor(), nullptr);  // the dialog showed it

    // Past the pause after the refusal: 3 pixels from where the dialog left the cursor
    // stay, 5 ask again.
    DeleteFileA((dir_ + "\\verify_cursor.txt").c_str());
    SetCursorPos(303, 200);
    PostMessageA(window, WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(process.wait(500), Process::kStillRunning);
    EXPECT_EQ(calls(), "WindowsScreenSaverClass\n");
    answer("1");
    SetCursorPos(305, 200);
    PostMessageA(window, WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(process.wait(10000), 0u);
    EXPECT_EQ(calls(), "WindowsScreenSaverClass\nWindowsScreenSaverClass\n");
}

TEST_F(LockTest, CloseRequestWhileTheDialogIsUpIsRefused) {
    TestShare share;
    ASSERT_TRUE(share.ok());
    answer("0");
    writeFile(dir_ + "\\verify_close.txt", "");  // a close request reaches the saver meanwhile
    Process process;
    HWND window = start(process);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(share.waitFor(rec::saverAttached, 1, 10000));
    PostMessageA(window, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(process.wait(1000), Process::kStillRunning);
    EXPECT_EQ(calls(), "WindowsScreenSaverClass\n");  // not a second dialog
}
