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

#include "controller/shared_status.h"
#include "tools/demo_worker/worker_options.h"
#include "tools/record_generator.h"

namespace vandrel {
namespace {

constexpr char kShareName[] = "vandrel_share";
constexpr char kMutexName[] = "vandrel_demo_worker";
constexpr char kWindowClass[] = "VandrelDemoWorker";
// Page-granular and above the record's 127148 bytes.
constexpr DWORD kShareBytes = 128 * 1024;
constexpr DWORD kStepMs = 100;
// In the stress run: virtual time per rewrite, and rewrites between looks at the queue.
constexpr uint32_t kStressStepMs = 100;
constexpr int kStressBatch = 64;

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

// A saver that attaches builds a fresh dashboard, which shows a part only once it is
// flagged again: so every new attach gets the whole state at once.
class AttachWatch {
  public:
    explicit AttachWatch(SharedStatus status) : status_(status) {}
    bool newAttach() {
        bool attached = status_.loadI32(rec::saverAttached) != 0;
        bool rising = attached && !wasAttached_;
        wasAttached_ = attached;
        return rising;
    }

  private:
    SharedStatus status_;
    bool wasAttached_ = false;
};

// Counts the saver's serves of the user-info flag in the stress run: the worker sets it
// again at once, so each fall from set to clear is one saver tick. Looked at far more
// often than the saver ticks, so no tick is missed and none is counted twice.
class ServeCounter {
  public:
    explicit ServeCounter(SharedStatus status) : status_(status) {}
    // Call before each rewrite of the record.
    void look(ULONGLONG nowMs) {
        const bool set = status_.isDirty(rec::userInfoDirty);
        const bool fell = wasSet_ && !set;
        wasSet_ = set;
        if (!fell) {
            return;
        }
        if (serves_ == 0) {
            firstMs_ = nowMs;
        }
        lastMs_ = nowMs;
        ++serves_;
    }
    // A rate over the span from the first serve to the last one, so the time before the
    // saver attached does not count.
    bool write(const char* path, ULONGLONG startMs) const {
        std::FILE* f = std::fopen(path, "w");
        if (f == nullptr) {
            return false;
        }
        const ULONGLONG span = lastMs_ - firstMs_;
        const double perSecond =
            serves_ > 1 && span > 0 ? (serves_ - 1) * 1000.0 / static_cast<double>(span) : 0.0;
        std::fprintf(f, "serves=%llu\nfirstMs=%llu\nlastMs=%llu\nperSecond=%.2f\n", serves_,
                     serves_ != 0 ? firstMs_ - startMs : 0ULL,
                     serves_ != 0 ? lastMs_ - startMs : 0ULL, perSecond);
        return std::fclose(f) == 0;
    }

  private:
    SharedStatus status_;
    bool wasSet_ = false;
    unsigned long long serves_ = 0;
    ULONGLONG firstMs_ = 0, lastMs_ = 0;
};

int run(const WorkerOptions& options, SharedStatus status, ServeCounter& serves) {
    GeneratorOptions generatorOptions;
    generatorOptions.seed = options.seed;
    generatorOptions.passMs = options.passSeconds * 1000;
    generatorOptions.passesPerUnit = static_cast<int32_t>(options.passes);
    generatorOptions.message = attentionWanted(options, 0);
    RecordGenerator generator(status, generatorOptions);
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
            for (int i = 0; i < kStressBatch; ++i) {
                serves.look(GetTickCount64());
                generator.step(kStressStepMs);
                generator.publishAll();
            }
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
    const ULONGLONG start = GetTickCount64();
    int code = run(options, SharedStatus(view), serves);
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
