#pragma once
#include <windows.h>

#include "render/canvas.h"

namespace vandrel {

// The memory device context that holds the canvas's DIB section, for copying the canvas
// to a window with BitBlt. Null for a canvas whose buffer could not be made.
HDC deviceContext(const Canvas& canvas);

}  // namespace vandrel
