#pragma once
#include <cstdint>
#include <vector>

#include "record/shared_status.h"
#include "render/canvas.h"
#include "render/dashboard.h"

namespace vandrel::testing {

// A zero-filled, 8-byte aligned buffer standing in for the mapped record.
struct TestRecord {
    std::vector<uint64_t> words = std::vector<uint64_t>((rec::recordSize + 7) / 8, 0);
    SharedStatus status{words.data()};
};

// A clock that answers from a script of readings, then repeats the last one.
struct ScriptedClock {
    std::vector<uint32_t> readings;
    size_t next = 0;
    static uint32_t now(void* self) {
        auto* c = static_cast<ScriptedClock*>(self);
        if (c->readings.empty())
            return 0;
        uint32_t v = c->readings[c->next < c->readings.size() ? c->next : c->readings.size() - 1];
        ++c->next;
        return v;
    }
    Clock clock() { return Clock{now, this}; }
};

inline std::vector<uint32_t> snapshot(const Canvas& c) {
    return std::vector<uint32_t>(c.pixels(),
                                 c.pixels() + static_cast<size_t>(c.width()) * c.height());
}

// Counts pixels that differ between two snapshots outside rect r.
inline int changedOutside(const std::vector<uint32_t>& before, const Canvas& c, Rect r) {
    int n = 0;
    for (int32_t y = 0; y < c.height(); ++y)
        for (int32_t x = 0; x < c.width(); ++x) {
            bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
            if (!inside && c.pixel(x, y) != before[static_cast<size_t>(y) * c.width() + x])
                ++n;
        }
    return n;
}

inline bool differs(const std::vector<uint32_t>& before, const Canvas& c) {
    return before != snapshot(c);
}

}  // namespace vandrel::testing
