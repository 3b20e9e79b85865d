#include <cstdio>

#include "host/win32/host.h"
#include "host/win32/saver_api.h"
#include "host/win32/saver_switches.h"

namespace vandrel {

void setScreenSaverRunning(bool on) {
    if (!host.win95Family) {
        return;
    }
    UINT previous = 0;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, on ? TRUE : FALSE, &previous, 0);
}

HMODULE loadSystemModule(const char* name) {
    HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr) {
        return module;
    }
    // Systems older than that flag refuse it: the full path, with the module's own
    // dependencies looked for beside it first.
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        return nullptr;
    }
    const int n = std::snprintf(path + length, sizeof path - length, "\\%s", name);
    if (n < 0 || static_cast<size_t>(n) >= sizeof path - length) {
        return nullptr;
    }
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
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
        host.passwordModule = loadSystemModule("PASSWORD.CPL");
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

bool SaverPasswordLockOn() {
    return vandrel::host.verifyPasswordFn != nullptr;
}
