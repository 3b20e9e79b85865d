// Reads an uncompressed 8-bit bitmap file ourselves, so that a hostile or truncated file
// can only ever fail to draw: every size is checked before anything is allocated.
#include <algorithm>
#include <memory>
#include <new>

#include "render/canvas.h"
#include "render/regular_file.h"

namespace vandrel {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kColorTableSize = 256 * 4;
// The pixel rows follow the full colour table directly.
constexpr size_t kPixelOffset = kFileHeaderSize + kInfoHeaderSize + kColorTableSize;
constexpr int32_t kMaxSide = 4096;

int32_t readInt32(const unsigned char* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 |
                                static_cast<uint32_t>(p[3]) << 24);
}

uint16_t readUint16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

void Canvas::drawBitmapFile(const char* path, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!path || width_ == 0 || width <= 0 || height <= 0)
        return;
    // A FIFO or a device named header.bmp is no bitmap, and must not be waited on.
    RegularFile file(path);
    unsigned char header[kPixelOffset];
    if (file.read(header, sizeof header) != sizeof header)
        return;
    const unsigned char* info = header + kFileHeaderSize;
    const int32_t fileWidth = readInt32(info + 4);
    const int32_t fileHeight = readInt32(info + 8);
    const uint16_t bitsPerPixel = readUint16(info + 14);
    const int32_t compression = readInt32(info + 16);
    if (bitsPerPixel != 8 || compression != 0)
        return;
    if (fileWidth <= 0 || fileWidth > kMaxSide || fileHeight <= 0 || fileHeight > kMaxSide) {
        return;
    }

    uint32_t palette[256];
    const unsigned char* table = info + kInfoHeaderSize;
    for (int i = 0; i < 256; ++i) {  // entries are blue, green, red, reserved
        palette[i] = static_cast<uint32_t>(table[i * 4 + 2]) << 16 |
                     static_cast<uint32_t>(table[i * 4 + 1]) << 8 | table[i * 4];
    }

    // Rows are padded to 4 bytes. A file shorter than its header says is broken: nothing.
    const size_t stride = (static_cast<size_t>(fileWidth) + 3) & ~size_t{3};
    const size_t size = stride * static_cast<size_t>(fileHeight);
    std::unique_ptr<unsigned char[]> data(new (std::nothrow) unsigned char[size]());
    if (!data)
        return;
    if (file.read(data.get(), size) != size)
        return;

    // The image's top-left corner goes to (x, y); file rows run bottom-up.
    const int64_t drawWidth = std::min(width, fileWidth);
    const int64_t drawHeight = std::min(height, fileHeight);
    const int64_t col0 = std::max<int64_t>(0, -int64_t{x});
    const int64_t col1 = std::min<int64_t>(drawWidth, int64_t{width_} - x);
    const int64_t row0 = std::max<int64_t>(0, -int64_t{y});
    const int64_t row1 = std::min<int64_t>(drawHeight, int64_t{height_} - y);
    if (col0 < col1 && row0 < row1)
        markDrawn({static_cast<int32_t>(x + col0), static_cast<int32_t>(y + row0),
                   static_cast<int32_t>(x + col1), static_cast<int32_t>(y + row1)});
    for (int64_t row = row0; row < row1; ++row) {
        const unsigned char* src = data.get() + static_cast<size_t>(fileHeight - 1 - row) * stride;
        for (int64_t col = col0; col < col1; ++col) {
            putPixel(static_cast<int32_t>(x + col), static_cast<int32_t>(y + row),
                     palette[src[col]]);
        }
    }
}

}  // namespace vandrel
