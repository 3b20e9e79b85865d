#include "tools/demo_worker/worker_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vandrel {

const char* const kWorkerUsage =
    "Usage: vandrel-demo-worker [-min] [--seconds N] [--stress] [--message]\n"
    "                           [--message-every S] [--message-for S] [--seed N]\n"
    "                           [--pass-seconds S] [--passes N] [--serves-file F]\n"
    "\n"
    "A stand-in analysis worker: creates the shared status record vandrel_share\n"
    "(/vandrel_share-UID in POSIX shared memory on Linux) and publishes a synthetic\n"
    "data unit through it until it is closed.\n"
    "\n"
    "  -min               accepted for the saver's sake; changes nothing\n"
    "  --seconds N        end by itself after N seconds\n"
    "  --stress           rewrite the record and set its flags at full speed\n"
    "  --message          ask for attention from the start, and keep asking\n"
    "  --message-every S  ask for attention once every S seconds (default 60,\n"
    "                     0 never)\n"
    "  --message-for S    each time for S seconds (default 15)\n"
    "  --seed N           seed of the synthetic data (default 1)\n"
    "  --pass-seconds S   length of one analysis pass (default 20, at least 1);\n"
    "                     the plot fills in its first four fifths\n"
    "  --passes N         passes per data unit (default 24, 1 to 1000)\n"
    "  --serves-file F    with --stress: on ending, write to F how often the\n"
    "                     saver served the user-info flag (serves, firstMs,\n"
    "                     lastMs, watchedMs, perSecond as key=value lines)\n"
    "\n"
    "Ends on Ctrl-C; on Windows on WM_CLOSE to its window (class\n"
    "VandrelDemoWorker), on Linux on SIGTERM or SIGHUP.\n"
    "Exit codes: 0 ended normally, 1 bad arguments, 2 another demo worker is\n"
    "running, 3 the record could not be created or another user holds its name.\n";

namespace {

bool parseCount(const char* text, uint32_t limit, uint32_t& out) {
    if (text == nullptr || text[0] < '0' || text[0] > '9') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (*end != '\0' || errno != 0 || v > limit) {
        return false;
    }
    out = static_cast<uint32_t>(v);
    return true;
}

}  // namespace

bool parseWorkerOptions(int argc, const char* const* argv, WorkerOptions& options, char* error,
                        int errorSize) {
    options = WorkerOptions{};
    if (errorSize > 0) {
        error[0] = '\0';
    }
    // A day is plenty for any timed run and keeps the milliseconds in range.
    constexpr uint32_t kMaxSeconds = 86400;
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        uint32_t* target = nullptr;
        uint32_t limit = kMaxSeconds;
        if (std::strcmp(arg, "-min") == 0 || std::strcmp(arg, "/min") == 0) {
            continue;
        } else if (std::strcmp(arg, "--stress") == 0) {
            options.stress = true;
            continue;
        } else if (std::strcmp(arg, "--message") == 0) {
            options.messageAlways = true;
            continue;
        } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0 ||
                   std::strcmp(arg, "/?") == 0) {
            options.help = true;
            continue;
        } else if (std::strcmp(arg, "--serves-file") == 0) {
            if (value == nullptr || value[0] == '\0') {
                std::snprintf(error, errorSize, "%s needs a file name", arg);
                return false;
            }
            options.servesFile = value;
            ++i;
            continue;
        } else if (std::strcmp(arg, "--seconds") == 0) {
            target = &options.seconds;
        } else if (std::strcmp(arg, "--message-every") == 0) {
            target = &options.messageEveryS;
        } else if (std::strcmp(arg, "--message-for") == 0) {
            target = &options.messageForS;
        } else if (std::strcmp(arg, "--pass-seconds") == 0) {
            target = &options.passSeconds;
            limit = 600;
        } else if (std::strcmp(arg, "--passes") == 0) {
            target = &options.passes;
            limit = 1000;
        } else if (std::strcmp(arg, "--seed") == 0) {
            target = &options.seed;
            limit = UINT32_MAX;
        } else {
            std::snprintf(error, errorSize, "unknown argument: %s", arg);
            return false;
        }
        if (!parseCount(value, limit, *target)) {
            std::snprintf(error, errorSize, "%s needs a whole number up to %u", arg, limit);
            return false;
        }
        if ((target == &options.passSeconds || target == &options.passes) && *target == 0) {
            std::snprintf(error, errorSize, "%s needs at least 1", arg);
            return false;
        }
        ++i;
    }
    if (options.servesFile != nullptr && !options.stress) {
        std::snprintf(error, errorSize, "--serves-file needs --stress");
        return false;
    }
    return true;
}

bool attentionWanted(const WorkerOptions& options, uint64_t elapsedMs) {
    if (options.messageAlways) {
        return true;
    }
    if (options.messageEveryS == 0 || options.messageForS == 0) {
        return false;
    }
    const uint64_t period = options.messageEveryS * 1000ULL;
    const uint64_t length = options.messageForS * 1000ULL;
    return elapsedMs % period + length >= period;
}

}  // namespace vandrel
