// Creates the worker's record "vandrel_share" with some content, as a worker would,
// and keeps it for the number of seconds given (default 60), so that the saver can be
// watched without the real worker. A second argument "message" asks for attention; any
// other names a file whose first bytes are served as the whole record instead.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "record/shared_status.h"

using namespace vandrel;

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    bool message = argc > 2 && std::strcmp(argv[2], "message") == 0;
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        rec::recordSize, "vandrel_share");
    if (mapping == nullptr) {
        return 1;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view == nullptr) {
        return 1;
    }
    SharedStatus status(view);
    if (argc > 2 && !message) {
        FILE* file = std::fopen(argv[2], "rb");
        if (file == nullptr || std::fread(view, 1, rec::recordSize, file) != rec::recordSize) {
            return 2;
        }
        std::fclose(file);
        Sleep(static_cast<DWORD>(seconds) * 1000);
        return 0;
    }
    status.setText(rec::userName, rec::userNameEnd - rec::userName, "Test User");
    status.storeI32(rec::unitsCompleted, 42);
    status.storeDouble(rec::totalCpuSeconds, 123456.0);
    status.markDirty(rec::userInfoDirty);
    status.setText(rec::analysisText, rec::analysisTextLength, "Searching for Gaussians");
    status.markDirty(rec::analysisTextDirty);
    status.storeFloat(rec::progressFraction, 0.375f);
    status.markDirty(rec::progressDirty);
    status.storeFloat(rec::barFraction, 0.6f);
    status.markDirty(rec::barDirty);
    status.storeI32(rec::fftLength, 1024);
    status.storeDouble(rec::sampleRateHz, 9765.625);
    status.markDirty(rec::driftDirty);
    status.markDirty(rec::dataInfoDirty);
    // A few spectrum rows under freshly drawn axes.
    status.storeI32(rec::plotDepthX, 120);
    status.storeI32(rec::plotDepthY, 60);
    status.storeI32(rec::plotMaxHeight, 80);
    status.storeI32(rec::plotRowLength, 500);
    status.storeI32(rec::plotRowCount, 16);
    for (int32_t row = 0; row < 16; ++row) {
        unsigned char* heights = status.base() + rec::plotRow(row);
        for (int32_t i = 0; i < 500; ++i) {
            heights[i] =
                static_cast<unsigned char>((i * 7 + row * 13) % 40 + (i % 97 == 0 ? 40 : 0));
        }
        status.markDirty(rec::plotRowDirty(row));
    }
    status.markDirty(rec::plotAxesDirty);
    if (message) {
        status.storeI32(rec::messagePresent, 1);
        status.setText(rec::messageLine1, rec::messageLineLength, "The worker needs you");
        status.markDirty(rec::messageDirty);
    }
    Sleep(static_cast<DWORD>(seconds) * 1000);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    return 0;
}
