#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "render/dashboard.h"
#include "test_record.h"

namespace vandrel {
namespace {

using testing::changedOutside;
using testing::snapshot;

struct CycleTest : ::testing::Test {
    testing::TestRecord record;
    std::unique_ptr<Dashboard> d;
    const SharedStatus& s = record.status;
    void SetUp() override { d = std::make_unique<Dashboard>(s, false, "none.bmp"); }

    // Pixels of one text row of a panel (and a little beyond its end).
    static std::vector<uint32_t> rowOf(Dashboard& dash, TextPanel& p, int32_t i) {
        Rect r = p.rowRect(i);
        std::vector<uint32_t> out;
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right + 24; ++x)
                out.push_back(dash.canvas().pixel(x, y));
        return out;
    }
    std::vector<uint32_t> rowPixels(TextPanel& p, int32_t i) { return rowOf(*d, p, i); }
    // What setRow(i, text) draws on a fresh dashboard.
    std::vector<uint32_t> expectedRow(TextPanel& (Dashboard::*panel)(), int32_t i,
                                      const char* text) {
        testing::TestRecord other;
        Dashboard ref(other.status, false, "none.bmp");
        (ref.*panel)().setRow(i, text);
        return rowOf(ref, (ref.*panel)(), i);
    }
};

TEST_F(CycleTest, IdleTicksDrawNothing) {
    auto before = snapshot(d->canvas());
    EXPECT_FALSE(d->updateFromStatus());
    s.storeI32(rec::messagePresent, 1);
    EXPECT_FALSE(d->updateFromStatus());
    EXPECT_EQ(before, snapshot(d->canvas()));
}

TEST_F(CycleTest, TextsOfEveryRow) {
    s.setText(rec::analysisText, rec::analysisTextLength, "Searching for pulses");
    s.markDirty(rec::analysisTextDirty);
    s.setText(rec::userName, 268, "Ada");
    s.storeI32(rec::unitsCompleted, 42);
    s.storeDouble(rec::totalCpuSeconds, 3725.5);
    s.markDirty(rec::userInfoDirty);
    s.storeFloat(rec::raHours, 13.5f);
    s.storeFloat(rec::decDegrees, 18.25f);
    s.storeDouble(rec::recordedJulianDate, 0);
    s.storeI32(rec::sourceKind, 2);
    s.storeDouble(rec::baseFrequencyHz, 1420000000.0);
    s.markDirty(rec::dataInfoDirty);
    s.storeFloat(rec::driftRate, 0.5f);
    s.storeI32(rec::fftLength, 8);
    s.storeDouble(rec::sampleRateHz, 10.0);
    s.markDirty(rec::driftDirty);
    EXPECT_TRUE(d->updateFromStatus());
    for (size_t f :
         {rec::analysisTextDirty, rec::userInfoDirty, rec::dataInfoDirty, rec::driftDirty})
        EXPECT_FALSE(s.isDirty(f));

    using D = Dashboard;
    EXPECT_EQ(rowPixels(d->analysisPanel(), 1),
              expectedRow(&D::analysisPanel, 1, "Searching for pulses"));
    EXPECT_EQ(rowPixels(d->userInfoPanel(), 1), expectedRow(&D::userInfoPanel, 1, "Name: Ada"));
    EXPECT_EQ(rowPixels(d->userInfoPanel(), 2),
              expectedRow(&D::userInfoPanel, 2, "Data units completed: 42"));
    EXPECT_EQ(rowPixels(d->userInfoPanel(), 3),
              expectedRow(&D::userInfoPanel, 3, "Total computer time: 1 hr 02 min 05.5 sec"));
    EXPECT_EQ(rowPixels(d->dataInfoPanel(), 1),
              expectedRow(&D::dataInfoPanel, 1, "From: 13 hr 30'  0\" RA, + 18 deg 15'  0\" Dec"));
    EXPECT_EQ(rowPixels(d->dataInfoPanel(), 2),
              expectedRow(&D::dataInfoPanel, 2, "Recorded on: 0.0 GMT"));
    EXPECT_EQ(rowPixels(d->dataInfoPanel(), 3),
              expectedRow(&D::dataInfoPanel, 3, "Source: Arecibo Radio Observatory"));
    EXPECT_EQ(rowPixels(d->dataInfoPanel(), 4),
              expectedRow(&D::dataInfoPanel, 4, "Base Frequency: 1.420000000 GHz"));
    EXPECT_EQ(rowPixels(d->analysisPanel(), 2),
              expectedRow(&D::analysisPanel, 2,
                          "Doppler drift rate: 0.5000 Hz/sec    Resolution: 1.250 Hz"));

    for (int32_t kind : {0, 1, 3}) {
        s.storeI32(rec::sourceKind, kind);
        s.markDirty(rec::dataInfoDirty);
        d->updateFromStatus();
        EXPECT_EQ(rowPixels(d->dataInfoPanel(), 3),
                  expectedRow(&D::dataInfoPanel, 3, "Source: Test Data"));
    }
}

TEST_F(CycleTest, ProgressAndCpuShareOneRow) {
    s.storeFloat(rec::progressFraction, 0.5f);
    s.storeDouble(rec::cpuSeconds, 61);
    for (auto flags : {std::vector<size_t>{rec::progressDirty},
                       {rec::cpuDirty},
                       {rec::progressDirty, rec::cpuDirty}}) {
        for (size_t f : flags)
            s.storeI32(f, 7);
        EXPECT_TRUE(d->updateFromStatus());
        EXPECT_FALSE(s.isDirty(rec::progressDirty));
        EXPECT_FALSE(s.isDirty(rec::cpuDirty));
        EXPECT_EQ(d->progressCube().filledCount, d->progressCube().capacity / 2);
    }
    // Both flags drew one pair of texts on row 10.
    testing::TestRecord other;
    Dashboard ref(other.status, false, "none.bmp");
    ref.analysisPanel().setRowPair(10, "Overall: 50.000% done", "CPU time: 0 hr 01 min 01.0 sec");
    Rect r = ref.analysisPanel().rowRect(10);
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x)
            ASSERT_EQ(d->canvas().pixel(x, y), ref.canvas().pixel(x, y)) << x << "," << y;
}

