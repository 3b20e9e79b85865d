#include "tools/record_generator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace vandrel {

namespace {

constexpr double kSampleRateHz = 9765.625;
constexpr uint32_t kSampleCount = 1048576;  // 2^20 samples, about 107 s of data
constexpr double kJulian2026 = 2461041.5;   // 2026-01-01 00:00 UTC
constexpr int32_t kDefaultPlotWidth = 642, kDefaultPlotHeight = 185;
constexpr const char* kMessageLine1 = "The analysis worker needs your attention.";
constexpr const char* kMessageLine2 = "Please open its window to continue.";

// SplitMix64: small, fast and the same on every platform.
uint64_t mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}
uint64_t hashOf(uint64_t a, uint64_t b, uint64_t c = 0, uint64_t d = 0) {
    return mix(a ^ mix(b ^ mix(c ^ mix(d))));
}

class Random {
  public:
    explicit Random(uint64_t state) : state_(state) {}
    // Uniform in [0, 1).
    double next() {
        state_ += 0x9E3779B97F4A7C15ULL;
        return static_cast<double>(mix(state_) >> 11) * 0x1.0p-53;
    }
    // Exponentially distributed with mean 1, like the power of a noise bin.
    double exponential() { return -std::log(1.0 - next()); }

  private:
    uint64_t state_;
};

// Salts that keep the random streams of different parts apart.
enum Stream : uint64_t { kUnit = 1, kRow = 2, kGaussian = 3, kUser = 4 };

int32_t clampInt(int64_t v, int32_t lo, int32_t hi) {
    return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(v, lo), hi));
}

struct Gaussian {
    float mean, peak, sigma, fit;
    int32_t centre;
    float powers[rec::gaussPowerCount];
};

// The first draws of a candidate's stream; gaussianPeak repeats them cheaply.
float drawMean(Random& rnd) {
    return static_cast<float>(1.0 + 0.2 * rnd.next());
}
float drawPeak(Random& rnd) {
    double u = rnd.next();
    return static_cast<float>(0.4 + 2.6 * u * u);  // mostly weak, now and then strong
}

float gaussianPeak(uint32_t seed, uint64_t unit, uint64_t index) {
    Random rnd(hashOf(seed, kGaussian, unit, index));
    drawMean(rnd);
    return drawPeak(rnd);
}

Gaussian makeGaussian(uint32_t seed, uint64_t unit, uint64_t index) {
    Random rnd(hashOf(seed, kGaussian, unit, index));
    Gaussian g;
    g.mean = drawMean(rnd);
    g.peak = drawPeak(rnd);
    g.sigma = static_cast<float>(2.0 + 6.0 * rnd.next());
    g.centre = 12 + static_cast<int32_t>(40 * rnd.next());
    g.fit = static_cast<float>(0.5 + 2.0 * rnd.next());
    for (size_t k = 0; k < rec::gaussPowerCount; ++k) {
        double z = (static_cast<double>(k) - g.centre) / g.sigma;
        double noise = g.mean * 0.35 * (rnd.exponential() - 1.0);
        double p = g.mean + g.peak * std::exp(-0.693 * z * z) + noise;
        g.powers[k] = static_cast<float>(std::max(p, 0.02));
    }
    return g;
}

}  // namespace

RecordGenerator::RecordGenerator(SharedStatus status, GeneratorOptions options)
    : status_(status), options_(options), messagePresent_(options.message) {
    options_.passesPerUnit = std::clamp(options_.passesPerUnit, 1, 1000);
    options_.passMs = std::clamp<uint32_t>(options_.passMs, 100, 600000);
    options_.gaussianMs = std::clamp<uint32_t>(options_.gaussianMs, 100, 600000);
    if (options_.userName == nullptr)
        options_.userName = "";
    pass_ = 0;
    sizePlot();
    bestPeak_ = gaussianPeak(options_.seed, 0, 0);
    gaussianIsBest_ = true;
}

uint64_t RecordGenerator::unitMs() const {
    return static_cast<uint64_t>(options_.passesPerUnit) * options_.passMs;
}

int32_t RecordGenerator::passIndex() const {
    return static_cast<int32_t>(msIntoUnit_ / options_.passMs);
}

