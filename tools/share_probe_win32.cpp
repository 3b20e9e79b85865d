// vandrel_share_probe: looks into a running worker's record from outside, for the
// end-to-end scripts. Prints fields as key=value lines.
//   vandrel_share_probe                      print the fields
//   vandrel_share_probe serve                print, then clear every flag as a saver would
//   vandrel_share_probe wait KEY VALUE SECS  wait for the record and for integer field KEY
//                                            to equal VALUE
//   vandrel_share_probe close-worker         send WM_CLOSE to the demo worker's window
//   vandrel_share_probe display-change       tell the saver's window that the monitors
//                                            changed, as the system does
// Exit codes: 0 done, 1 bad arguments, 3 no record, 4 the wait timed out, 5 no such window.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "record/shared_status.h"

using namespace vandrel;

namespace {

struct IntField {
    const char* name;
    size_t offset;
};

const IntField kIntFields[] = {
    {"saverAttached", rec::saverAttached},
    {"saverPriorityClass", rec::saverPriorityClass},
    {"plotWidth", rec::plotWidth},
    {"plotHeight", rec::plotHeight},
    {"plotRowCount", rec::plotRowCount},
    {"plotRowLength", rec::plotRowLength},
    {"plotMaxHeight", rec::plotMaxHeight},
    {"messagePresent", rec::messagePresent},
    {"unitsCompleted", rec::unitsCompleted},
    {"fftLength", rec::fftLength},
    {"userInfoDirty", rec::userInfoDirty},
    {"dataInfoDirty", rec::dataInfoDirty},
    {"analysisTextDirty", rec::analysisTextDirty},
    {"progressDirty", rec::progressDirty},
    {"cpuDirty", rec::cpuDirty},
    {"barDirty", rec::barDirty},
    {"driftDirty", rec::driftDirty},
    {"auxDirtyA", rec::auxDirtyA},
    {"auxDirtyB", rec::auxDirtyB},
    {"gaussianDirty", rec::gaussianDirty},
    {"messageDirty", rec::messageDirty},
    {"plotAxesDirty", rec::plotAxesDirty},
};

const IntField* findField(const char* name) {
    for (const IntField& f : kIntFields) {
        if (std::strcmp(f.name, name) == 0) {
            return &f;
        }
    }
    return nullptr;
}

// Rows whose flag is set, and rows that hold any bar at all.
void countRows(SharedStatus status, int& flagged, int& filled) {
    flagged = filled = 0;
    for (int32_t i = 0; i < rec::plotRowCapacity; ++i) {
        flagged += status.isDirty(rec::plotRowDirty(i)) ? 1 : 0;
        bool any = false;
        for (size_t b = 0; b < rec::plotRowHeights && !any; b += 4) {
            any = status.loadU32(rec::plotRow(i) + b) != 0;
        }
        filled += any ? 1 : 0;
    }
}

void print(SharedStatus status) {
    for (const IntField& f : kIntFields) {
        std::printf("%s=%d\n", f.name, static_cast<int>(status.loadI32(f.offset)));
    }
    int flagged, filled;
    countRows(status, flagged, filled);
    std::printf("rowsFlagged=%d\nrowsFilled=%d\n", flagged, filled);
    std::printf("progressFraction=%.6f\n", status.loadFloat(rec::progressFraction));
    std::printf("cpuSeconds=%.3f\n", status.loadDouble(rec::cpuSeconds));
    char text[300];
    status.text(rec::userName, UserInfo::userNameLength, text, sizeof text);
    std::printf("userName=%s\n", text);
    status.text(rec::analysisText, rec::analysisTextLength, text, sizeof text);
    std::printf("analysisText=%s\n", text);
    status.text(rec::messageLine1, rec::messageLineLength, text, sizeof text);
    std::printf("messageLine1=%s\n", text);
    std::fflush(stdout);
}

void serve(SharedStatus status) {
    for (const IntField& f : kIntFields) {
        if (std::strstr(f.name, "Dirty") != nullptr) {
            status.clearDirty(f.offset);
        }
    }
    for (int32_t i = 0; i < rec::plotRowCapacity; ++i) {
        status.clearDirty(rec::plotRowDirty(i));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const char* command = argc > 1 ? argv[1] : "print";
    if (std::strcmp(command, "close-worker") == 0) {
        HWND worker = FindWindowA("VandrelDemoWorker", nullptr);
        if (worker == nullptr) {
            return 5;
        }
        PostMessageA(worker, WM_CLOSE, 0, 0);
        return 0;
    }
    if (std::strcmp(command, "display-change") == 0) {
        HWND saver = FindWindowA("WindowsScreenSaverClass", nullptr);
        if (saver == nullptr) {
            return 5;
        }
        SendMessageA(saver, WM_DISPLAYCHANGE, 32,
                     MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
        return 0;
    }
    const IntField* waitField = nullptr;
    int waitValue = 0;
    DWORD waitMs = 0;
    if (std::strcmp(command, "wait") == 0) {
        if (argc != 5 || (waitField = findField(argv[2])) == nullptr) {
            std::fprintf(stderr, "usage: vandrel_share_probe wait KEY VALUE SECONDS\n");
            return 1;
        }
        waitValue = std::atoi(argv[3]);
        waitMs = static_cast<DWORD>(std::atoi(argv[4])) * 1000;
    } else if (std::strcmp(command, "print") != 0 && std::strcmp(command, "serve") != 0) {
        std::fprintf(stderr, "vandrel_share_probe: unknown command %s\n", command);
        return 1;
    }

    // A wait also covers a worker that has not made its record yet.
    const DWORD start = GetTickCount();
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "vandrel_share");
    while (mapping == nullptr && waitField != nullptr && GetTickCount() - start < waitMs) {
        Sleep(20);
        mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "vandrel_share");
    }
    if (mapping == nullptr) {
        std::printf("record=none\n");
        return 3;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, rec::recordSize);
    if (view == nullptr) {
        std::printf("record=unmappable\n");
        return 3;
    }
    SharedStatus status(view);
    int code = 0;
    if (waitField != nullptr) {
        while (status.loadI32(waitField->offset) != waitValue) {
            if (GetTickCount() - start >= waitMs) {
                code = 4;
                break;
            }
            Sleep(20);
        }
    }
    print(status);
    if (std::strcmp(command, "serve") == 0) {
        serve(status);
    }
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    return code;
}
