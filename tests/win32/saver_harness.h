#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

#include "record/shared_status.h"

// Helpers for tests that run the real Vandrel.scr and its stand-ins as processes
// inside the same Wine prefix, and look at the windows and files they leave.
namespace saver_test {

// Directory of the test program's build tree (".../tests"), without a trailing slash.
std::string testDirectory();
// Vandrel.scr and the stand-ins, built in ../host.
std::string scrPath();
std::string helperPath(const char* fileName);
// A fresh, empty scratch directory below the test directory.
std::string scratchDirectory(const char* name);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
bool fileExists(const std::string& path);

// vandrel.ini in the Windows directory, where the saver's profile calls look.
std::string settingsPath();
// Replaces the settings file (empty content removes it).
void writeSettingsFile(const std::string& content);

// A running program. The destructor ends it if it is still running.
class Process {
  public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts application with the given full command line (program name included).
    bool start(const std::string& application, const std::string& commandLine,
               const char* directory = nullptr);
    // The exit code, or kStillRunning after timeoutMs.
    DWORD wait(DWORD timeoutMs);
    bool running() const;
    void kill();
    DWORD id() const { return info_.dwProcessId; }

    static constexpr DWORD kStillRunning = 0xFFFFFFFEu;

  private:
    PROCESS_INFORMATION info_{};
};

// Runs Vandrel.scr (program name quoted, then " " and switchText) and returns its exit
// code, or Process::kStillRunning when it has not ended within timeoutMs.
DWORD runScr(const std::string& switchText, DWORD timeoutMs = 10000);
// Starts it and leaves it running.
bool startScr(Process& process, const std::string& switchText,
              const std::string& application = scrPath());

// The visible top-level (or, with a parent, child) window of the process with that class,
// waited for up to timeoutMs.
HWND findProcessWindow(DWORD processId, const char* className, DWORD timeoutMs,
                       HWND parent = nullptr);

// The worker's record, created here as the worker would (zero-filled).
class TestShare {
  public:
    explicit TestShare(size_t size = vandrel::rec::recordSize);
    ~TestShare();
    TestShare(const TestShare&) = delete;
    TestShare& operator=(const TestShare&) = delete;
    bool ok() const { return view_ != nullptr; }
    vandrel::SharedStatus status() const { return vandrel::SharedStatus(view_); }
    int32_t load(size_t offset) const { return status().loadI32(offset); }
    // Waits up to timeoutMs for the word at offset to hold value.
    bool waitFor(size_t offset, int32_t value, DWORD timeoutMs) const;

  private:
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
};

// A topmost window standing in for the desktop's preview area.
class PreviewParent {
  public:
    PreviewParent(int width, int height);
    ~PreviewParent() { DestroyWindow(window); }
    PreviewParent(const PreviewParent&) = delete;
    PreviewParent& operator=(const PreviewParent&) = delete;
    // The window's handle in decimal, as the desktop writes it after "/p".
    std::string handleText() const;
    HWND window;
};

// The platform's part inside the saver's process, through a system-wide hook
// (helpers/cbt_hook.cpp): the arrow is the cursor when the saver window is made, and the
// system commands that reach the default window procedure are logged.
class PlatformHook {
  public:
    PlatformHook();
    ~PlatformHook();
    PlatformHook(const PlatformHook&) = delete;
    PlatformHook& operator=(const PlatformHook&) = delete;
    bool ok() const { return hook_ != nullptr; }
    // One line per command, in hex ("f060" for SC_CLOSE).
    std::string systemCommands() const { return readFile(log_); }

  private:
    HMODULE module_ = nullptr;
    HHOOK hook_ = nullptr;
    std::string log_;
};

// The cursor the foreground thread shows (the saver's, while it runs); null when hidden.
HCURSOR shownCursor();

// Lets the test's own windows handle their messages for ms milliseconds.
void pumpFor(DWORD ms);

// Copies a rectangle of the screen into 0x00RRGGBB pixels (row-major, top-down).
std::string captureScreen(int x, int y, int width, int height);
uint32_t pixelAt(const std::string& pixels, int width, int x, int y);

}  // namespace saver_test
