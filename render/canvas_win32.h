#pragma once
#include <windows.h>

#include "render/canvas.h"

namespace vandrel {

// The memory device context that holds the canvas's DIB section, for copying the canvas
// to a window with BitBlt. Null for a canvas whose buffer could not be made.
HDC deviceContext(const Canvas& canvas);

// A 32-bit top-down DIB section, the canvas's pixel layout; *bits receives its pixels.
// Null when it cannot be made.
HBITMAP createTopDownDib(HDC dc, int32_t width, int32_t height, uint32_t** bits);

}  // namespace vandrel
