#pragma once
#include <cstdint>
#include <string>

// The snapshot command's picture file: a PNG on Linux; a 24-bit BMP on Windows, where no
// PNG library is at hand. Either holds exactly the canvas's pixels.
namespace vandrel {

// ".png" or ".bmp".
extern const char* const kImageExtension;

// Writes top-down 0x00RRGGBB pixels; false with a one-line reason in error on failure.
bool writeImage(const char* path, const uint32_t* pixels, int32_t width, int32_t height,
                std::string& error);

}  // namespace vandrel
