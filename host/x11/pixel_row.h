#pragma once
#include <cstdint>

// A row of an X image in the server's pixel format, from canvas pixels (0xRRGGBB): free
// of X calls so that every format is tested natively, including those no test server
// here offers.
namespace vandrel {

struct PixelFormat {
    int bytesPerPixel;  // 3 or 4: a 24-bit TrueColor visual's pixmap format
    bool lsbFirst;      // the image's byte order
};

// Writes count pixels into out: screen column first + i shows canvas pixel
// row[(first + i) / scale], so each canvas pixel spans scale columns.
void packPixelRow(unsigned char* out, PixelFormat format, const uint32_t* row, int32_t first,
                  int32_t count, int32_t scale);

}  // namespace vandrel
