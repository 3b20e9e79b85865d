#include "host/x11/pixel_row.h"

#include <bit>
#include <cstddef>
#include <cstring>

namespace vandrel {

void packPixelRow(unsigned char* out, PixelFormat format, const uint32_t* row, int32_t first,
                  int32_t count, int32_t scale) {
    // The common case, a 32-bit image in this machine's byte order, is the canvas's own.
    const bool native = format.bytesPerPixel == 4 &&
                        format.lsbFirst == (std::endian::native == std::endian::little);
    if (native && scale == 1) {
        std::memcpy(out, row + first, static_cast<size_t>(count) * 4);
        return;
    }
    for (int32_t x = 0; x < count; ++x) {
        const uint32_t p = row[(first + x) / scale];
        unsigned char* o = out + static_cast<size_t>(x) * static_cast<size_t>(format.bytesPerPixel);
        if (native) {
            std::memcpy(o, &p, 4);
            continue;
        }
        const unsigned char r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        if (format.bytesPerPixel == 4) {
            const unsigned char word[4] = {b, g, r, 0};
            for (int i = 0; i < 4; ++i) {
                o[i] = format.lsbFirst ? word[i] : word[3 - i];
            }
        } else {
            o[0] = format.lsbFirst ? b : r;
            o[1] = g;
            o[2] = format.lsbFirst ? r : b;
        }
    }
}

}  // namespace vandrel
