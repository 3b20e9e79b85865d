#pragma once
#include <windows.h>

#include "controller/record_link.h"

namespace vandrel {

// The worker's record as a named file mapping. The saver ends once it has started the
// worker: the next activation finds the record. Under the password lock only the password
// ends the saver, so it stays and attaches the record once it exists.
class MappingLink final : public RecordLink {
  public:
    void* open() override;
    void close() override;
    void startWorker() override;
    int32_t priorityClass() override;
    AfterWorkerStart afterWorkerStart() override;

  private:
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
};

// Starts a program on the default desktop, not the saver's; nothing is waited for.
void startProcess(const char* application, char* commandLine);

}  // namespace vandrel
