// The update cycle's costs, each beside a plain baseline measured in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "render/dashboard.h"
#include "tools/record_generator.h"

namespace {
using namespace vandrel;

struct Record {
    std::vector<uint64_t> words = std::vector<uint64_t>((rec::recordSize + 7) / 8, 0);
    SharedStatus status{words.data()};
};

constexpr int32_t kRows = rec::plotRowCapacity, kBars = 600;

// Plot rows with heights spread over 0..255, the worst a row can be.
void fillPlot(const SharedStatus& s, int32_t rows) {
    s.storeI32(rec::plotDepthX, 100);
    s.storeI32(rec::plotDepthY, 80);
    s.storeI32(rec::plotMaxHeight, 255);
    s.storeI32(rec::plotRowCount, rows);
    s.storeI32(rec::plotRowLength, kBars);
    for (int32_t i = 0; i < rows; ++i)
        for (int32_t j = 0; j < kBars; ++j)
            s.base()[rec::plotRow(i) + j] = static_cast<uint8_t>((i * 31 + j * 17) % 256);
}
void flagRows(const SharedStatus& s, int32_t rows) {
    for (int32_t i = 0; i < rows; ++i)
        s.markDirty(rec::plotRowDirty(i));
}

// The baseline for a row: the same bar pixels and outline pixels, stored in the same order
// into a plain buffer, with one colour per bar taken from a table. Like the dashboard it
// stops at the plot panel's top (y 240 with lh 14), so both store the same pixels.
void plainRow(std::vector<uint32_t>& buf, const uint8_t* heights, int32_t xo, int32_t yo,
              int32_t baseline, const uint32_t* colours) {
    constexpr int32_t top = 240;
    for (int32_t j = 0; j < kBars; ++j) {
        int32_t h = heights[j];
        int32_t x = 60 + xo + j;
        for (int32_t k = yo; k < yo + h && baseline - k >= top; ++k)
            buf[static_cast<size_t>(baseline - k) * 752 + x] = colours[j];
        if (baseline - yo - h >= top)
            buf[static_cast<size_t>(baseline - yo - h) * 752 + x] = 0;
    }
}

std::vector<uint32_t> barColours() {
    std::vector<uint32_t> colours(kBars);
    for (int32_t j = 0; j < kBars; ++j)
        colours[j] = 0x00FF0000u + static_cast<uint32_t>(j);
    return colours;
}

void BM_IdleTick(benchmark::State& state) {
    Record r;
    Dashboard d(r.status, false, "none.bmp");
    fillPlot(r.status, kRows);  // 203 rows to check, none flagged
    for (auto _ : state)
        benchmark::DoNotOptimize(d.updateFromStatus());
}
BENCHMARK(BM_IdleTick);

void BM_PlotRow(benchmark::State& state) {
    Record r;
    Dashboard d(r.status, false, "none.bmp");
    fillPlot(r.status, kRows);
    d.updateSpectrumPlot();  // copies the parameters
    const uint8_t* heights = r.status.base() + rec::plotRow(100);
    for (auto _ : state)
        d.drawPlotRow(heights, 100);
    state.SetItemsProcessed(state.iterations() * kBars);
}
BENCHMARK(BM_PlotRow);

void BM_PlainRow(benchmark::State& state) {
    Record r;
    fillPlot(r.status, kRows);
    std::vector<uint32_t> buf(752 * 445);
    const std::vector<uint32_t> colours = barColours();
    const uint8_t* heights = r.status.base() + rec::plotRow(100);
    // Row 100 of 203 with the dashboard's base line (lh 14): xo 49, yo 40, B 185 + 240.
    for (auto _ : state) {
        plainRow(buf, heights, 49, 40, 425, colours.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBars);
}
BENCHMARK(BM_PlainRow);

void BM_FullPlot(benchmark::State& state) {
    Record r;
    Dashboard d(r.status, false, "none.bmp");
    fillPlot(r.status, kRows);
    for (auto _ : state) {
        flagRows(r.status, kRows);
        d.updateFromStatus();
    }
}
BENCHMARK(BM_FullPlot)->Unit(benchmark::kMillisecond);

void BM_PlainFullPlot(benchmark::State& state) {
    Record r;
    fillPlot(r.status, kRows);
    std::vector<uint32_t> buf(752 * 445);
    const std::vector<uint32_t> colours = barColours();
    for (auto _ : state) {
        for (int32_t i = 0; i < kRows; ++i)
            plainRow(buf, r.status.base() + rec::plotRow(i), 100 * i / kRows,
                     80 * (kRows - 1 - i) / kRows, 425, colours.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PlainFullPlot)->Unit(benchmark::kMillisecond);

void flagEverything(const SharedStatus& s) {
    for (size_t f : {rec::analysisTextDirty, rec::userInfoDirty, rec::dataInfoDirty, rec::cpuDirty,
                     rec::progressDirty, rec::barDirty, rec::driftDirty, rec::auxDirtyA,
                     rec::auxDirtyB, rec::gaussianDirty, rec::messageDirty, rec::plotAxesDirty})
        s.markDirty(f);
    flagRows(s, kRows);
}

void BM_FirstFullUpdate(benchmark::State& state) {
    Record r;
    Dashboard d(r.status, false, "none.bmp");
    fillPlot(r.status, kRows);
    const SharedStatus& s = r.status;
    s.setText(rec::analysisText, rec::analysisTextLength, "Searching for pulses");
    s.setText(rec::userName, 268, "Ada Lovelace");
    s.storeDouble(rec::recordedJulianDate, 2461000.25);
    s.storeDouble(rec::sampleRateHz, 9765.625);
    s.storeI32(rec::fftLength, 1024);
    s.storeFloat(rec::progressFraction, 0.5f);
    s.storeFloat(rec::barFraction, 0.5f);
    s.storeFloat(rec::gaussPeakPower, 3);
    s.storeFloat(rec::gaussSigma, 4);
    s.storeI32(rec::gaussCentre, 30);
    for (auto _ : state) {
        state.PauseTiming();
        d.progressCube().setFraction(0);  // so the cube fills from empty every time
        flagEverything(s);
        state.ResumeTiming();
        d.updateFromStatus();
    }
}
BENCHMARK(BM_FirstFullUpdate)->Unit(benchmark::kMillisecond);

// The worst single tick a worker can cause: every flag, 203 rows of 600 bars at 255
// (clipped at the panel's top) and a needle-thin, overflowing Gaussian. Depths far
// outside the panel would be cheaper: their bars are clipped away.
void BM_WorstTick(benchmark::State& state) {
    Record r;
    Dashboard d(r.status, true, "none.bmp");
    const SharedStatus& s = r.status;
    fillPlot(s, kRows);
    for (int32_t i = 0; i < kRows; ++i)
        std::memset(s.base() + rec::plotRow(i), 255, kBars);
    s.storeI32(rec::plotMaxHeight, 1);
    s.storeFloat(rec::gaussSigma, 1e-30f);
    s.storeFloat(rec::gaussPeakPower, 3e38f);
    s.storeFloat(rec::progressFraction, 1.0f);
    for (auto _ : state) {
        state.PauseTiming();
        d.progressCube().setFraction(0);
        flagEverything(s);
        state.ResumeTiming();
        d.updateFromStatus();
    }
}
BENCHMARK(BM_WorstTick)->Unit(benchmark::kMillisecond);

void BM_ClearAndCopyCanvas(benchmark::State& state) {
    Canvas c(752, 445);
    std::vector<uint32_t> screen(752 * 445);
    for (auto _ : state) {
        c.fillRect({0, 0, 752, 445}, colorBlack);
        std::memcpy(screen.data(), c.pixels(), screen.size() * 4);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ClearAndCopyCanvas)->Unit(benchmark::kMillisecond);

}  // namespace

// What the saver copies to the screen per tick while the demo worker publishes, averaged
// over all ticks: the drawn area of each update (DrawnPixels) against the whole canvas on
// every tick that drew (WholeCopyPixels), as it was copied before. Both grow by s * s at
// scale s.
void BM_DemoTickDrawnArea(benchmark::State& state) {
    Record r;
    GeneratorOptions options;
    options.passMs = 20000;
    RecordGenerator gen(r.status, options);
    Dashboard d(r.status, false, "none.bmp");
    d.canvas().takeDrawnArea();
    double drawn = 0, whole = 0, ticks = 0;
    for (auto _ : state) {
        gen.step(33);
        if (d.updateFromStatus())
            whole += Dashboard::kWidth * Dashboard::kHeight;
        drawn += static_cast<double>(d.canvas().takeDrawnArea().pixels());
        ++ticks;
    }
    state.counters["DrawnPixels"] = drawn / ticks;
    state.counters["WholeCopyPixels"] = whole / ticks;
}
BENCHMARK(BM_DemoTickDrawnArea)->Iterations(3000);
