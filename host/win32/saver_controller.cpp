#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <optional>

#include "controller/saver_session.h"
#include "controller/settings.h"
#include "host/win32/mapping_link.h"
#include "host/win32/saver_api.h"
#include "host/win32/window_output.h"

// The application side of the saver window: runs the saver session on the window, with
// the worker's record as a file mapping, and opens the help file on F1.
namespace vandrel {
namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerPeriodMs = 33;

// One per process; the window is the only one.
struct Controller {
    WindowOutput output;
    MappingLink link;
    std::optional<SaverSession> session;
    UINT_PTR timerId = 0;
};
Controller controller;

void openHelpFile() {
    char viewer[MAX_PATH] = {};
    char empty[] = "";
    if (reinterpret_cast<INT_PTR>(FindExecutableA("windows_help.txt", empty, viewer)) <= 32) {
        return;
    }
    char currentDir[MAX_PATH] = {};
    DWORD n = GetCurrentDirectoryA(sizeof currentDir, currentDir);
    if (n == 0 || n >= sizeof currentDir) {
        currentDir[0] = '\0';
    }
    char helpPath[MAX_PATH + 32];
    char commandLine[2 * MAX_PATH + 64];
    if (buildHelpPath(settings.ClientDir, currentDir, helpPath, sizeof helpPath) &&
        buildHelpCommandLine(viewer, helpPath, commandLine, sizeof commandLine)) {
        startProcess(viewer, commandLine);
    }
}

void onCreate(HWND window) {
    readSettings();
    controller.timerId = SetTimer(window, kTimerId, kTimerPeriodMs, nullptr);
    controller.output.attach(window);
    const bool preview = (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0;
    controller.session.emplace(controller.output, controller.link, preview ? 1 : settings.Scale);
    controller.session->start(GetTickCount(), settings);
    if (controller.session->displayMode() != DisplayMode::Label) {
        SetForegroundWindow(window);
    }
}

void onTimer(HWND window) {
    if (controller.session && !controller.session->tick(GetTickCount())) {
        // Runs the teardown: the timer stops and the message loop ends.
        SendMessageA(window, WM_DESTROY, 0, 0);
    }
}

// Whatever was uncovered gets the dashboard back at once; the erase has made it black.
void onPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc != nullptr && controller.session) {
        controller.output.drawInto(dc);
        controller.session->expose(
            {paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right, paint.rcPaint.bottom});
        controller.output.drawInto(nullptr);
    }
    EndPaint(window, &paint);
}

void onDestroy(HWND window) {
    if (controller.timerId != 0) {
        KillTimer(window, controller.timerId);
        controller.timerId = 0;
    }
    if (controller.session) {
        controller.session->finish(true);
    }
}

}  // namespace
}  // namespace vandrel

LRESULT WINAPI ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    using namespace vandrel;
    switch (message) {
        case WM_CREATE:
            onCreate(window);
            break;
        case WM_DESTROY:
            onDestroy(window);
            break;
        case WM_ERASEBKGND:
            // The erase DC is clipped to what needs painting; the rest keeps its pixels.
            controller.output.drawInto(reinterpret_cast<HDC>(wParam));
            controller.output.fillBlack(
                {0, 0, controller.output.width(), controller.output.height()});
            controller.output.drawInto(nullptr);
            break;
        case WM_PAINT:
            onPaint(window);
            return 0;
        case WM_DISPLAYCHANGE:
            // The host has moved the window over the new set of monitors.
            if (controller.session) {
                controller.session->resized();
            }
            break;
        case WM_TIMER:
            onTimer(window);
            break;
        case WM_KEYDOWN:
            if (wParam == VK_F1) {
                // A viewer over a locked saver would take the keyboard past the password.
                if (!SaverPasswordLockOn()) {
                    openHelpFile();
                }
                return 0;  // help does not close the saver
            }
            break;
        case WM_KEYUP:
        case WM_CHAR:
            return 0;
        default:
            break;
    }
    return SaverDefaultProc(window, message, wParam, lParam);
}
