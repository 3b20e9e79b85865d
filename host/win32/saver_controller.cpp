#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <optional>

#include "controller/saver_session.h"
#include "controller/settings.h"
#include "host/win32/saver_api.h"
#include "record/shared_status.h"
#include "render/canvas_win32.h"
#include "render/color.h"

// The application side of the saver window: attaches to the worker's record (or starts
// the worker), keeps the dashboard up to date, blanks the screen and runs the banner.
namespace vandrel {
namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerPeriodMs = 33;
constexpr char kShareName[] = "vandrel_share";

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

// The saver window's client area. The full-screen window spans every monitor and puts the
// dashboard on the primary one, wherever the screen's origin lies in it; a preview child
// uses its whole client area.
class WindowOutput final : public SaverOutput {
  public:
    void attach(HWND window) { window_ = window; }
    // Draws go to dc (a paint's, clipped to what needs painting) until it is null again.
    void drawInto(HDC dc) { paintDc_ = dc; }

    int32_t width() const override { return clientRect().right; }
    int32_t height() const override { return clientRect().bottom; }
    Rect primaryArea() const override {
        if ((GetWindowLongA(window_, GWL_STYLE) & WS_CHILD) != 0) {
            return {0, 0, width(), height()};
        }
        POINT origin{0, 0};
        MapWindowPoints(nullptr, window_, &origin, 1);
        return {origin.x, origin.y, origin.x + GetSystemMetrics(SM_CXSCREEN),
                origin.y + GetSystemMetrics(SM_CYSCREEN)};
    }

    // StretchBlt replicates pixels itself (COLORONCOLOR): the platform does the scaled
    // copy, from the canvas's own DIB section.
    void copyCanvas(const Canvas& canvas, Rect part, Point origin, int32_t scale,
                    Rect clip) override {
        HDC source = deviceContext(canvas);
        if (source == nullptr || isEmpty(part)) {
            return;
        }
        const int32_t w = part.right - part.left, h = part.bottom - part.top;
        HDC dc = begin();
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
        if (scale == 1) {
            BitBlt(dc, origin.x + part.left, origin.y + part.top, w, h, source, part.left, part.top,
                   SRCCOPY);
        } else {
            SetStretchBltMode(dc, COLORONCOLOR);  // replication, no smoothing
            StretchBlt(dc, origin.x + part.left * scale, origin.y + part.top * scale, w * scale,
                       h * scale, source, part.left, part.top, w, h, SRCCOPY);
        }
        RestoreDC(dc, saved);
        end(dc);
    }
    void fillBlack(Rect area) override {
        HDC dc = begin();
        const RECT r{area.left, area.top, area.right, area.bottom};
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        end(dc);
    }
    void drawLabel(int32_t left, int32_t top) override {
        // The class has its own DC, so its default font and opaque mode apply.
        HDC dc = begin();
        SetTextColor(dc, toPlatformColor(Color(0, 255, 255)));
        SetBkColor(dc, toPlatformColor(colorBlack));
        TextOutA(dc, left + 34, top + 37, "Vandrel", 7);
        TextOutA(dc, left + 32, top + 57, "ScreenSaver", 11);
        end(dc);
    }

  private:
    RECT clientRect() const {
        RECT client{};
        GetClientRect(window_, &client);
        return client;
    }
    HDC begin() { return paintDc_ != nullptr ? paintDc_ : GetDC(window_); }
    void end(HDC dc) {
        if (dc != paintDc_) {
            ReleaseDC(window_, dc);
        }
    }

    HWND window_ = nullptr;
    HDC paintDc_ = nullptr;
};

// The worker's record as a named file mapping. The saver ends once it has started the
// worker: the next activation finds the record. Under the password lock only the password
// ends the saver, so it stays and attaches the record once it exists.
class MappingLink final : public RecordLink {
  public:
    void* open() override {
        HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, TRUE, kShareName);
        if (mapping == nullptr) {
            return nullptr;
        }
        void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
        if (view != nullptr && !viewHoldsRecord(view)) {
            UnmapViewOfFile(view);
            view = nullptr;
        }
        if (view == nullptr) {
            CloseHandle(mapping);
            return nullptr;
        }
        mapping_ = mapping;
        view_ = view;
        return view;
    }
    void close() override {
        UnmapViewOfFile(view_);
        CloseHandle(mapping_);
        view_ = nullptr;
        mapping_ = nullptr;
    }
    void startWorker() override;
    int32_t priorityClass() override { return priorityClass_; }
    AfterWorkerStart afterWorkerStart() override {
        return SaverPasswordLockOn() ? AfterWorkerStart::Wait : AfterWorkerStart::End;
    }

    int32_t priorityClass_ = 0;

  private:
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
};

// One per process; the window is the only one.
struct Controller {
    WindowOutput output;
    MappingLink link;
    std::optional<SaverSession> session;
    UINT_PTR timerId = 0;
};
Controller controller;

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

void MappingLink::startWorker() {
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
    controller.link.priorityClass_ = ownPriorityClass();
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
