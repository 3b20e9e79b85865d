#pragma once
#include <cstddef>
#include <cstdint>

#include "render/canvas.h"
#include "render/rect.h"

// The one nearest-neighbour enlargement of the canvas into a 32-bit pixel buffer, for
// every display whose pixels are our own memory (a Wayland buffer, a test's screen).
namespace vandrel {

// Pixels the copy writes into: width x height of them, rows stride pixels apart.
struct PixelBuffer {
    uint32_t* pixels;
    int32_t width;
    int32_t height;
    size_t stride;
};

// Copies part (canvas coordinates) of canvas so that its top-left pixel lands at
// origin + part's corner * scale, each canvas pixel a scale x scale block, clipped to
// clip and to the buffer; every pixel written is ORed with set (an alpha byte, say).
// Returns the box of the pixels that changed value, empty when none did, so that a
// caller can damage only those. Nothing happens for a scale below 1.
Rect copyScaled(const Canvas& canvas, Rect part, Point origin, int32_t scale, Rect clip,
                PixelBuffer out, uint32_t set = 0);

}  // namespace vandrel
