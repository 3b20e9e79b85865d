#include "tools/png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace vandrel {

namespace {

// libpng reports errors by calling this and expects it not to return: it records the
// message and longjmps back into writePng, which owns no objects with destructors
// across the jump.
void onError(png_structp png, png_const_charp message) {
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    if (error != nullptr)
        *error = message;
    png_longjmp(png, 1);
}
void onWarning(png_structp, png_const_charp) {}

// Everything that may be live when libpng jumps back, so no destructor is skipped.
struct PngState {
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
};

bool encode(PngState& s, const uint8_t* rgb, int32_t width, int32_t height) {
    if (setjmp(png_jmpbuf(s.png)))
        return false;
    png_init_io(s.png, s.file);
    png_set_IHDR(s.png, s.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(s.png, s.info);
    for (int32_t y = 0; y < height; ++y) {
        png_write_row(s.png, rgb + static_cast<size_t>(y) * width * 3);
    }
    png_write_end(s.png, s.info);
    return true;
}

}  // namespace

bool writePng(const char* path, const uint32_t* pixels, int32_t width, int32_t height,
              std::string& error) {
    error.clear();
    if (pixels == nullptr || width <= 0 || height <= 0 || width > 65535 || height > 65535) {
        error = "no image to write";
        return false;
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
        rgb[3 * i] = static_cast<uint8_t>(pixels[i] >> 16);
        rgb[3 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        rgb[3 * i + 2] = static_cast<uint8_t>(pixels[i]);
    }

    PngState s;
    s.file = std::fopen(path, "wb");
    if (s.file == nullptr) {
        error = std::string("cannot create ") + path;
        return false;
    }
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, onError, onWarning);
    if (s.png != nullptr)
        s.info = png_create_info_struct(s.png);
    bool ok = s.png != nullptr && s.info != nullptr && encode(s, rgb.data(), width, height);
    if (s.png != nullptr)
        png_destroy_write_struct(&s.png, s.info != nullptr ? &s.info : nullptr);
    if (std::fclose(s.file) != 0 && ok) {
        ok = false;
        error = std::string("cannot finish ") + path;
    }
    if (!ok) {
        if (error.empty())
            error = "out of memory";
        std::remove(path);
    }
    return ok;
}

}  // namespace vandrel
