#pragma once
#include <cstdint>

// What the saver session asks of the platform about the worker: its record, its start,
// and the two points where the hosts differ.
namespace vandrel {

// After the worker was started for a missing record.
enum class AfterWorkerStart : uint8_t {
    End,   // the saver ends; the next activation finds the record
    Wait,  // the saver stays black and attaches the record once it exists
};

class RecordLink {
  public:
    virtual ~RecordLink() = default;

    // Maps the worker's record: a view of at least the whole record, or null when there
    // is none (or none this saver may show).
    virtual void* open() = 0;
    // Unmaps what open returned.
    virtual void close() = 0;
    // Starts the worker named in the settings.
    virtual void startWorker() = 0;
    // The saver's priority class as a worker reads it in saverPriorityClass.
    virtual int32_t priorityClass() = 0;

    // Whether this saver may attach at now (ms): another saver of the same desktop may
    // show the dashboard already.
    virtual bool mayConnect(uint32_t /*now*/) { return true; }
    virtual AfterWorkerStart afterWorkerStart() = 0;
};

}  // namespace vandrel
