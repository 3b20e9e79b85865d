#include "tools/reference_cases.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "tools/record_generator.h"

namespace vandrel {

namespace {

// The generator's record at msIntoRun, optionally with the current pass's plot complete.
void generated(SharedStatus s, GeneratorOptions options, uint32_t msIntoRun, bool plotFull) {
    RecordGenerator generator(s, options);
    generator.step(msIntoRun);
    if (plotFull)
        generator.step(generator.msUntilPlotFull());
    generator.publishAll();
}

GeneratorOptions seeded(uint32_t seed) {
    GeneratorOptions o;
    o.seed = seed;
    return o;
}

// What the snapshot command's --demo shows: a third into a unit, the plot full.
void demo(SharedStatus s) {
    generated(s, seeded(1), 7 * 20000 + 3000, true);
}

// A unit just begun: the first plot row, no progress, the unit's first (best) Gaussian.
void unitStart(SharedStatus s) {
    generated(s, seeded(2), 0, false);
}

// Test data, late in a unit, with the plot half drawn.
void midPass(SharedStatus s) {
    GeneratorOptions o = seeded(3);
    o.sourceKind = 1;
    generated(s, o, 20 * 20000 + 8000, false);
}

void mirrored(SharedStatus s) {
    GeneratorOptions o = seeded(4);
    o.mirrored = true;
    generated(s, o, 11 * 20000 + 1000, true);
}

void message(SharedStatus s) {
    GeneratorOptions o = seeded(5);
    o.message = true;
    generated(s, o, 3 * 20000, true);
}

// Not the unit's best, and samples far above the fitted peak: the red curve must be
// scaled to them rather than leave the graph.
void gaussianSpikes(SharedStatus s) {
    generated(s, seeded(6), 5 * 20000 + 17000, true);
    s.storeI32(rec::gaussIsBest, 0);
    s.storeFloat(rec::gaussSigma, 5.0f);
    s.storeFloat(rec::gaussPeakPower, 1.5f);
    s.storeFloat(rec::gaussMeanPower, 1.0f);
    s.storeFloat(rec::gaussFit, 0.75f);
    s.storeI32(rec::gaussCentre, 30);
    for (size_t k = 0; k < rec::gaussPowerCount; ++k) {
        const double z = (static_cast<double>(k) - 30) / 5.0;
        double p = 1.0 + 1.5 * std::exp(-0.693 * z * z) + 0.1 * static_cast<double>(k % 3);
        if (k == 20 || k == 41)
            p = 4.5;
        s.storeFloat(rec::gaussPowers + 4 * k, static_cast<float>(p));
    }
    s.markDirty(rec::gaussianDirty);
}

// Values beyond every range, on the high side: fractions above 1, texts without their
// NUL, huge durations and plot parameters beyond the record and the panel.
void extremesHigh(SharedStatus s) {
    generated(s, seeded(7), 12 * 20000, true);
    const float huge = std::numeric_limits<float>::max();
    s.storeFloat(rec::progressFraction, 7.5f);
    s.storeFloat(rec::barFraction, huge);
    s.storeDouble(rec::cpuSeconds, 1e300);
    s.storeDouble(rec::totalCpuSeconds, 1e18);
    s.storeI32(rec::unitsCompleted, std::numeric_limits<int32_t>::max());
    std::memset(s.base() + rec::userName, 'W', rec::userNameEnd - rec::userName);
    std::memset(s.base() + rec::analysisText, 'M', rec::analysisTextLength);
    s.storeFloat(rec::raHours, 1e9f);
    s.storeFloat(rec::decDegrees, 1e9f);
    s.storeDouble(rec::recordedJulianDate, 1e12);
    s.storeDouble(rec::baseFrequencyHz, 1e300);
    s.storeFloat(rec::driftRate, huge);
    s.storeI32(rec::fftLength, std::numeric_limits<int32_t>::max());
    s.storeFloat(rec::gaussPeakPower, huge);
    s.storeI32(rec::plotDepthX, 100000);
    s.storeI32(rec::plotDepthY, 30);
    s.storeI32(rec::plotMaxHeight, 100000);
    s.storeI32(rec::plotRowCount, 100000);
    s.storeI32(rec::plotRowLength, 100000);
    for (int32_t i = 0; i < rec::plotRowCapacity; ++i) {
        std::memset(s.base() + rec::plotRow(i), 255, rec::plotRowHeights);
        s.markDirty(rec::plotRowDirty(i));
    }
    for (size_t flag :
         {rec::userInfoDirty, rec::dataInfoDirty, rec::analysisTextDirty, rec::progressDirty,
          rec::barDirty, rec::driftDirty, rec::gaussianDirty, rec::plotAxesDirty}) {
        s.markDirty(flag);
    }
}

// And on the low side: negative and NaN values, a zero sample rate, negative depths.
void extremesLow(SharedStatus s) {
    generated(s, seeded(8), 2 * 20000 + 5000, true);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    s.storeFloat(rec::progressFraction, nan);
    s.storeFloat(rec::barFraction, -3.0f);
    s.storeDouble(rec::cpuSeconds, -1.0);
    s.storeDouble(rec::totalCpuSeconds, std::numeric_limits<double>::quiet_NaN());
    s.storeI32(rec::unitsCompleted, std::numeric_limits<int32_t>::min());
    s.storeFloat(rec::raHours, -1e9f);
    s.storeFloat(rec::decDegrees, nan);
    s.storeDouble(rec::recordedJulianDate, -1e12);
    s.storeDouble(rec::sampleRateHz, 0.0);
    s.storeFloat(rec::driftRate, nan);
    s.storeI32(rec::fftLength, -5);
    s.storeFloat(rec::gaussSigma, 0.0f);
    s.storeFloat(rec::gaussMeanPower, -1e30f);
    s.storeI32(rec::plotDepthX, -100000);
    s.storeI32(rec::plotDepthY, -40);
    s.storeI32(rec::plotMaxHeight, -7);
    for (size_t flag : {rec::userInfoDirty, rec::dataInfoDirty, rec::progressDirty, rec::barDirty,
                        rec::driftDirty, rec::gaussianDirty, rec::plotAxesDirty}) {
        s.markDirty(flag);
    }
    for (int32_t i = 0; i < s.loadI32(rec::plotRowCount) && i < rec::plotRowCapacity; ++i)
        s.markDirty(rec::plotRowDirty(i));
}

// Every flag set, served by a single update cycle: the steps' order decides what stays.
void everyFlag(SharedStatus s) {
    generated(s, seeded(9), 9 * 20000 + 4000, true);
}

constexpr int32_t kUntilIdle = 1000;

constexpr ReferenceCase kCases[] = {
    {"demo", demo, kUntilIdle},
    {"unit-start", unitStart, kUntilIdle},
    {"mid-pass", midPass, kUntilIdle},
    {"mirrored", mirrored, kUntilIdle},
    {"message", message, kUntilIdle},
    {"gaussian-spikes", gaussianSpikes, kUntilIdle},
    {"extremes-high", extremesHigh, kUntilIdle},
    {"extremes-low", extremesLow, kUntilIdle},
    {"every-flag-one-tick", everyFlag, 1},
};

}  // namespace

std::span<const ReferenceCase> referenceCases() {
    return kCases;
}

}  // namespace vandrel
