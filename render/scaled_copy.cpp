#include "render/scaled_copy.h"

#include <algorithm>
#include <cstdint>

namespace vandrel {

Rect copyScaled(const Canvas& canvas, Rect part, Point origin, int32_t scale, Rect clip,
                PixelBuffer out, uint32_t set) {
    part = intersectRect(part, {0, 0, canvas.width(), canvas.height()});
    if (isEmpty(part) || scale < 1 || out.pixels == nullptr) {
        return {0, 0, 0, 0};
    }
    // Where the part lands, in 64 bits: a far origin or a large scale cannot overflow.
    const auto at = [](int32_t o, int32_t c, int32_t s) {
        return static_cast<int32_t>(
            std::clamp<int64_t>(int64_t{o} + int64_t{c} * s, INT32_MIN, INT32_MAX));
    };
    const Rect placed{at(origin.x, part.left, scale), at(origin.y, part.top, scale),
                      at(origin.x, part.right, scale), at(origin.y, part.bottom, scale)};
    const Rect target = intersectRect(intersectRect(placed, clip), {0, 0, out.width, out.height});
    Rect changed{0, 0, 0, 0};
    const uint32_t* pixels = canvas.pixels();
    for (int32_t y = target.top; y < target.bottom; ++y) {
        const uint32_t* row =
            pixels + static_cast<size_t>((int64_t{y} - origin.y) / scale) * canvas.width();
        uint32_t* line = out.pixels + static_cast<size_t>(y) * out.stride;
        int32_t first = target.right, last = target.left - 1;
        for (int32_t x = target.left; x < target.right; ++x) {
            const uint32_t pixel = row[(int64_t{x} - origin.x) / scale] | set;
            if (line[x] != pixel) {
                line[x] = pixel;
                first = std::min(first, x);
                last = x;
            }
        }
        if (last >= first) {
            changed = unionRect(changed, {first, y, last + 1, y + 1});
        }
    }
    return changed;
}

}  // namespace vandrel
