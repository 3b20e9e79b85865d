#include <windows.h>

#include "host/win32/host.h"
#include "host/win32/saver_api.h"
#include "host/win32/saver_switches.h"

namespace vandrel {

Host host;

namespace {

constexpr int kRejected = -1;

const char* charNext(const char* p) {
    return CharNextA(p);
}

bool isWin95Family() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;  // 148
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    bool known = GetVersionExA(&version) != 0;
#pragma GCC diagnostic pop
    return known && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

HWND windowFromHandle(uint32_t handle) {
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
    return handle != 0 && IsWindow(window) ? window : nullptr;
}

int showSettingsDialog(HWND owner) {
    return static_cast<int>(DialogBoxParamA(host.instance, MAKEINTRESOURCEA(IDD_SETTINGS), owner,
                                            ScreenSaverConfigureDialog, 0));
}

// The platform's own dialog; a missing MPR.DLL or entry changes nothing.
void changePassword(HWND owner) {
    using PwdChangePasswordFn = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, void*);
    HMODULE mpr = loadSystemModule("MPR.DLL");
    if (mpr == nullptr) {
        return;
    }
    auto change = reinterpret_cast<PwdChangePasswordFn>(
        reinterpret_cast<void*>(GetProcAddress(mpr, "PwdChangePasswordA")));
    if (change != nullptr) {
        change("SCRSAVE", owner, 0, nullptr);
    }
    FreeLibrary(mpr);
}

int runMode(const SwitchRequest& request) {
    switch (request.mode) {
        case RunMode::Settings:
            return showSettingsDialog(request.ownerIsForeground ? GetForegroundWindow() : nullptr);
        case RunMode::Saver:
            return runSaverWindow(nullptr);
        case RunMode::Preview: {
            HWND parent = windowFromHandle(request.handle);
            return parent != nullptr ? runSaverWindow(parent) : kRejected;
        }
        case RunMode::ChangePassword: {
            if (!host.win95Family) {
                return kRejected;
            }
            HWND owner = windowFromHandle(request.handle);
            changePassword(owner != nullptr ? owner : GetForegroundWindow());
            return 0;
        }
        case RunMode::Rejected:
            break;
    }
    return kRejected;
}

// A fault that escapes a run mode must not leave the task-switch keys dead on the
// Windows 95 family; the process ends with the fault's code and shows nothing.
LONG WINAPI faultGuard(EXCEPTION_POINTERS* exception) {
    setScreenSaverRunning(false);
    ExitProcess(exception->ExceptionRecord->ExceptionCode);
}

}  // namespace
}  // namespace vandrel

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace vandrel;
    host.instance = GetModuleHandleA(nullptr);
    host.win95Family = isWin95Family();
    SetUnhandledExceptionFilter(faultGuard);
    const char* switchText = skipProgramName(GetCommandLineA(), charNext);
    ExitProcess(static_cast<UINT>(runMode(parseSwitch(switchText))));
}
