#include "tools/record_generator.h"

#include "render/dashboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace vandrel {
namespace {

const size_t kPartFlags[] = {
    rec::userInfoDirty, rec::dataInfoDirty, rec::analysisTextDirty, rec::progressDirty,
    rec::barDirty,      rec::cpuDirty,      rec::driftDirty,        rec::gaussianDirty,
    rec::messageDirty,  rec::plotAxesDirty,
};

struct Record {
    std::vector<uint32_t> words = std::vector<uint32_t>(rec::recordSize / 4, 0);
    SharedStatus status{words.data()};

    std::string text(size_t offset, size_t length) const {
        char out[512];
        status.text(offset, length, out, sizeof out);
        return out;
    }
    const uint8_t* row(int32_t i) const {
        return reinterpret_cast<const uint8_t*>(words.data()) + rec::plotRow(i);
    }
    // A saver that drew everything flagged: it clears every flag, and reports the rows
    // it served.
    std::vector<int32_t> serve() {
        for (size_t f : kPartFlags)
            status.clearDirty(f);
        std::vector<int32_t> rows;
        for (int32_t i = 0; i < rec::plotRowCapacity; ++i) {
            if (status.isDirty(rec::plotRowDirty(i)))
                rows.push_back(i);
            status.clearDirty(rec::plotRowDirty(i));
        }
        return rows;
    }
};

TEST(RecordGenerator, PublishAllWritesAPlausibleUnitWithEveryFlagSet) {
    Record r;
    GeneratorOptions options;
    options.seed = 7;
    options.userName = "Test Listener";
    RecordGenerator gen(r.status, options);
    gen.publishAll();

    for (size_t f : kPartFlags)
        EXPECT_TRUE(r.status.isDirty(f)) << f;
    EXPECT_EQ(r.text(rec::userName, UserInfo::userNameLength), "Test Listener");
    EXPECT_GE(r.status.loadI32(rec::unitsCompleted), 50);
    EXPECT_GT(r.status.loadDouble(rec::totalCpuSeconds), 0.0);
    float ra = r.status.loadFloat(rec::raHours), dec = r.status.loadFloat(rec::decDegrees);
    EXPECT_TRUE(ra >= 0 && ra < 24) << ra;
    EXPECT_TRUE(dec >= -90 && dec <= 90) << dec;
    double jd = r.status.loadDouble(rec::recordedJulianDate);
    EXPECT_TRUE(jd >= 2461041.5 && jd < 2461406.5) << jd;  // within 2026
    double base = r.status.loadDouble(rec::baseFrequencyHz);
    EXPECT_TRUE(base > 1.41e9 && base < 1.43e9) << base;
    EXPECT_EQ(r.status.loadDouble(rec::sampleRateHz), 9765.625);
    EXPECT_EQ(r.status.loadI32(rec::sourceKind), 2);
    EXPECT_GT(r.status.loadU32(rec::sampleCount), 0u);
    std::string analysis = r.text(rec::analysisText, rec::analysisTextLength);
    EXPECT_FALSE(analysis.empty());
    EXPECT_LT(analysis.size(), 80u);
    EXPECT_NE(r.status.loadI32(rec::fftLength), 0);
    EXPECT_NE(r.status.loadFloat(rec::gaussPeakPower), 0.0f);
    EXPECT_NE(r.status.loadFloat(rec::gaussSigma), 0.0f);
    EXPECT_NE(r.status.loadI32(rec::gaussIsBest), 0);  // the unit's first candidate
    EXPECT_EQ(r.status.loadI32(rec::messagePresent), 0);

    // The saver reported no plot area yet: the 642 x 185 defaults size the plot.
    EXPECT_EQ(r.status.loadI32(rec::plotDepthX), 100);
    EXPECT_EQ(r.status.loadI32(rec::plotDepthY), 80);
    EXPECT_EQ(r.status.loadI32(rec::plotMaxHeight), 85);
    EXPECT_EQ(r.status.loadI32(rec::plotRowCount), 203);
    EXPECT_EQ(r.status.loadI32(rec::plotRowLength), 542);
    EXPECT_EQ(r.status.loadI32(rec::plotMirrored), 0);
    // At the start of a pass only the first row is due.
    EXPECT_TRUE(r.status.isDirty(rec::plotRowDirty(0)));
    EXPECT_FALSE(r.status.isDirty(rec::plotRowDirty(1)));
}

TEST(RecordGenerator, PlotSizeFollowsTheSaversPlotArea) {
    struct Case {
        int32_t width, height, depthX, depthY, maxHeight, rowLength;
    } cases[] = {
        {642, 185, 100, 80, 85, 542},
        {400, 120, 66, 51, 49, 334},
        {-5, -1, 100, 80, 85, 542},                   // nonsense: the defaults
        {2000000000, 2000000000, 100, 80, 255, 600},  // huge: clamped to what fits
        {1, 1, 10, 8, 8, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        Record r;
        r.status.storeI32(rec::plotWidth, c.width);
        r.status.storeI32(rec::plotHeight, c.height);
        GeneratorOptions options;
        options.rowCount = 999;
        options.mirrored = true;
        RecordGenerator gen(r.status, options);
        gen.publishAll();
        EXPECT_EQ(r.status.loadI32(rec::plotDepthX), c.depthX);
        EXPECT_EQ(r.status.loadI32(rec::plotDepthY), c.depthY);
        EXPECT_EQ(r.status.loadI32(rec::plotMaxHeight), c.maxHeight);
        EXPECT_EQ(r.status.loadI32(rec::plotRowLength), c.rowLength);
        EXPECT_EQ(r.status.loadI32(rec::plotRowCount), 203);
        EXPECT_EQ(r.status.loadI32(rec::plotMirrored), 1);
    }
}

TEST(RecordGenerator, StepRewritesAPartOnlyAfterTheSaverServedIt) {
    Record r;
    GeneratorOptions options;
    options.passMs = 10000;
    options.passesPerUnit = 10;
    RecordGenerator gen(r.status, options);
    gen.step(0);  // the first publication: every flag was clear
    for (size_t f : kPartFlags)
        EXPECT_TRUE(r.status.isDirty(f)) << f;
    EXPECT_EQ(r.status.loadFloat(rec::progressFraction), 0.0f);

    gen.step(5000);  // nobody served the flags: nothing is overwritten
    EXPECT_EQ(r.status.loadFloat(rec::progressFraction), 0.0f);
    EXPECT_EQ(r.status.loadDouble(rec::cpuSeconds), 0.0);

    // Once the progress flag is served, the pending change goes out with current values.
    r.status.clearDirty(rec::progressDirty);
    gen.step(0);
    EXPECT_FLOAT_EQ(r.status.loadFloat(rec::progressFraction), 0.05f);
    EXPECT_TRUE(r.status.isDirty(rec::progressDirty));
    EXPECT_EQ(r.status.loadDouble(rec::cpuSeconds), 0.0);  // its flag is still set
    r.status.clearDirty(rec::cpuDirty);
    gen.step(1000);
    EXPECT_GT(r.status.loadDouble(rec::cpuSeconds), 5.0);
    EXPECT_FLOAT_EQ(r.status.loadFloat(rec::progressFraction), 0.05f);

    // Rows too: row 0 of the first pass is still flagged when the second pass begins.
    std::vector<uint8_t> firstRow(r.row(0), r.row(0) + 600);
    r.status.clearDirty(rec::plotAxesDirty);
    gen.step(4000);  // into pass 1; its plot parameters go out, its row 0 may not
    EXPECT_EQ(gen.passIndex(), 1);
    EXPECT_TRUE(r.status.isDirty(rec::plotAxesDirty));
    EXPECT_EQ(gen.rowsPublished(), 0);
    EXPECT_TRUE(std::equal(firstRow.begin(), firstRow.end(), r.row(0)));
    r.status.clearDirty(rec::plotRowDirty(0));
    gen.step(0);
    EXPECT_EQ(gen.rowsPublished(), gen.rowsDue());
    EXPECT_FALSE(std::equal(firstRow.begin(), firstRow.end(), r.row(0)));
}

TEST(RecordGenerator, RowsArriveInOrderAndEachPassAndUnitRestartsThePlot) {
    Record r;
    GeneratorOptions options;
    options.passMs = 2000;
    options.passesPerUnit = 3;
    options.rowCount = 50;
    RecordGenerator gen(r.status, options);
    const int32_t firstUnits = [&] {
        gen.step(0);
        return r.status.loadI32(rec::unitsCompleted);
    }();
    r.serve();

    std::vector<int32_t> served;
    int axesRedraws = 0, userUpdates = 0;
    // Three passes and a little of the next unit at 33 ms a tick, each tick served.
    for (int tick = 0; tick < 182; ++tick) {
        gen.step(33);
        axesRedraws += r.status.isDirty(rec::plotAxesDirty);
        userUpdates += r.status.isDirty(rec::userInfoDirty);
        for (int32_t row : r.serve())
            served.push_back(row);
    }
    // Row 0 went out at the start; then rows 1..49, 0..49 for the next two passes, and
    // row 0 of the next unit's first pass.
    ASSERT_EQ(served.size(), 49u + 50 + 50 + 1);
    for (size_t i = 0; i < served.size(); ++i) {
        EXPECT_EQ(served[i], static_cast<int32_t>((i + 1) % 50)) << i;
    }
    EXPECT_EQ(axesRedraws, 3);  // two new passes and one new unit
    EXPECT_EQ(userUpdates, 1);
    EXPECT_EQ(gen.unitIndex(), 1u);
    EXPECT_EQ(r.status.loadI32(rec::unitsCompleted), firstUnits + 1);
    float progress = r.status.loadFloat(rec::progressFraction);
    EXPECT_TRUE(progress >= 0 && progress < 0.05f) << progress;
}

TEST(RecordGenerator, RowsCarryNoiseAndADriftingNarrowBandSignal) {
    Record r;
    RecordGenerator gen(r.status, GeneratorOptions{});
    gen.step(gen.msUntilPlotFull());
    EXPECT_EQ(gen.rowsDue(), 203);
    gen.publishAll();
    const int32_t n = gen.rowLength(), m = gen.maxHeight();
    double atSignal = 0, elsewhere = 0;
    for (int32_t i = 0; i < gen.rowCount(); ++i) {
        ASSERT_TRUE(r.status.isDirty(rec::plotRowDirty(i)));
        const uint8_t* h = r.row(i);
        int32_t col = static_cast<int32_t>(std::lround(gen.signalColumn(i)));
        ASSERT_TRUE(col >= 0 && col < n) << col;
        atSignal += h[col];
        double sum = 0;
        for (int32_t j = 0; j < n; ++j) {
            EXPECT_LE(h[j], m);
            sum += h[j];
        }
        elsewhere += sum / n;
        for (int32_t j = n; j < 600; ++j)
            EXPECT_EQ(h[j], 0);
    }
    EXPECT_GT(atSignal, 3 * elsewhere);
    EXPECT_GT(elsewhere / gen.rowCount(), 2.0);  // noise, not an empty floor
    EXPECT_NE(gen.signalColumn(0), gen.signalColumn(202));
}

TEST(RecordGenerator, DeterministicForASeed) {
    auto run = [](uint32_t seed) {
        Record r;
        GeneratorOptions options;
        options.seed = seed;
        RecordGenerator gen(r.status, options);
        for (int i = 0; i < 400; ++i) {
            gen.step(97);
            if (i % 3 == 0)
                r.serve();
        }
        gen.publishAll();
        return r.words;
    };
    EXPECT_EQ(run(42), run(42));
    EXPECT_NE(run(42), run(43));
}

TEST(RecordGenerator, MessageGaussianAndLongSteps) {
    Record r;
    GeneratorOptions options;
    options.message = true;
    options.gaussianMs = 1000;
    RecordGenerator gen(r.status, options);
    gen.step(0);
    EXPECT_EQ(r.status.loadI32(rec::messagePresent), 1);
    EXPECT_FALSE(r.text(rec::messageLine1, rec::messageLineLength).empty());
    EXPECT_FALSE(r.text(rec::messageLine2, rec::messageLineLength).empty());
    r.serve();

    const float firstPower = r.status.loadFloat(rec::gaussPowers);
    gen.setMessage(false);
    gen.step(500);
    EXPECT_EQ(r.status.loadI32(rec::messagePresent), 0);
    EXPECT_TRUE(r.status.isDirty(rec::messageDirty));
    EXPECT_FALSE(r.status.isDirty(rec::gaussianDirty));  // no new candidate yet
    gen.step(600);
    EXPECT_TRUE(r.status.isDirty(rec::gaussianDirty));
    EXPECT_NE(r.status.loadFloat(rec::gaussPowers), firstPower);

    // The longest step the clock allows neither hangs nor leaves the unit's range.
    gen.step(UINT32_MAX);
    r.serve();
    gen.step(1);
    float progress = r.status.loadFloat(rec::progressFraction);
    EXPECT_TRUE(progress >= 0 && progress < 1) << progress;
    EXPECT_GT(gen.unitIndex(), 1000u);
}

// The saver copies only the canvas's drawn area after each update: no pixel may change
// outside it, over a unit with message, mirrored plot and passes that redraw the plot.
TEST(RecordGenerator, DashboardChangesStayInsideTheDrawnArea) {
    Record r;
    GeneratorOptions options;
    options.passMs = 3000;
    options.passesPerUnit = 2;
    options.gaussianMs = 700;
    for (bool mirrored : {false, true}) {
        options.mirrored = mirrored;
        RecordGenerator gen(r.status, options);
        Dashboard d(r.status, false, "none.bmp");
        d.canvas().takeDrawnArea();
        for (int i = 0; i < 300; ++i) {
            gen.setMessage(i % 100 > 80);
            gen.step(i == 0 ? 0 : 33);
            std::vector<uint32_t> before(
                d.canvas().pixels(), d.canvas().pixels() + Dashboard::kWidth * Dashboard::kHeight);
            const bool drew = d.updateFromStatus();
            const DrawnArea area = d.canvas().takeDrawnArea();
            EXPECT_EQ(drew, !area.empty()) << i;
            for (int32_t y = 0; y < Dashboard::kHeight; ++y)
                for (int32_t x = 0; x < Dashboard::kWidth; ++x) {
                    if (!area.contains(x, y) &&
                        before[y * Dashboard::kWidth + x] != d.canvas().pixel(x, y)) {
                        FAIL() << "step " << i << ": (" << x << ", " << y
                               << ") changed outside the drawn area";
                    }
                }
        }
    }
}

}  // namespace
}  // namespace vandrel
