// The canvas's pixel paths against plain stores into a plain buffer over the same pixels:
// the clipping must cost little next to the memory traffic, above all in the vertical runs
// that draw the spectrum plot's bars.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "render/canvas.h"

namespace {

using vandrel::Canvas;
using vandrel::Color;

constexpr int32_t kWidth = 752;
constexpr int32_t kHeight = 445;
constexpr int32_t kRun = 255;

struct Point {
    int32_t x, y;
};

// A fixed scatter of points inside the canvas, the shape of the cube gauge's fill.
const std::vector<Point>& pointSet() {
    static const std::vector<Point> points = [] {
        std::vector<Point> p(4096);
        std::mt19937 random(12345);
        for (Point& pt : p) {
            pt = {static_cast<int32_t>(random() % kWidth),
                  static_cast<int32_t>(random() % kHeight)};
        }
        return p;
    }();
    return points;
}

void BM_SetPixelCanvas(benchmark::State& state) {
    Canvas canvas(kWidth, kHeight);
    const std::vector<Point>& points = pointSet();
    const Color color(120, 0, 0);
    for (auto _ : state) {
        for (const Point& p : points)
            canvas.setPixel(p.x, p.y, color);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points.size()));
}
BENCHMARK(BM_SetPixelCanvas);

void BM_SetPixelPlainLoop(benchmark::State& state) {
    std::vector<uint32_t> buffer(static_cast<size_t>(kWidth) * kHeight);
    uint32_t* pixels = buffer.data();
    benchmark::DoNotOptimize(pixels);
    const std::vector<Point>& points = pointSet();
    const uint32_t value = vandrel::toPixel(Color(120, 0, 0));
    for (auto _ : state) {
        for (const Point& p : points)
            pixels[p.y * kWidth + p.x] = value;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points.size()));
}
BENCHMARK(BM_SetPixelPlainLoop);

// One 255-pixel bar per iteration, walking across the columns as the plot does.
void BM_VerticalRunFillColumn(benchmark::State& state) {
    Canvas canvas(kWidth, kHeight);
    const uint32_t value = vandrel::toPixel(Color(40, 200, 90));
    int32_t x = 0;
    for (auto _ : state) {
        canvas.fillColumn(x, 100, 100 + kRun, value);
        benchmark::ClobberMemory();
        if (++x == kWidth)
            x = 0;
    }
    state.SetItemsProcessed(state.iterations() * kRun);
}
BENCHMARK(BM_VerticalRunFillColumn);

void BM_VerticalRunSetPixel(benchmark::State& state) {
    Canvas canvas(kWidth, kHeight);
    const Color color(40, 200, 90);
    int32_t x = 0;
    for (auto _ : state) {
        for (int32_t y = 100; y < 100 + kRun; ++y)
            canvas.setPixel(x, y, color);
        benchmark::ClobberMemory();
        if (++x == kWidth)
            x = 0;
    }
    state.SetItemsProcessed(state.iterations() * kRun);
}
BENCHMARK(BM_VerticalRunSetPixel);

void BM_VerticalRunPlainLoop(benchmark::State& state) {
    std::vector<uint32_t> buffer(static_cast<size_t>(kWidth) * kHeight);
    uint32_t* pixels = buffer.data();
    benchmark::DoNotOptimize(pixels);
    const uint32_t value = vandrel::toPixel(Color(40, 200, 90));
    int32_t x = 0;
    for (auto _ : state) {
        for (int32_t y = 100; y < 100 + kRun; ++y)
            pixels[y * kWidth + x] = value;
        benchmark::ClobberMemory();
        if (++x == kWidth)
            x = 0;
    }
    state.SetItemsProcessed(state.iterations() * kRun);
}
BENCHMARK(BM_VerticalRunPlainLoop);

}  // namespace
