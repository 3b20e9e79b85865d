// drawBitmapFile over arbitrary file contents and placements.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "render/canvas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static vandrel::Canvas canvas(752, 445);
    static char path[64];
    if (path[0] == '\0')
        std::snprintf(path, sizeof path, "/tmp/vandrel-fuzz-%d.bmp", getpid());
    // The first 8 bytes choose where and how much is drawn; the rest is the file.
    int16_t place[4] = {0, 0, 500, 41};
    if (size >= sizeof place) {
        std::memcpy(place, data, sizeof place);
        data += sizeof place;
        size -= sizeof place;
    }
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    canvas.drawBitmapFile(path, place[0], place[1], place[2], place[3]);
    return 0;
}
