#include "host/win32/host.h"
#include "host/logic/saver_input.h"

namespace vandrel {

void setScreenSaverRunning(bool on) {
    if (!host.win95Family) {
        return;
    }
    UINT previous = 0;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, on ? TRUE : FALSE, &previous, 0);
}

void setupPasswordLock() {
    if (!host.win95Family) {
        return;
    }
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &key) != ERROR_SUCCESS) {
        return;
    }
    DWORD usePassword = 0;
    DWORD size = sizeof usePassword;
    if (RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&usePassword), &size) == ERROR_SUCCESS &&
        usePassword != 0) {
        host.passwordModule = LoadLibraryA("PASSWORD.CPL");
        if (host.passwordModule != nullptr) {
            host.verifyPasswordFn = reinterpret_cast<VerifyScreenSavePwdFn>(reinterpret_cast<void*>(
                GetProcAddress(host.passwordModule, "VerifyScreenSavePwd")));
            if (host.verifyPasswordFn != nullptr) {
                setScreenSaverRunning(true);
            } else {
                releasePasswordLock();
            }
        }
    }
    RegCloseKey(key);
}

void releasePasswordLock() {
    if (!host.win95Family) {
        return;
    }
    if (host.passwordModule != nullptr) {
        FreeLibrary(host.passwordModule);
        host.passwordModule = nullptr;
    }
    if (host.verifyPasswordFn != nullptr) {
        host.verifyPasswordFn = nullptr;
        setScreenSaverRunning(false);
    }
}

bool checkCloseAllowed(HWND window) {
    if (host.verifying) {
        return false;  // a close request queued while the dialog is up
    }
    if (host.verifyPasswordFn == nullptr) {
        host.closeAllowed = true;
        return true;
    }
    // Queued clicks right after a refusal must not reopen the dialog at once.
    if (withinReverifyPause(GetTickCount(), host.lastVerifyTick)) {
        return false;
    }
    host.verifying = true;
    MSG pending;
    PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    host.closeAllowed = SendMessageA(window, kVerifyRequest, 0, 0) != 0;
    host.verifying = false;
    if (!host.closeAllowed) {
        SetCursor(nullptr);  // the dialog showed it
    }
    host.lastVerifyTick = GetTickCount();
    return host.closeAllowed;
}

}  // namespace vandrel
