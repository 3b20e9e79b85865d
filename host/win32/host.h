#pragma once
#include <windows.h>

#include <cstdint>

// Process-wide state of the saver host, zero at start except where noted. One saver
// window exists per process.
namespace vandrel {

using VerifyScreenSavePwdFn = BOOL(WINAPI*)(HWND);
using ImmAssociateContextFn = HANDLE(WINAPI*)(HWND, HANDLE);

struct Host {
    HINSTANCE instance = nullptr;
    bool win95Family = false;  // the platform's own lock does not exist there

    HWND mainWindow = nullptr;
    bool previewMode = false;
    bool closeAllowed = false;              // once set, nothing is filtered any more
    bool verifying = false;                 // the password dialog is up
    POINT savedCursorPos{};                 // reference of the movement test
    uint32_t lastVerifyTick = 0xFFFFFFFFu;  // none yet

    HMODULE passwordModule = nullptr;
    VerifyScreenSavePwdFn verifyPasswordFn = nullptr;  // non-null: the lock is on

    HMODULE immModule = nullptr;
    ImmAssociateContextFn immAssociateFn = nullptr;
    HANDLE savedInputContext = nullptr;
};
extern Host host;

// The window message that runs the password dialog on the saver's own window.
inline constexpr UINT kVerifyRequest = WM_APP;

// Runs the saver window, full screen (parent null) or as a preview child; returns the
// exit code of its message loop.
int runSaverWindow(HWND parent);

// Tells the Windows 95 family that a saver runs (its task-switch keys go dead); a no-op
// elsewhere.
void setScreenSaverRunning(bool on);

// A module of the platform, loaded from the system directory only: a DLL of that name
// beside the saver or in the current directory (the worker's) is never taken instead.
HMODULE loadSystemModule(const char* name);

// The Windows 95 family's password lock through PASSWORD.CPL, looked up at run time.
void setupPasswordLock();
void releasePasswordLock();
// Decides a close request: true when the saver may close (no lock, or the password was
// accepted); runs the platform's password dialog when a lock is on.
bool checkCloseAllowed(HWND window);

}  // namespace vandrel
