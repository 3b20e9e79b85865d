#include "host/win32/mapping_link.h"

#include "controller/settings.h"
#include "host/win32/saver_api.h"
#include "record/shared_status.h"

namespace vandrel {
namespace {

constexpr char kShareName[] = "vandrel_share";

// The view must hold the whole record; a shorter object is treated as missing. The
// region size is page-granular, which is what can be touched safely.
bool viewHoldsRecord(const void* view) {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(view, &info, sizeof info) != sizeof info) {
        return false;
    }
    return info.RegionSize >= rec::recordSize;
}

}  // namespace

void* MappingLink::open() {
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

void MappingLink::close() {
    UnmapViewOfFile(view_);
    CloseHandle(mapping_);
    view_ = nullptr;
    mapping_ = nullptr;
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

int32_t MappingLink::priorityClass() {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_SET_INFORMATION, FALSE,
                                 GetCurrentProcessId());
    if (process == nullptr) {
        return 0;
    }
    const DWORD priority = GetPriorityClass(process);
    CloseHandle(process);
    return static_cast<int32_t>(priority);
}

AfterWorkerStart MappingLink::afterWorkerStart() {
    return SaverPasswordLockOn() ? AfterWorkerStart::Wait : AfterWorkerStart::End;
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

}  // namespace vandrel
