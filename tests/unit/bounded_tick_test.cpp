#include <gtest/gtest.h>

#include <cstring>

#include "render/dashboard.h"
#include "test_record.h"

namespace vandrel {
namespace {

// The worst record a worker can publish: every flag set, every row full and tall, and
// values that would make unguarded loops run for billions of steps.
void adversarial(const SharedStatus& s) {
    uint8_t* base = s.base();
    std::memset(base + rec::userInfo, 'A', rec::userInfoLength);
    std::memset(base + rec::analysisText, 'B', rec::analysisTextLength);
    s.storeI32(rec::plotDepthX, 2147483647);
    s.storeI32(rec::plotDepthY, -2147483647);
    s.storeI32(rec::plotMaxHeight, 1);
    s.storeI32(rec::plotRowCount, 2147483647);
    s.storeI32(rec::plotRowLength, 2147483647);
    s.storeFloat(rec::gaussSigma, 1e-30f);
    s.storeFloat(rec::gaussPeakPower, 3e38f);
    s.storeFloat(rec::gaussMeanPower, -3e38f);
    s.storeI32(rec::gaussCentre, -2147483647);
    s.storeFloat(rec::progressFraction, 1e30f);
    s.storeFloat(rec::barFraction, 1e30f);
    s.storeDouble(rec::cpuSeconds, 1e300);
    s.storeDouble(rec::totalCpuSeconds, -1e300);
    s.storeDouble(rec::recordedJulianDate, 1e300);
    s.storeI32(rec::fftLength, 0);
    for (size_t f : {rec::analysisTextDirty, rec::userInfoDirty, rec::dataInfoDirty, rec::cpuDirty,
                     rec::progressDirty, rec::barDirty, rec::driftDirty, rec::auxDirtyA,
                     rec::auxDirtyB, rec::gaussianDirty, rec::messageDirty, rec::plotAxesDirty})
        s.storeI32(f, -1);
    for (int32_t i = 0; i < rec::plotRowCapacity; ++i) {
        std::memset(base + rec::plotRow(i), 255, rec::plotRowHeights);
        s.markDirty(rec::plotRowDirty(i));
    }
}

TEST(BoundedTick, RowWalkStopsAtTheBudgetAndEveryTickProgresses) {
    testing::TestRecord record;
    const SharedStatus& s = record.status;
    testing::ScriptedClock clock;
    Dashboard d(s, true, "none.bmp", clock.clock());
    adversarial(s);
    s.storeI32(rec::saverAttached, 1);

    // Each row "takes" 400 ms: the walk ends after the row that passes 1000 ms, the third.
    for (uint32_t t = 0; t < 2000; ++t)
        clock.readings.push_back(t * 400);
    EXPECT_TRUE(d.updateFromStatus());
    EXPECT_EQ(clock.next, 4u);  // the start and one reading after each of three rows
    int flagged = 0;
    for (int32_t i = 0; i < rec::plotRowCapacity; ++i)
        flagged += s.isDirty(rec::plotRowDirty(i));
    EXPECT_EQ(flagged, rec::plotRowCapacity - 3);
    EXPECT_FALSE(s.isDirty(rec::plotAxesDirty));
    EXPECT_FALSE(s.isDirty(rec::gaussianDirty));

    // Every later tick serves at least one row, so the backlog drains in bounded ticks.
    int ticks = 1;
    while (d.updateFromStatus())
        ASSERT_LT(++ticks, 200);
    for (int32_t i = 0; i < rec::plotRowCapacity; ++i)
        EXPECT_FALSE(s.isDirty(rec::plotRowDirty(i)));
    EXPECT_EQ(s.loadI32(rec::saverAttached), 1);
    EXPECT_EQ(d.plotRowCount, rec::plotRowCapacity);
    EXPECT_EQ(d.plotRowLength, 600);
}

}  // namespace
}  // namespace vandrel
