// The update cycle over arbitrary record bytes. The dashboard is built once; each input
// is played as a few worker writes, each followed by a tick, as a worker racing the saver.
#include <cstdint>
#include <cstring>
#include <vector>

#include "render/dashboard.h"

namespace {
using namespace vandrel;

uint32_t fuzzClockNow = 0;
uint32_t fuzzClock(void*) {
    return fuzzClockNow;
}

struct Fixture {
    std::vector<uint64_t> words = std::vector<uint64_t>((rec::recordSize + 7) / 8, 0);
    SharedStatus status{words.data()};
    Dashboard dashboard{status, true, "no-header.bmp", Clock{fuzzClock, nullptr}};
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture f;
    unsigned char* base = f.status.base();
    if (size == 0)
        return 0;
    const int ticks = 1 + data[0] % 4;
    ++data;
    --size;
    const size_t piece = size / ticks;
    for (int t = 0; t < ticks; ++t) {
        const uint8_t* p = data + piece * t;
        // A full record image lands whole; shorter pieces overwrite the fields that matter,
        // at a place that varies from tick to tick.
        if (piece >= rec::recordSize) {
            std::memcpy(base, p, rec::recordSize);
        } else if (piece > 0) {
            size_t at = (t * 977u) % rec::plotRows;
            size_t n = piece < rec::recordSize - at ? piece : rec::recordSize - at;
            std::memcpy(base + at, p, n);
            // Flag some rows, with heights drawn from the same bytes.
            for (int32_t i = 0; i < rec::plotRowCapacity; i += 1 + p[0] % 17) {
                for (size_t j = 0; j < rec::plotRowHeights; j += 7)
                    base[rec::plotRow(i) + j] = p[(i + j) % piece];
                f.status.storeI32(rec::plotRowDirty(i), p[i % piece]);
            }
        }
        fuzzClockNow += piece > 0 ? p[piece - 1] * 16u : 1;
        f.dashboard.updateFromStatus();
    }
    return 0;
}
