#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstring>
#include <new>

#include "controller/saver_logic.h"
#include "controller/settings.h"
#include "host/win32/saver_api.h"
#include "record/shared_status.h"
#include "render/canvas_win32.h"
#include "render/color.h"
#include "render/dashboard.h"

// The application side of the saver window: attaches to the worker's record (or starts
// the worker), keeps the dashboard up to date, blanks the screen and runs the banner.
namespace vandrel {
namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerPeriodMs = 33;
constexpr char kShareName[] = "vandrel_share";

// One per process; the window is the only one.
struct Controller {
    ControllerLogic logic;
    UINT_PTR timerId = 0;
    int32_t priorityClass = 0;
    HANDLE mappingHandle = nullptr;
    void* view = nullptr;
    Dashboard* dashboard = nullptr;  // lives until the process ends
    Placement placement;
    bool workerStarted = false;  // once a run
};
Controller controller;

int32_t ownPriorityClass() {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_SET_INFORMATION, FALSE,
                                 GetCurrentProcessId());
    if (process == nullptr) {
        return 0;
    }
    DWORD priority = GetPriorityClass(process);
    CloseHandle(process);
    return static_cast<int32_t>(priority);
}

// The view must hold the whole record; a shorter object is treated as missing. The
// region size is page-granular, which is what can be touched safely.
bool viewHoldsRecord(const void* view) {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(view, &info, sizeof info) != sizeof info) {
        return false;
    }
    return info.RegionSize >= rec::recordSize;
}

bool attachToWorker(HWND) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, TRUE, kShareName);
    controller.mappingHandle = mapping;
    if (mapping == nullptr) {
        return false;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view != nullptr && !viewHoldsRecord(view)) {
        UnmapViewOfFile(view);
        view = nullptr;
    }
    if (view == nullptr) {
        CloseHandle(mapping);
        controller.mappingHandle = nullptr;
        return false;
    }
    controller.view = view;
    SharedStatus status(view);
    // A saver before this one never let go (ended by the system, a logoff, a forced end):
    // the worker sees no new attach and flags nothing, so every part is asked for here.
    if (status.loadI32(rec::saverAttached) != 0) {
        status.markEveryPart();
    }
    status.storeI32(rec::saverAttached, 1);
    status.storeI32(rec::saverPriorityClass, controller.priorityClass);
    // The dashboard makes its own DIB-section canvases, so no window DC is borrowed.
    // Without memory for it the saver shows its black background only.
    try {
        char header[kMaxPathChars + 16];
        headerPathIn(settings.ClientDir, header, sizeof header);
        controller.dashboard = new Dashboard(status, true, header);
    } catch (...) {
        controller.dashboard = nullptr;
    }
    return true;
}

void detachFromWorker() {
    if (controller.view == nullptr) {
        return;
    }
    if (controller.mappingHandle != nullptr) {
        SharedStatus(controller.view).storeI32(rec::saverAttached, 0);
    }
    UnmapViewOfFile(controller.view);
    controller.view = nullptr;
}

// Where the drawing goes. A preview child uses its whole client area at scale 1, as it
// always has; the full-screen window puts it on the primary monitor, wherever the
// screen's origin lies in the window that spans every monitor.
Placement placementFor(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    if ((GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0) {
        return placeDashboard({0, 0, client.right, client.bottom}, 1);
    }
    POINT origin{0, 0};
    MapWindowPoints(nullptr, window, &origin, 1);
    return placeDashboard({origin.x, origin.y, origin.x + GetSystemMetrics(SM_CXSCREEN),
                           origin.y + GetSystemMetrics(SM_CYSCREEN)},
                          settings.Scale);
}

// Copies a canvas, or a part of it, at the placement's scale: each canvas pixel becomes
// an s x s block. Nothing lands outside the primary monitor.
void copyScaled(HDC dc, const Canvas& canvas, Rect part, Point origin) {
    HDC source = deviceContext(canvas);
    const Placement& p = controller.placement;
    if (source == nullptr || isEmpty(part)) {
        return;
    }
    const int32_t s = p.scale;
    const int32_t w = part.right - part.left, h = part.bottom - part.top;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, p.primary.left, p.primary.top, p.primary.right, p.primary.bottom);
    if (s == 1) {
        BitBlt(dc, origin.x + part.left, origin.y + part.top, w, h, source, part.left, part.top,
               SRCCOPY);
    } else {
        SetStretchBltMode(dc, COLORONCOLOR);  // replication, no smoothing
        StretchBlt(dc, origin.x + part.left * s, origin.y + part.top * s, w * s, h * s, source,
                   part.left, part.top, w, h, SRCCOPY);
    }
    RestoreDC(dc, saved);
}

void blitCanvas(HWND window, const DrawnArea& parts) {
    if (controller.dashboard == nullptr) {
        return;
    }
    HDC dc = GetDC(window);
    for (int i = 0; i < parts.count(); ++i) {
        copyScaled(dc, controller.dashboard->canvas(), parts[i], controller.placement.canvasOrigin);
    }
    ReleaseDC(window, dc);
}

void blitBanner(HWND window, int32_t x) {
    Canvas* banner =
        controller.dashboard != nullptr ? controller.dashboard->bannerCanvas() : nullptr;
    if (banner == nullptr) {
        return;
    }
    const Placement& p = controller.placement;
    HDC dc = GetDC(window);
    copyScaled(dc, *banner, {0, 0, banner->width(), banner->height()},
               {p.primary.left + x, p.primary.top + 10 * p.scale});
    ReleaseDC(window, dc);
}

