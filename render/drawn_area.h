#pragma once
#include <cstdint>

#include "render/rect.h"

namespace vandrel {

// The parts of a canvas drawn since they were last taken, as a few rectangles: drawings
// far apart (a gauge at the top, a plot row at the bottom) stay apart, so a window copies
// what changed and not the wide box around both.
class DrawnArea {
  public:
    static constexpr int kMaxRects = 4;

    // r is clipped and not empty. It joins a rectangle it touches; otherwise it starts a
    // new one, or, with all in use, joins the one that grows least.
    void add(const Rect& r) {
        for (int i = 0; i < count_; ++i) {
            if (touches(rects_[i], r)) {
                rects_[i] = unionRect(rects_[i], r);
                return;
            }
        }
        if (count_ < kMaxRects) {
            rects_[count_++] = r;
            return;
        }
        int best = 0;
        int64_t bestGrowth = INT64_MAX;
        for (int i = 0; i < count_; ++i) {
            const int64_t growth = area(unionRect(rects_[i], r)) - area(rects_[i]);
            if (growth < bestGrowth) {
                bestGrowth = growth;
                best = i;
            }
        }
        rects_[best] = unionRect(rects_[best], r);
    }

    int count() const { return count_; }
    bool empty() const { return count_ == 0; }
    const Rect& operator[](int i) const { return rects_[i]; }
    bool contains(int32_t x, int32_t y) const {
        for (int i = 0; i < count_; ++i) {
            const Rect& r = rects_[i];
            if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
                return true;
        }
        return false;
    }
    // The pixels a copy of every rectangle moves (overlaps count twice).
    int64_t pixels() const {
        int64_t n = 0;
        for (int i = 0; i < count_; ++i)
            n += area(rects_[i]);
        return n;
    }

  private:
    static int64_t area(const Rect& r) { return int64_t{r.right - r.left} * (r.bottom - r.top); }
    static bool touches(const Rect& a, const Rect& b) {
        return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
    }

    Rect rects_[kMaxRects];
    int count_ = 0;
};

}  // namespace vandrel
