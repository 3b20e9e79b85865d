#pragma once
#include <cstdint>

// The demo worker's command line and its attention schedule, kept free of platform
// calls so they are tested natively.
namespace vandrel {

struct WorkerOptions {
    // Ends by itself after this many seconds; 0 runs until closed.
    uint32_t seconds = 0;
    // Rewrites the whole record as fast as it can, flags included, whether or not the
    // saver has served them: a load test for the saver.
    bool stress = false;
    // Attention message: on for messageForS out of every messageEveryS seconds; with
    // messageAlways it is on from the start and stays.
    uint32_t messageEveryS = 60, messageForS = 15;
    bool messageAlways = false;
    uint32_t seed = 1;
    // One analysis pass (the plot fills in its first four fifths) and passes per data unit.
    uint32_t passSeconds = 20, passes = 24;
    // With stress: the file that gets, when the worker ends, how often the saver served
    // the user-info flag and over which span, which measures the saver's tick rate.
    const char* servesFile = nullptr;
    bool help = false;
};

// Exit codes of the demo worker.
enum WorkerExit : int {
    kExitOk = 0,
    kExitBadArguments = 1,
    kExitAlreadyRunning = 2,
    kExitNoRecord = 3,  // the record could not be made, or another program owns it
};

extern const char* const kWorkerUsage;

// Parses the arguments after the program name. " -min" (how the saver starts a worker)
// is accepted and changes nothing, since this worker has no window to minimise.
// Returns false, with a one-line complaint in error, for anything it does not know.
bool parseWorkerOptions(int argc, const char* const* argv, WorkerOptions& options, char* error,
                        int errorSize);

// Whether the attention message is on at elapsedMs after the start: on in the last
// messageForS seconds of each messageEveryS-second period, so the first one comes
// after (every - for) seconds. A zero period or duration means never.
bool attentionWanted(const WorkerOptions& options, uint64_t elapsedMs);

}  // namespace vandrel