void fillBlack(HDC dc, HWND window) {
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

void fillBlack(HWND window) {
    HDC dc = GetDC(window);
    fillBlack(dc, window);
    ReleaseDC(window, dc);
}

void drawLabel(HWND window) {
    // The class has its own DC, so its default font and opaque mode apply.
    HDC dc = GetDC(window);
    SetTextColor(dc, toPlatformColor(Color(0, 255, 255)));
    SetBkColor(dc, toPlatformColor(colorBlack));
    const Rect& primary = controller.placement.primary;
    TextOutA(dc, primary.left + 34, primary.top + 37, "Vandrel", 7);
    TextOutA(dc, primary.left + 32, primary.top + 57, "ScreenSaver", 11);
    ReleaseDC(window, dc);
}

// Zeroed startup information with the empty desktop name: the started program lands
// on the default desktop rather than the saver's.
void startProcess(const char* application, char* commandLine) {
    static char emptyDesktop[] = "";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = emptyDesktop;
    PROCESS_INFORMATION info{};
    if (CreateProcessA(application, commandLine, nullptr, nullptr, FALSE,
                       CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                       &info)) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
}

void launchWorker() {
    if (settings.ClientPath[0] == '\0') {
        return;
    }
    char commandLine[kMaxPathChars + 16];
    if (buildWorkerCommandLine(settings.ClientPath, commandLine, sizeof commandLine)) {
        startProcess(settings.ClientPath, commandLine);
    }
}

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
    controller.priorityClass = ownPriorityClass();
    readSettings();
    controller.timerId = SetTimer(window, kTimerId, kTimerPeriodMs, nullptr);
    controller.placement = placementFor(window);
    const Rect& primary = controller.placement.primary;
    controller.logic.create(primary.right - primary.left, GetTickCount(), settings.Blank,
                            settings.Minutes);
    if (controller.logic.displayMode() == DisplayMode::Label) {
        return;
    }
    attachToWorker(window);
    SetForegroundWindow(window);
}

void onTimer(HWND window) {
    bool messagePresent = false;
    int32_t bannerWidth = 0;
    if (controller.logic.blankPhase() == BlankPhase::Blanked && controller.view != nullptr) {
        messagePresent = SharedStatus(controller.view).loadI32(rec::messagePresent) != 0;
        Canvas* banner =
            controller.dashboard != nullptr ? controller.dashboard->bannerCanvas() : nullptr;
        bannerWidth = banner != nullptr ? banner->width() * controller.placement.scale : 0;
    }
    TickPlan plan = controller.logic.tick(GetTickCount(), controller.mappingHandle != nullptr,
                                          messagePresent, bannerWidth);
    switch (plan.action) {
        case TickAction::None:
            break;
        case TickAction::DrawLabel:
            drawLabel(window);
            break;
        case TickAction::Connect:
            if (!controller.logic.connectResult(attachToWorker(window))) {
                if (!controller.workerStarted) {
                    launchWorker();
                    controller.workerStarted = true;
                }
                // Under the password lock only the password ends the saver: it stays,
                // and the next ticks attach the worker's record once it exists.
                if (!SaverPasswordLockOn()) {
                    // Runs the teardown: the timer stops and the message loop ends.
                    SendMessageA(window, WM_DESTROY, 0, 0);
                }
            }
            break;
        case TickAction::Update: {
            bool drew = controller.dashboard != nullptr && controller.dashboard->updateFromStatus();
            CanvasCopy copy = controller.logic.shouldCopyCanvas(drew);
            if (copy != CanvasCopy::None && controller.dashboard != nullptr) {
                DrawnArea drawn = controller.dashboard->canvas().takeDrawnArea();
                if (copy == CanvasCopy::Whole) {
                    drawn = DrawnArea();
                    drawn.add({0, 0, kCanvasWidth, kCanvasHeight});
                }
                blitCanvas(window, drawn);
            }
            break;
        }
        case TickAction::ClearScreen:
            fillBlack(window);
            controller.logic.cleared(GetTickCount());
            break;
        case TickAction::DrawBanner:
            blitBanner(window, plan.bannerX);
            break;
    }
}

// Whatever was uncovered gets the dashboard back at once; the erase has made it black.
void onPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc != nullptr && controller.dashboard != nullptr && controller.logic.canvasOnScreen()) {
        const Rect area{paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right,
                        paint.rcPaint.bottom};
        copyScaled(dc, controller.dashboard->canvas(), clientToCanvas(area, controller.placement),
                   controller.placement.canvasOrigin);
    }
    EndPaint(window, &paint);
}

// The host has moved the window over the new set of monitors.
void onDisplayChange(HWND window) {
    controller.placement = placementFor(window);
    const Rect& primary = controller.placement.primary;
    controller.logic.resized(primary.right - primary.left);
    InvalidateRect(window, nullptr, TRUE);
}

void onDestroy(HWND window) {
    if (controller.timerId != 0) {
        KillTimer(window, controller.timerId);
        controller.timerId = 0;
    }
    detachFromWorker();
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
            fillBlack(reinterpret_cast<HDC>(wParam), window);
            break;
        case WM_PAINT:
            onPaint(window);
            return 0;
        case WM_DISPLAYCHANGE:
            onDisplayChange(window);
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
