#pragma once
#include <cstddef>
#include <cstdint>

#include "render/canvas.h"

// What each platform file (canvas_surface_linux.cpp, canvas_surface_win32.cpp) provides:
// the pixel buffer's home, fonts and text. Everything else about drawing is portable.
namespace vandrel {

// Makes a zero-filled width x height buffer; null when it cannot be made.
Surface* createSurface(int32_t width, int32_t height, uint32_t** pixels);
void destroySurface(Surface* surface);

FontHandle* createFontHandle(int32_t height, int32_t weight);
void destroyFontHandle(FontHandle* font);

// Size of the text in the font, as GetTextExtentPoint32A reports it.
Extent measureText(Surface* surface, const FontHandle* font, const char* text, size_t length);
// Draws opaque text with its top-left corner at (x, y), clipped to the buffer.
void renderText(Surface* surface, const FontHandle* font, int32_t x, int32_t y, const char* text,
                size_t length, Color textColor, Color backgroundColor);

}  // namespace vandrel
