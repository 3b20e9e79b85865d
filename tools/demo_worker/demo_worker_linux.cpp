// vandrel-demo-worker: the stand-in analysis worker for Linux. It publishes a synthetic
// data unit in the POSIX shared-memory object /vandrel_share-UID, with the same generator,
// options, timing and exit codes as the Windows worker, and removes the object when it
// ends: by itself after --seconds, or on SIGTERM, SIGINT or SIGHUP.
#include <signal.h>
#include <time.h>

#include <cstdint>
#include <cstdio>

#include "record/posix_share.h"
#include "record/shared_status.h"
#include "tools/demo_worker/worker_options.h"
#include "tools/demo_worker/worker_publish.h"
#include "tools/record_generator.h"

namespace vandrel {
namespace {

constexpr uint64_t kStepMs = 100;
// In the stress run: virtual time per full rewrite, and how long the flags are set again
// and again after each one (a full rewrite computes every row, which takes milliseconds).
constexpr uint32_t kStressStepMs = 100;
constexpr uint64_t kStressFlagUs = 5000;

volatile sig_atomic_t quitSignal = 0;

void onQuitSignal(int signal) {
    quitSignal = signal;
}

// Without SA_RESTART, so a signal cuts the wait short.
void catchQuitSignals() {
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

uint64_t nowUs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000000 + static_cast<uint64_t>(t.tv_nsec) / 1000;
}

uint64_t nowMs() {
    return nowUs() / 1000;
}

// Sleeps up to ms; false when it is time to end.
bool waitForWork(uint64_t ms) {
    if (quitSignal == 0 && ms > 0) {
        timespec t{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
        nanosleep(&t, nullptr);
    }
    return quitSignal == 0;
}

int run(const WorkerOptions& options, SharedStatus status, ServeCounter& serves) {
    RecordGenerator generator(status, generatorOptionsFor(options));
    AttachWatch watch(status);

    const uint64_t start = nowMs();
    const uint64_t end = start + options.seconds * 1000ULL;
    uint64_t last = start;
    generator.step(0);
    for (;;) {
        const uint64_t now = nowMs();
        if ((options.seconds != 0 && now >= end) || quitSignal != 0) {
            return kExitOk;
        }
        if (options.stress) {
            generator.setMessage(attentionWanted(options, now - start));
            serves.look(nowUs());
            generator.step(kStressStepMs);
            generator.publishAll();
            serves.rewrote();
            const uint64_t until = nowUs() + kStressFlagUs;
            uint64_t t;
            do {
                t = nowUs();
                serves.look(t);
                markEveryFlag(status, generator.rowsPublished());
            } while (t < until);
            continue;
        }
        const uint64_t due = last + kStepMs;
        if (now < due) {
            uint64_t wait = due - now;
            if (options.seconds != 0 && end - now < wait) {
                wait = end - now;
            }
            if (!waitForWork(wait)) {
                return kExitOk;
            }
            continue;
        }
        generator.setMessage(attentionWanted(options, now - start));
        if (watch.newAttach()) {
            generator.publishAll();
        }
        // A stall (a suspended machine, a stopped process) is not replayed step by step.
        generator.step(static_cast<uint32_t>(now - last < 60000 ? now - last : 60000));
        last = now;
    }
}

}  // namespace
}  // namespace vandrel

int main(int argc, char** argv) {
    using namespace vandrel;
    WorkerOptions options;
    char error[160];
    if (!parseWorkerOptions(argc - 1, argv + 1, options, error, sizeof error)) {
        std::fprintf(stderr, "vandrel-demo-worker: %s\n%s", error, kWorkerUsage);
        return kExitBadArguments;
    }
    if (options.help) {
        std::fputs(kWorkerUsage, stdout);
        return kExitOk;
    }
    // Caught before the record exists, so no signal can leave it behind.
    catchQuitSignals();
    PosixShare share;
    bool alreadyRunning = false;
    Refusal why;
    if (!createShare(share, &alreadyRunning, posixShareName(), &why)) {
        if (alreadyRunning) {
            std::fprintf(stderr, "vandrel-demo-worker: another demo worker is running\n");
            return kExitAlreadyRunning;
        }
        // Another user's object under this user's name is theirs to remove (or root's):
        // publishing anywhere else would leave the saver to guess.
        std::fprintf(stderr, "vandrel-demo-worker: cannot publish %s: %s\n", posixShareName(),
                     why.text);
        return kExitNoRecord;
    }

    ServeCounter serves{SharedStatus(share.view)};
    const uint64_t start = nowUs();
    const int code = run(options, SharedStatus(share.view), serves);
    if (options.servesFile != nullptr && !serves.write(options.servesFile, start)) {
        std::fprintf(stderr, "vandrel-demo-worker: cannot write %s\n", options.servesFile);
    }
    // Removed while the lock is still held, so a newer worker's object is never hit.
    removeShare();
    closeShare(share);
    return code;
}
