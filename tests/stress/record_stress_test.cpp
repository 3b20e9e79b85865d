// One thread writes the record as a worker can, at full speed: random fields with random
// or extreme values, flags set and cleared, rows filled, and now and then the synthetic
// worker's own step. Meanwhile the dashboard updates from it. Built in the sanitizer
// builds, where an unsynchronised access to the record (ThreadSanitizer) or an access
// outside the record or the canvas (AddressSanitizer) is a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "render/dashboard.h"
#include "tools/record_generator.h"
#include "tools/record_writes.h"

namespace vandrel {
namespace {

using Steady = std::chrono::steady_clock;

// 30 s unless VANDREL_STRESS_SECONDS says otherwise (for a quick run by hand).
double stressSeconds() {
    const char* text = std::getenv("VANDREL_STRESS_SECONDS");
    const double s = text != nullptr ? std::atof(text) : 30;
    return s > 0 ? s : 30;
}

struct Random {
    uint64_t state;
    uint64_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
};

// The plot's parameters and the message switch as a sane worker wrote them, put back now
// and then: without the plot showing, most updates would have nothing to draw.
struct SanePlot {
    explicit SanePlot(SharedStatus s) {
        for (size_t i = 0; i < std::size(offsets); ++i)
            words[i] = s.loadU32(offsets[i]);
    }
    void restore(SharedStatus s) const {
        for (size_t i = 0; i < std::size(offsets); ++i)
            s.storeU32(offsets[i], words[i]);
    }
    static constexpr size_t offsets[] = {rec::messagePresent, rec::plotDepthX,    rec::plotDepthY,
                                         rec::plotMirrored,   rec::plotMaxHeight, rec::plotRowCount,
                                         rec::plotRowLength};
    uint32_t words[std::size(offsets)];
};

// One write of a racing worker.
void randomWrite(SharedStatus s, RecordGenerator& worker, const SanePlot& sane, Random& rnd) {
    const uint64_t r = rnd.next();
    const auto fields = writes::fields();
    const auto flags = writes::partFlags();
    const auto anyFlag = [&](uint64_t v) {
        const size_t i = v % (flags.size() + rec::plotRowCapacity);
        return i < flags.size() ? flags[i]
                                : writes::rowFlag(static_cast<int32_t>(i - flags.size()));
    };
    switch (r % 16) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4: {
            const writes::Field& f = fields[(r >> 8) % fields.size()];
            const uint32_t pick = static_cast<uint32_t>(r >> 16);
            if (f.kind == writes::FieldKind::text) {
                unsigned char bytes[rec::messageLineLength];
                for (unsigned char& b : bytes)
                    b = static_cast<unsigned char>(32 + rnd.next() % 96);
                writes::writeText(s, f, bytes, pick % sizeof bytes, (r >> 40) & 1);
            } else if ((r >> 48) & 1) {
                writes::writeBits(s, f, pick, rnd.next());
            } else if (f.kind == writes::FieldKind::f32) {
                writes::writeBits(s, f, pick,
                                  std::bit_cast<uint32_t>(writes::interestingF32(pick)));
            } else if (f.kind == writes::FieldKind::f64) {
                writes::writeBits(s, f, pick,
                                  std::bit_cast<uint64_t>(writes::interestingF64(pick)));
            } else {
                writes::writeBits(s, f, pick, writes::interestingI32(pick));
            }
            break;
        }
        case 5:
        case 6:
        case 7:
        case 8:
            s.storeI32(anyFlag(r >> 8), static_cast<int32_t>(r >> 32) | 1);
            break;
        case 9:
            s.clearDirty(anyFlag(r >> 8));
            break;
        case 10:
        case 11:
        case 12: {
            alignas(4) uint8_t heights[rec::plotRowHeights];
            for (size_t j = 0; j < rec::plotRowHeights; j += 8) {
                const uint64_t h = rnd.next();
                std::memcpy(heights + j, &h, 8);
            }
            const int32_t row = static_cast<int32_t>((r >> 8) % rec::plotRowCapacity);
            writes::writeRow(s, row, heights);
            s.markDirty(writes::rowFlag(row));
            break;
        }
        case 13:
            sane.restore(s);
            break;
        default:
            // The well-behaved worker's step keeps sane plot parameters and texts coming.
            worker.step(static_cast<uint32_t>((r >> 8) % 400));
            break;
    }
}

TEST(RecordStress, DashboardUpdatesWhileAWorkerWritesAtFullSpeed) {
    // Exactly the record's size (malloc aligns it for the 8-byte fields), so that an
    // access just past its end is an ASan report.
    std::vector<uint32_t> words(rec::recordSize / 4, 0);
    SharedStatus s(words.data());
    Dashboard dashboard(s, true, "no-header.bmp");
    RecordGenerator worker(s, GeneratorOptions{});
    worker.publishAll();
    const SanePlot sane(s);

    const double seconds = stressSeconds();
    std::atomic<bool> stop{false};
    uint64_t writeCount = 0;
    std::thread writer([&] {
        Random rnd{0x9E3779B97F4A7C15ULL};
        while (!stop.load(std::memory_order_relaxed)) {
            randomWrite(s, worker, sane, rnd);
            ++writeCount;
        }
    });

    uint64_t updates = 0, drew = 0;
    Steady::duration longest{};
    const auto start = Steady::now();
    const auto end = start + std::chrono::duration_cast<Steady::duration>(
                                 std::chrono::duration<double>(seconds));
    while (Steady::now() < end) {
        const auto t = Steady::now();
        drew += dashboard.updateFromStatus() ? 1 : 0;
        longest = std::max(longest, Steady::now() - t);
        ++updates;
    }
    stop = true;
    writer.join();
    const double elapsed = std::chrono::duration<double>(Steady::now() - start).count();
    const double longestMs = std::chrono::duration<double, std::milli>(longest).count();
    // Updates that find nothing to serve take well under a microsecond, so the count of
    // those that drew says more than the count of all.
    std::printf("%.1f s: %llu updates (%.0f/s), %llu of them drew (%.0f/s), %llu writes (%.0f/s)\n",
                elapsed, static_cast<unsigned long long>(updates),
                static_cast<double>(updates) / elapsed, static_cast<unsigned long long>(drew),
                static_cast<double>(drew) / elapsed, static_cast<unsigned long long>(writeCount),
                static_cast<double>(writeCount) / elapsed);
    std::printf("longest update %.1f ms\n", longestMs);

    EXPECT_GT(writeCount, 0u);
    EXPECT_GT(drew, 0u);
    // The row walk's budget is a second; the rest of an update is bounded work.
    EXPECT_LT(longestMs, 5000);
    // After the storm a well-behaved worker is served in full within bounded updates.
    worker.publishAll();
    int drains = 0;
    while (dashboard.updateFromStatus())
        ASSERT_LT(++drains, 300);
    for (size_t flag : writes::partFlags())
        EXPECT_FALSE(s.isDirty(flag)) << flag;
    for (int32_t i = 0; i < rec::plotRowCapacity; ++i)
        EXPECT_FALSE(s.isDirty(rec::plotRowDirty(i))) << i;
}

}  // namespace
}  // namespace vandrel
