#pragma once
#include <cstdint>
#include <string>

namespace vandrel {

// Writes a top-down buffer of 0x00RRGGBB pixels, width x height, tightly packed, as an
// 8-bit RGB PNG with exactly those pixels. On failure it returns false with a one-line
// reason in error and removes any partial file; nothing is thrown.
bool writePng(const char* path, const uint32_t* pixels, int32_t width, int32_t height,
              std::string& error);

}  // namespace vandrel
