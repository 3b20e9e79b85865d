// vandrel-demo-worker: a stand-in analysis worker for Windows. It creates the shared
// status record "vandrel_share" and keeps a synthetic data unit moving through it, so
// the saver can be watched without the real worker. A GUI program that never shows a
// window, so that the saver's " -min" start opens no console; a hidden top-level window
// takes WM_CLOSE (an uninstaller finds it with FindWindow, and the end of a session
// reaches it), a console control handler takes Ctrl-C.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "record/shared_status.h"
#include "tools/demo_worker/worker_options.h"
#include "tools/demo_worker/worker_publish.h"
#include "tools/record_generator.h"

namespace vandrel {
namespace {

constexpr char kShareName[] = "vandrel_share";
constexpr char kMutexName[] = "vandrel_demo_worker";
constexpr char kWindowClass[] = "VandrelDemoWorker";
// Page-granular and above the record's 127148 bytes.
constexpr DWORD kShareBytes = 128 * 1024;
constexpr DWORD kStepMs = 100;
// In the stress run: virtual time per full rewrite, and how long the flags are set again
// and again after each one (a full rewrite computes every row, which takes milliseconds).
constexpr uint32_t kStressStepMs = 100;
constexpr uint64_t kStressFlagUs = 5000;

static_assert(kShareBytes >= rec::recordSize);

// Set by the console control handler, which runs on a thread of its own.
HANDLE quitEvent = nullptr;

BOOL WINAPI onConsoleControl(DWORD) {
    SetEvent(quitEvent);
    return TRUE;
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND createHiddenWindow(HINSTANCE instance) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kWindowClass;
    if (RegisterClassA(&wc) == 0) {
        return nullptr;
    }
    // Never shown: WS_POPUP without WS_VISIBLE.
    return CreateWindowExA(0, kWindowClass, "Vandrel demo worker", WS_POPUP, 0, 0, 0, 0, nullptr,
                           nullptr, instance, nullptr);
}

// Empties the queue; false once WM_QUIT has come.
bool pumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

// Waits up to ms for a message or Ctrl-C; false when it is time to end.
bool waitForWork(DWORD ms) {
    DWORD r = MsgWaitForMultipleObjects(1, &quitEvent, FALSE, ms, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) {
        return false;
    }
    return pumpMessages();
}

// Microseconds on the performance counter: the tick count can be many milliseconds
// coarse, too coarse to time the gaps between looks.
class MicroClock {
  public:
    MicroClock() {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        frequency_ = static_cast<uint64_t>(f.QuadPart);
    }
    uint64_t nowUs() const {
        LARGE_INTEGER c;
        QueryPerformanceCounter(&c);
        const uint64_t n = static_cast<uint64_t>(c.QuadPart);
        return n / frequency_ * 1000000 + n % frequency_ * 1000000 / frequency_;
    }

  private:
    uint64_t frequency_ = 1;
};

int run(const WorkerOptions& options, SharedStatus status, ServeCounter& serves,
        const MicroClock& clock) {
    RecordGenerator generator(status, generatorOptionsFor(options));
    AttachWatch watch(status);

    const ULONGLONG start = GetTickCount64();
    const ULONGLONG end = start + options.seconds * 1000ULL;
    ULONGLONG last = start;
    generator.step(0);
    for (;;) {
        ULONGLONG now = GetTickCount64();
        if (options.seconds != 0 && now >= end) {
            return kExitOk;
        }
        if (options.stress) {
            if (!waitForWork(0)) {
                return kExitOk;
            }
            generator.setMessage(attentionWanted(options, now - start));
            serves.look(clock.nowUs());
            generator.step(kStressStepMs);
            generator.publishAll();
            serves.rewrote();
            const uint64_t until = clock.nowUs() + kStressFlagUs;
            uint64_t t;
            do {
                t = clock.nowUs();
                serves.look(t);
                markEveryFlag(status, generator.rowsPublished());
            } while (t < until);
            continue;
        }
        const ULONGLONG due = last + kStepMs;
        if (now < due) {
            DWORD wait = static_cast<DWORD>(due - now);
            if (options.seconds != 0 && end - now < wait) {
                wait = static_cast<DWORD>(end - now);
            }
            if (!waitForWork(wait)) {
                return kExitOk;
            }
            continue;
        }
        if (!pumpMessages()) {
            return kExitOk;
        }
        generator.setMessage(attentionWanted(options, now - start));
        if (watch.newAttach()) {
            generator.publishAll();
        }
        // A stall (a suspended machine, a debugger) is not replayed step by step.
        generator.step(static_cast<uint32_t>(now - last < 60000 ? now - last : 60000));
        last = now;
    }
}

// Reaches the console of whoever started us, when there is one, so --help and errors
// are seen; otherwise output goes nowhere, which is right for a background worker.
void attachParentConsole() {
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
}

}  // namespace
}  // namespace vandrel

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace vandrel;
    attachParentConsole();
    WorkerOptions options;
    char error[160];
    if (!parseWorkerOptions(__argc - 1, __argv + 1, options, error, sizeof error)) {
        std::fprintf(stderr, "vandrel-demo-worker: %s\n%s", error, kWorkerUsage);
        return kExitBadArguments;
    }
    if (options.help) {
        std::fputs(kWorkerUsage, stdout);
        return kExitOk;
    }

    // The mutex is held until the process ends; the system releases it then.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutexName);
    if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        std::fprintf(stderr, "vandrel-demo-worker: another demo worker is running\n");
        return kExitAlreadyRunning;
    }
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        kShareBytes, kShareName);
    if (mapping == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        // Someone else's record: writing our unit into it would garble theirs.
        std::fprintf(stderr, "vandrel-demo-worker: cannot create %s\n", kShareName);
        return kExitNoRecord;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, kShareBytes);
    if (view == nullptr) {
        CloseHandle(mapping);
        std::fprintf(stderr, "vandrel-demo-worker: cannot map %s\n", kShareName);
        return kExitNoRecord;
    }

    quitEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
    HWND window = createHiddenWindow(instance);

    ServeCounter serves{SharedStatus(view)};
    const MicroClock clock;
    const uint64_t start = clock.nowUs();
    int code = run(options, SharedStatus(view), serves, clock);
    if (options.servesFile != nullptr && !serves.write(options.servesFile, start)) {
        std::fprintf(stderr, "vandrel-demo-worker: cannot write %s\n", options.servesFile);
    }

    if (window != nullptr && IsWindow(window)) {
        DestroyWindow(window);
    }
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(mutex);
    return code;
}