TEST_F(CycleTest, AuxFlagsReportDrawingWithoutChange) {
    auto before = snapshot(d->canvas());
    for (size_t f : {rec::auxDirtyA, rec::auxDirtyB}) {
        s.storeI32(f, -1);
        EXPECT_TRUE(d->updateFromStatus());
        EXPECT_FALSE(s.isDirty(f));
        EXPECT_FALSE(d->updateFromStatus());
    }
    EXPECT_EQ(before, snapshot(d->canvas()));
}

TEST_F(CycleTest, AnalysisTextClearsThePercentBar) {
    s.storeFloat(rec::barFraction, 1.0f);
    s.markDirty(rec::barDirty);
    d->updateFromStatus();
    const Rect bar = d->percentBar().bounds;
    EXPECT_EQ(d->canvas().pixel(bar.right - 1, bar.top + 5), toPixel(colorWhite));
    s.markDirty(rec::analysisTextDirty);
    d->updateFromStatus();
    EXPECT_EQ(d->canvas().pixel(bar.right - 1, bar.top + 5), toPixel(colorBlack));
}

TEST_F(CycleTest, GaussianRowAndGraph) {
    const Rect graph = d->gaussianGraph().bounds;
    auto graphInk = [&] {
        int n = 0;
        for (int32_t y = graph.top; y < graph.bottom; ++y)
            for (int32_t x = graph.left; x < graph.right; ++x)
                n += d->canvas().pixel(x, y) != 0;
        return n;
    };
    s.storeI32(rec::gaussIsBest, 1);
    s.storeFloat(rec::gaussPeakPower, 3.5f);
    s.storeFloat(rec::gaussFit, 0.25f);
    s.storeFloat(rec::gaussSigma, 4);
    s.storeI32(rec::gaussCentre, 32);
    s.markDirty(rec::gaussianDirty);
    d->updateFromStatus();
    EXPECT_EQ(rowPixels(d->analysisPanel(), 3),
              expectedRow(&Dashboard::analysisPanel, 3, "Best Gaussian: power  3.50, fit 0.250"));
    EXPECT_GT(graphInk(), 389);
    // No power (0 or NaN): the row is empty and the graph black, "Best" or not.
    for (float peak : {0.0f, std::numeric_limits<float>::quiet_NaN()}) {
        s.storeFloat(rec::gaussPeakPower, peak);
        s.markDirty(rec::gaussianDirty);
        d->updateFromStatus();
        EXPECT_EQ(rowPixels(d->analysisPanel(), 3), expectedRow(&Dashboard::analysisPanel, 3, ""));
        EXPECT_EQ(graphInk(), 0);
    }
}

