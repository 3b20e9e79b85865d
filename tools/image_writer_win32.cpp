#include <cstdio>
#include <vector>

#include "tools/image_writer.h"

namespace vandrel {

const char* const kImageExtension = ".bmp";

namespace {
void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
}  // namespace

bool writeImage(const char* path, const uint32_t* pixels, int32_t width, int32_t height,
                std::string& error) {
    if (pixels == nullptr || width <= 0 || height <= 0 || width > 100000 || height > 100000) {
        error = "no picture to write";
        return false;
    }
    // Rows bottom-up, blue-green-red, each padded to 4 bytes: what every viewer reads.
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t imageSize = stride * static_cast<uint32_t>(height);
    std::vector<uint8_t> out;
    out.reserve(54 + imageSize);
    put16(out, 0x4D42);  // "BM"
    put32(out, 54 + imageSize);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, static_cast<uint32_t>(width));
    put32(out, static_cast<uint32_t>(height));
    put16(out, 1);
    put16(out, 24);
    for (uint32_t v : {0u, imageSize, 2835u, 2835u, 0u, 0u})
        put32(out, v);
    for (int32_t y = height - 1; y >= 0; --y) {
        const uint32_t* row = pixels + static_cast<size_t>(y) * width;
        for (int32_t x = 0; x < width; ++x) {
            out.push_back(static_cast<uint8_t>(row[x]));
            out.push_back(static_cast<uint8_t>(row[x] >> 8));
            out.push_back(static_cast<uint8_t>(row[x] >> 16));
        }
        out.resize(out.size() + stride - static_cast<uint32_t>(width) * 3, 0);
    }
    FILE* f = std::fopen(path, "wb");
    bool ok = f != nullptr && std::fwrite(out.data(), 1, out.size(), f) == out.size();
    if (f != nullptr && std::fclose(f) != 0)
        ok = false;
    if (!ok) {
        std::remove(path);
        error = std::string("cannot write ") + path;
    }
    return ok;
}

}  // namespace vandrel