// Rows fill during the first four fifths of a pass; the rest is the Gaussian search.
int32_t RecordGenerator::rowsDue() const {
    uint64_t within = msIntoUnit_ % options_.passMs;
    uint64_t fillMs = options_.passMs * 4ULL / 5;
    if (within >= fillMs)
        return rowCount_;
    return static_cast<int32_t>(std::min<uint64_t>(within * rowCount_ / fillMs + 1, rowCount_));
}

uint32_t RecordGenerator::msUntilPlotFull() const {
    if (rowsDue() >= rowCount_)
        return 0;
    uint64_t fillMs = options_.passMs * 4ULL / 5;
    // The smallest time into the pass at which the last row is due.
    uint64_t needed = ((rowCount_ - 1) * fillMs + rowCount_ - 1) / rowCount_;
    return static_cast<uint32_t>(needed - msIntoUnit_ % options_.passMs);
}

// The drift rates of a unit sweep from -5 to +5 Hz/sec, one per pass.
double RecordGenerator::driftRate() const {
    int32_t passes = options_.passesPerUnit;
    if (passes < 2)
        return 0.0;
    return -5.0 + 10.0 * pass_ / (passes - 1);
}

int32_t RecordGenerator::fftLength() const {
    return 1024 << (pass_ % 4);
}

double RecordGenerator::signalColumn(int32_t row) const {
    Random rnd(hashOf(options_.seed, kUnit, unit_));
    double start = rowLength_ * (0.2 + 0.6 * rnd.next());
    double trueDrift = -4.0 + 8.0 * rnd.next();
    // The signal stands still in the plot at the pass whose drift rate matches its own.
    double slope = (trueDrift - driftRate()) * 0.1;
    return start + slope * (row - rowCount_ / 2.0);
}

// The plot's proportions follow the area the saver reported for it.
void RecordGenerator::sizePlot() {
    int32_t width = status_.loadI32(rec::plotWidth);
    int32_t height = status_.loadI32(rec::plotHeight);
    if (width <= 0)
        width = kDefaultPlotWidth;
    if (height <= 0)
        height = kDefaultPlotHeight;
    width = std::min(width, 10000);
    height = std::min(height, 10000);
    depthX_ = clampInt(width / 6, 10, 100);
    depthY_ = clampInt(static_cast<int64_t>(height) * 16 / 37, 8, 80);
    maxHeight_ = clampInt(static_cast<int64_t>(height) - depthY_ - 20, 8, 255);
    rowLength_ = clampInt(static_cast<int64_t>(width) - depthX_, 1, 600);
    rowCount_ = std::clamp(options_.rowCount, 1, rec::plotRowCapacity);
}

void RecordGenerator::startPass() {
    sizePlot();
    rowsPublished_ = 0;
    pending_.axes = pending_.drift = pending_.analysis = true;
}

void RecordGenerator::setMessage(bool present) {
    if (present != messagePresent_)
        pending_.message = true;
    messagePresent_ = present;
}

void RecordGenerator::step(uint32_t elapsedMs) {
    const uint64_t oldUnit = unit_;
    const int32_t oldPass = pass_;
    const bool oldFilling = rowsDue() < rowCount_;
    const uint64_t oldGaussian = gaussianIndex_;

    msIntoUnit_ += elapsedMs;
    if (msIntoUnit_ >= unitMs()) {
        unit_ += msIntoUnit_ / unitMs();
        msIntoUnit_ %= unitMs();
    }
    const bool newUnit = unit_ != oldUnit;
    pass_ = passIndex();
    if (newUnit) {
        pending_.user = pending_.data = true;
        gaussianIndex_ = 0;
        bestPeak_ = gaussianPeak(options_.seed, unit_, 0);
        gaussianIsBest_ = true;
    }
    if (newUnit || pass_ != oldPass) {
        startPass();
    } else if (oldFilling != (rowsDue() < rowCount_)) {
        pending_.analysis = true;
    }

    // Every candidate passed counts towards the unit's best, even between publications.
    const uint64_t gaussianNow = msIntoUnit_ / options_.gaussianMs;
    for (uint64_t g = gaussianIndex_ + 1; g <= gaussianNow; ++g) {
        float peak = gaussianPeak(options_.seed, unit_, g);
        gaussianIsBest_ = peak > bestPeak_;
        if (gaussianIsBest_)
            bestPeak_ = peak;
    }
    gaussianIndex_ = gaussianNow;
    if (newUnit || gaussianIndex_ != oldGaussian)
        pending_.gaussian = true;
    if (elapsedMs > 0)
        pending_.progress = pending_.cpu = pending_.bar = true;

    publishIfServed(pending_.user, rec::userInfoDirty, [&] { writeUser(); });
    publishIfServed(pending_.data, rec::dataInfoDirty, [&] { writeData(); });
    publishIfServed(pending_.analysis, rec::analysisTextDirty, [&] { writeAnalysisText(); });
    publishIfServed(pending_.progress, rec::progressDirty, [&] { writeProgress(); });
    publishIfServed(pending_.cpu, rec::cpuDirty, [&] { writeCpu(); });
    publishIfServed(pending_.bar, rec::barDirty, [&] { writeBar(); });
    publishIfServed(pending_.drift, rec::driftDirty, [&] { writeDrift(); });
    publishIfServed(pending_.gaussian, rec::gaussianDirty, [&] { writeGaussian(); });
    publishIfServed(pending_.message, rec::messageDirty, [&] { writeMessage(); });
    publishIfServed(pending_.axes, rec::plotAxesDirty, [&] { writePlotParameters(); });
    // Rows wait for their pass's plot parameters, then go out in order.
    const int32_t due = rowsDue();
    while (!pending_.axes && rowsPublished_ < due &&
           !status_.isDirty(rec::plotRowDirty(rowsPublished_))) {
        writeRow(rowsPublished_);
        status_.markDirty(rec::plotRowDirty(rowsPublished_));
        ++rowsPublished_;
    }
}

