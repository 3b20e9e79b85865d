#include "controller/saver_logic.h"
#include "host/win32/host.h"
#include "host/win32/saver_api.h"
#include "host/win32/saver_switches.h"

namespace vandrel {
namespace {

constexpr char kClassName[] = "WindowsScreenSaverClass";
constexpr char kSaverTitle[] = "Screen Saver";

// Pass on: the application's procedure sees every message the host does not keep.
LRESULT passOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ScreenSaverProc(window, message, wParam, lParam);
}

// An input method would pop up its window over the saver; IMM32 is used only when the
// process already has it.
void detachInputContext(HWND window) {
    host.immModule = GetModuleHandleA("IMM32.DLL");
    if (host.immModule == nullptr) {
        return;
    }
    host.immAssociateFn = reinterpret_cast<ImmAssociateContextFn>(
        reinterpret_cast<void*>(GetProcAddress(host.immModule, "ImmAssociateContext")));
    if (host.immAssociateFn != nullptr) {
        host.savedInputContext = host.immAssociateFn(window, nullptr);
    }
}

void restoreInputContext(HWND window) {
    if (host.immModule != nullptr && host.immAssociateFn != nullptr &&
        host.savedInputContext != nullptr) {
        host.immAssociateFn(window, host.savedInputContext);
    }
}

Point cursorNow() {
    POINT p{};
    GetCursorPos(&p);
    return {p.x, p.y};
}

// The message's own coordinates are client-relative and not used.
void onMouseMove(HWND window) {
    Point now = cursorNow();
    if (movedPastThreshold({host.savedCursorPos.x, host.savedCursorPos.y}, now)) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        host.savedCursorPos = {now.x, now.y};
    }
}

// Every monitor, left of and above the primary included: the saver window spans the
// virtual screen.
Rect coveredScreens() {
    const int32_t x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const Rect all{x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                   y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    return coverScreens(all, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)).window;
}

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            detachInputContext(window);
            GetCursorPos(&host.savedCursorPos);
            if (!host.previewMode) {
                SetCursor(nullptr);
            }
            break;
        case WM_DESTROY:
            restoreInputContext(window);
            PostQuitMessage(0);
            break;
        case WM_SETTEXT:
            return 0;
        case WM_DISPLAYCHANGE:
            if (!host.previewMode) {
                // A monitor came, went or moved: cover the new layout before the
                // controller places its drawing on it.
                // The cursor's coordinates may shift with the layout without any travel
                // of the user's hand, so its reference is taken anew.
                const Rect r = coveredScreens();
                SetWindowPos(window, HWND_TOPMOST, r.left, r.top, r.right - r.left,
                             r.bottom - r.top, SWP_NOACTIVATE);
                GetCursorPos(&host.savedCursorPos);
            }
            break;
        case WM_PAINT:
            if (host.closeAllowed) {
                return DefWindowProcA(window, message, wParam, lParam);
            }
            if (!host.previewMode) {
                SetCursor(nullptr);
            }
            break;
        case WM_HELP:
        case WM_CONTEXTMENU:
            if (host.previewMode) {
                // The settings page answers help for its preview area.
                HWND parent = GetParent(window);
                if (parent != nullptr && IsWindow(parent)) {
                    PostMessageA(parent, message, reinterpret_cast<WPARAM>(parent), lParam);
                }
                return 1;
            }
            break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (host.closeAllowed) {
                return DefWindowProcA(window, message, wParam, lParam);
            }
            break;
        case WM_SYSCOMMAND:
            if (!host.previewMode &&
                (wParam == SC_NEXTWINDOW || wParam == SC_PREVWINDOW || wParam == SC_SCREENSAVE)) {
                return 0;
            }
            break;
        case WM_TIMER:
            if (host.closeAllowed) {
                return 0;
            }
            Sleep(0);
            break;
        default:
            break;
    }
    return passOn(window, message, wParam, lParam);
}

bool registerSaverClass() {
    WNDCLASSA windowClass{};
    windowClass.style = CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = SaverWindowProc;
    windowClass.hInstance = host.instance;
    windowClass.hIcon = LoadIconA(host.instance, MAKEINTRESOURCEA(100));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kClassName;
    return RegisterClassA(&windowClass) != 0;
}

}  // namespace

int runSaverWindow(HWND parent) {
    HWND window = nullptr;
    if (parent != nullptr) {
        RECT area{};
        GetClientRect(parent, &area);
        host.previewMode = true;
        if (registerSaverClass()) {
            window = CreateWindowExA(0, kClassName, "Preview",
                                     WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, area.right,
                                     area.bottom, parent, nullptr, host.instance, nullptr);
        }
    } else {
        const Rect screens = coveredScreens();
        HWND running = FindWindowA(kClassName, kSaverTitle);
        if (running != nullptr && IsWindow(running)) {
            SetForegroundWindow(running);
            return 0;
        }
        setupPasswordLock();
        if (registerSaverClass()) {
            window = CreateWindowExA(WS_EX_TOPMOST, kClassName, kSaverTitle,
                                     WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                     screens.left, screens.top, screens.right - screens.left,
                                     screens.bottom - screens.top, nullptr, nullptr, host.instance,
                                     nullptr);
        }
    }
    host.mainWindow = window;
    int exitCode = -1;  // no window could be made
    if (window != nullptr) {
        if (parent == nullptr) {
            SetForegroundWindow(window);
        }
        MSG message{};
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        exitCode = static_cast<int>(message.wParam);
    }
    releasePasswordLock();
    return exitCode;
}

}  // namespace vandrel

using vandrel::host;

LRESULT WINAPI SaverDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    using namespace vandrel;
    if (host.previewMode || host.closeAllowed) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == WM_CLOSE) {
        if (host.win95Family && !checkCloseAllowed(window)) {
            GetCursorPos(&host.savedCursorPos);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == kVerifyRequest) {
        if (host.win95Family) {
            return host.verifyPasswordFn != nullptr ? host.verifyPasswordFn(window) : 1;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (host.verifying) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    switch (message) {
        case WM_SHOWWINDOW:
            if (wParam != 0) {
                SetCursor(nullptr);
            }
            break;
        case WM_ACTIVATEAPP:
            if (wParam == 0) {
                PostMessageA(window, WM_CLOSE, 0, 0);
            }
            break;
        case WM_SETCURSOR:
            SetCursor(nullptr);
            return TRUE;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            PostMessageA(window, WM_CLOSE, 0, 0);
            break;
        case WM_MOUSEMOVE:
            onMouseMove(window);
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
