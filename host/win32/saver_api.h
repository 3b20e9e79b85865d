#pragma once
#include <windows.h>

#include "host/win32/resource_ids.h"

// The contract between the saver host (window, input filter, run modes) and the
// application side (controller, settings dialog). The two exported procedures keep
// these exact names: the desktop's tools look them up in the module.
extern "C" {
// The application's window procedure. It hands every message it does not consume to
// SaverDefaultProc and returns that result.
__declspec(dllexport) LRESULT WINAPI
    ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The procedure of settings dialog 2003: TRUE for a message it handled. The dialog ends
// with 1 after OK, 0 after Cancel. Pointer-wide, as the dialog manager reads it.
__declspec(dllexport) INT_PTR WINAPI
    ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
}

// The host's default handling: close rules, the password lock, then DefWindowProcA.
LRESULT WINAPI SaverDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// True where the Windows 95 family's password lock holds: only the password may end the
// saver then, and no other program may come up over it.
bool SaverPasswordLockOn();