template <typename Write>
bool RecordGenerator::publishIfServed(bool& pending, size_t flag, Write write) {
    if (!pending || status_.isDirty(flag))
        return false;
    write();
    status_.markDirty(flag);
    pending = false;
    return true;
}

void RecordGenerator::publishAll() {
    // Data first, then its flag, part by part.
    const struct {
        size_t flag;
        void (RecordGenerator::*write)() const;
    } parts[] = {
        {rec::userInfoDirty, &RecordGenerator::writeUser},
        {rec::dataInfoDirty, &RecordGenerator::writeData},
        {rec::analysisTextDirty, &RecordGenerator::writeAnalysisText},
        {rec::progressDirty, &RecordGenerator::writeProgress},
        {rec::cpuDirty, &RecordGenerator::writeCpu},
        {rec::barDirty, &RecordGenerator::writeBar},
        {rec::driftDirty, &RecordGenerator::writeDrift},
        {rec::gaussianDirty, &RecordGenerator::writeGaussian},
        {rec::messageDirty, &RecordGenerator::writeMessage},
        {rec::plotAxesDirty, &RecordGenerator::writePlotParameters},
    };
    for (const auto& part : parts) {
        (this->*part.write)();
        status_.markDirty(part.flag);
    }
    // The worker's own bookkeeping the saver does not show.
    status_.markDirty(rec::auxDirtyA);
    status_.markDirty(rec::auxDirtyB);
    pending_.clear();
    const int32_t due = rowsDue();
    for (int32_t row = 0; row < due; ++row) {
        writeRow(row);
        status_.markDirty(rec::plotRowDirty(row));
    }
    rowsPublished_ = due;
}

void RecordGenerator::writeUser() const {
    Random rnd(hashOf(options_.seed, kUser));
    const int32_t firstUnits = 50 + static_cast<int32_t>(950 * rnd.next());
    const double firstCpu = firstUnits * (30000.0 + 20000.0 * rnd.next());
    const double cpuPerUnit = unitMs() * 0.00097;
    status_.setText(rec::userName, UserInfo::userNameLength, options_.userName);
    status_.storeI32(rec::unitsCompleted,
                     firstUnits + static_cast<int32_t>(unit_ % 1000000000));  // no overflow
    status_.storeDouble(rec::totalCpuSeconds, firstCpu + static_cast<double>(unit_) * cpuPerUnit);
}

void RecordGenerator::writeData() const {
    Random rnd(hashOf(options_.seed, kUnit, unit_));
    rnd.next();  // the signal's start column and drift, see signalColumn
    rnd.next();
    status_.storeFloat(rec::raHours, static_cast<float>(24.0 * rnd.next()));
    status_.storeFloat(rec::decDegrees, static_cast<float>(-1.0 + 39.0 * rnd.next()));
    status_.storeDouble(rec::recordedJulianDate, kJulian2026 + 364.9 * rnd.next());
    const int channel = static_cast<int>(256 * rnd.next());
    status_.storeDouble(rec::baseFrequencyHz, 1418750000.0 + channel * kSampleRateHz);
    status_.storeDouble(rec::sampleRateHz, kSampleRateHz);
    status_.storeI32(rec::sourceKind, options_.sourceKind);
    status_.storeU32(rec::sampleCount, kSampleCount);
}