TEST_F(CycleTest, MessageReplacesThePlotAndHoldsItsRows) {
    const Rect plot = d->plotPanel().bounds;
    s.storeI32(rec::plotRowCount, 1);
    s.storeI32(rec::plotRowLength, 10);
    s.storeI32(rec::plotMaxHeight, 50);
    s.base()[rec::plotRow(0)] = 20;
    s.markDirty(rec::plotRowDirty(0));
    s.markDirty(rec::plotAxesDirty);
    s.storeI32(rec::messagePresent, 1);
    s.setText(rec::messageLine1, 128, "Please connect");
    s.setText(rec::messageLine2, 128, "to the network");
    s.markDirty(rec::messageDirty);
    auto before = snapshot(d->canvas());
    EXPECT_TRUE(d->updateFromStatus());
    EXPECT_EQ(changedOutside(before, d->canvas(), plot), 0);
    // Lines in largeFont, centred: ink around the panel's middle, rows flags held.
    int32_t cx = plot.left + d->plotPanel().width / 2, top = plot.bottom, bottom = 0;
    for (int32_t y = plot.top; y < plot.bottom; ++y)
        for (int32_t x = cx - 40; x < cx + 40; ++x)
            if (d->canvas().pixel(x, y) != 0) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    const int32_t cy = plot.top + (plot.bottom - plot.top) / 2;
    EXPECT_GE(top, cy - 30);
    EXPECT_LT(top, cy - 20);
    EXPECT_GT(bottom, cy + 10);
    EXPECT_LE(bottom, cy + 30);
    EXPECT_TRUE(s.isDirty(rec::plotRowDirty(0)));
    EXPECT_TRUE(s.isDirty(rec::plotAxesDirty));
    EXPECT_FALSE(d->updateFromStatus());

    // Message gone in the same tick as flagged rows: black panel first, then the rows.
    s.storeI32(rec::messagePresent, 0);
    s.markDirty(rec::messageDirty);
    EXPECT_TRUE(d->updateFromStatus());
    EXPECT_FALSE(s.isDirty(rec::plotRowDirty(0)));
    EXPECT_FALSE(s.isDirty(rec::plotAxesDirty));
    int32_t baseline = plot.top + d->plotPanel().height - 20;
    EXPECT_NE(d->canvas().pixel(plot.left + 60, baseline), 0u);
    EXPECT_EQ(d->canvas().pixel(cx, cy - 20), 0u);
}

TEST_F(CycleTest, UnterminatedAndHostileFieldsAreBounded) {
    uint8_t* base = s.base();
    std::memset(base + rec::userInfo, 'A', rec::userInfoLength);
    std::memset(base + rec::analysisText, 'B', rec::analysisTextLength);
    std::memset(base + rec::message, 'C', rec::messageLength);
    std::memset(base + rec::dataInfo, 0xFF, rec::dataInfoLength);  // NaN reals everywhere
    s.storeFloat(rec::progressFraction, std::numeric_limits<float>::quiet_NaN());
    s.storeFloat(rec::barFraction, 1e30f);
    s.storeDouble(rec::cpuSeconds, -std::numeric_limits<double>::infinity());
    s.storeFloat(rec::driftRate, std::numeric_limits<float>::infinity());
    s.storeI32(rec::fftLength, 0);
    s.storeDouble(rec::sampleRateHz, 1e300);
    s.storeFloat(rec::gaussPeakPower, 1e38f);
    s.storeFloat(rec::gaussSigma, 0);
    for (size_t f : {rec::analysisTextDirty, rec::userInfoDirty, rec::dataInfoDirty, rec::cpuDirty,
                     rec::progressDirty, rec::barDirty, rec::driftDirty, rec::gaussianDirty,
                     rec::messageDirty})
        s.markDirty(f);
    EXPECT_TRUE(d->updateFromStatus());
    EXPECT_EQ(d->progressCube().filledCount, 0);
    std::memset(base + rec::dataInfo, 0x7F, rec::dataInfoLength);  // huge finite reals
    s.markDirty(rec::dataInfoDirty);
    s.storeI32(rec::messagePresent, 0);
    s.markDirty(rec::userInfoDirty);
    EXPECT_TRUE(d->updateFromStatus());
}

}  // namespace
}  // namespace vandrel
