#pragma once
#include <cstdint>

#include "record/shared_status.h"
#include "tools/demo_worker/worker_options.h"
#include "tools/record_generator.h"

// The demo worker's bookkeeping around the generator, free of platform calls so the
// Windows and the Linux worker share it: new attaches, the stress run's flag rounds and
// its count of the saver's serves.
namespace vandrel {

// A saver that attaches builds a fresh dashboard, which shows a part only once it is
// flagged again: so every new attach gets the whole state at once.
class AttachWatch {
  public:
    explicit AttachWatch(SharedStatus status) : status_(status) {}
    // True once per rise of saverAttached from 0 to non-zero.
    bool newAttach();

  private:
    SharedStatus status_;
    bool wasAttached_ = false;
};

// Counts the saver's serves of the user-info flag in the stress run: the worker sets it
// again at once, so each fall from set to clear is one saver tick. A worker kept off the
// processor misses ticks (the flag stays clear until it runs again), so the rate is taken
// over the watched time alone: spans between two looks close enough together that no
// tick could fall in them unseen.
class ServeCounter {
  public:
    explicit ServeCounter(SharedStatus status) : status_(status) {}
    // Call between any two writes of the flag; nowUs from a monotonic microsecond clock.
    void look(uint64_t nowUs);
    void rewrote() { ++rewrites_; }
    // Writes the counts as key=value lines, times in milliseconds from startUs. False
    // when the file cannot be written.
    bool write(const char* path, uint64_t startUs) const;

  private:
    // Longer than a full rewrite, well under the saver's 33 ms tick: a watched span holds
    // at most one serve.
    static constexpr uint64_t kWatchedGapUs = 10000;
    SharedStatus status_;
    bool wasSet_ = false;
    unsigned long long rewrites_ = 0, looks_ = 0, serves_ = 0, watchedServes_ = 0;
    uint64_t firstUs_ = 0, lastUs_ = 0, lastLookUs_ = 0, watchedUs_ = 0;
};

// The generator's settings for a worker's options, its attention state at the start.
GeneratorOptions generatorOptionsFor(const WorkerOptions& options);

// Sets every flag the saver serves, the rows published so far included.
void markEveryFlag(SharedStatus status, int32_t rows);

}  // namespace vandrel