// Short enough to leave the percent bar beside it uncovered; the drift rate has its own row.
void RecordGenerator::writeAnalysisText() const {
    const bool filling = rowsDue() < rowCount_;
    status_.setText(rec::analysisText, rec::analysisTextLength,
                    filling ? "Computing power spectra" : "Searching for Gaussians");
}

void RecordGenerator::writeProgress() const {
    status_.storeFloat(rec::progressFraction,
                       static_cast<float>(static_cast<double>(msIntoUnit_) / unitMs()));
}

void RecordGenerator::writeCpu() const {
    status_.storeDouble(rec::cpuSeconds, msIntoUnit_ * 0.00097);
}

void RecordGenerator::writeBar() const {
    const double within = static_cast<double>(msIntoUnit_ % options_.passMs);
    status_.storeFloat(rec::barFraction, static_cast<float>(within / options_.passMs));
}

void RecordGenerator::writeDrift() const {
    status_.storeFloat(rec::driftRate, static_cast<float>(driftRate()));
    status_.storeI32(rec::fftLength, fftLength());
}

void RecordGenerator::writeGaussian() const {
    const Gaussian g = makeGaussian(options_.seed, unit_, gaussianIndex_);
    status_.storeI32(rec::gaussIsBest, gaussianIsBest_ ? 1 : 0);
    status_.storeFloat(rec::gaussSigma, g.sigma);
    status_.storeFloat(rec::gaussPeakPower, g.peak);
    status_.storeFloat(rec::gaussMeanPower, g.mean);
    status_.storeFloat(rec::gaussFit, g.fit);
    status_.storeI32(rec::gaussCentre, g.centre);
    for (size_t k = 0; k < rec::gaussPowerCount; ++k) {
        status_.storeFloat(rec::gaussPowers + 4 * k, g.powers[k]);
    }
}

void RecordGenerator::writeMessage() const {
    status_.storeI32(rec::messagePresent, messagePresent_ ? 1 : 0);
    status_.setText(rec::messageLine1, rec::messageLineLength, kMessageLine1);
    status_.setText(rec::messageLine2, rec::messageLineLength, kMessageLine2);
}

void RecordGenerator::writePlotParameters() const {
    status_.storeI32(rec::plotDepthX, depthX_);
    status_.storeI32(rec::plotDepthY, depthY_);
    status_.storeI32(rec::plotMirrored, options_.mirrored ? 1 : 0);
    status_.storeI32(rec::plotMaxHeight, maxHeight_);
    status_.storeI32(rec::plotRowCount, rowCount_);
    status_.storeI32(rec::plotRowLength, rowLength_);
}

// Noise power over a gently curved band pass, plus a narrow-band signal drifting across
// the rows.
void RecordGenerator::writeRow(int32_t row) const {
    Random rnd(hashOf(options_.seed, kRow, unit_, (static_cast<uint64_t>(pass_) << 16) | row));
    const double noiseLevel = maxHeight_ * 0.09;
    const double centre = signalColumn(row);
    const double mismatch = std::fabs(signalColumn(row + 1) - centre);
    const double signalPeak = maxHeight_ * (0.3 + 0.55 * std::exp(-3.0 * mismatch));
    const double width = 0.7 + 0.6 * mismatch;
    alignas(4) uint8_t heights[rec::plotRowHeights] = {};
    for (int32_t j = 0; j < rowLength_; ++j) {
        double band = 0.7 + 0.3 * std::sin(std::numbers::pi * (j + 0.5) / rowLength_);
        double h = noiseLevel * band * std::min(rnd.exponential(), 6.0);
        double d = (j - centre) / width;
        h += signalPeak * std::exp(-0.5 * d * d);
        heights[j] = static_cast<uint8_t>(std::clamp(h, 0.0, static_cast<double>(maxHeight_)));
    }
    // Word stores, like every other write into the shared record.
    const size_t base = rec::plotRow(row);
    for (size_t i = 0; i < rec::plotRowHeights; i += 4) {
        uint32_t word;
        std::memcpy(&word, heights + i, 4);
        status_.storeU32(base + i, word);
    }
}

}  // namespace vandrel
