#pragma once
#include <algorithm>
#include <cstdint>

namespace vandrel {

// A point in pixels.
struct Point {
    int32_t x;
    int32_t y;
    friend constexpr bool operator==(const Point&, const Point&) = default;
};

// Left, top, right, bottom in pixels; right and bottom are exclusive. A rectangle with
// no area (right <= left or bottom <= top) is empty, wherever it lies.
struct Rect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

constexpr bool isEmpty(const Rect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// The smallest rectangle holding both; an empty one adds nothing.
constexpr Rect unionRect(const Rect& a, const Rect& b) {
    if (isEmpty(a))
        return isEmpty(b) ? Rect{0, 0, 0, 0} : b;
    if (isEmpty(b))
        return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

// The common part, or the empty {0, 0, 0, 0}.
constexpr Rect intersectRect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    return isEmpty(r) ? Rect{0, 0, 0, 0} : r;
}

}  // namespace vandrel
