#include <cmath>

#include "render/widgets.h"

namespace vandrel {

namespace {
// Scales a value to a pixel level, kept inside the graph: a level outside -4..H-5 would
// put the point or its join run outside the panel, and NaN reads as the zero line.
int32_t level(double v, int32_t height) {
    const double lowest = -4, highest = height - 5;
    if (std::isnan(v))
        return 0;
    if (v < lowest)
        v = lowest;
    if (v > highest)
        v = highest;
    return static_cast<int32_t>(v);
}
}  // namespace

void GaussianGraph::joinColumn(int32_t x, int32_t prev, int32_t v, uint32_t pixel) {
    // The run stops just short of the previous level, from whichever side.
    const int32_t y0 = height - 5;
    int32_t from = v < prev ? y0 - prev + 1 : y0 - v + 1;
    int32_t to = v < prev ? y0 - v + 1 : y0 - prev + 1;
    canvas->fillColumn(bounds.left + x, bounds.top + from, bounds.top + to, pixel);
}

void GaussianGraph::drawGaussian(const GaussianInfo& g) {
    fill(colorBlack);
    const int32_t w = width, h = height;
    const double scale = h - 10;
    const int32_t y0 = h - 5;
    if (w <= 0 || h <= 10)
        return;

    double max = g.get<float>(GaussianInfo::gaussPeakPower);
    for (size_t k = 0; k < rec::gaussPowerCount; ++k) {
        double sample = g.power(k);
        if (sample > max)
            max = sample;
    }
    // Nothing can be scaled against a maximum that is not a positive number.
    if (!(max > 0) || !std::isfinite(max))
        return;

    const uint32_t red = toPixel(colorRed), white = toPixel(colorWhite);
    int32_t prev = 0;
    for (int32_t x = 0; x < w; ++x) {
        int32_t k = static_cast<int32_t>((64LL * x) / w);
        int32_t v = level(g.power(static_cast<size_t>(k)) * scale / max, h);
        joinColumn(x, prev, v, red);
        setPixel(x, y0 - v, colorRed);
        prev = v;
    }

    const double sigma = g.get<float>(GaussianInfo::gaussSigma);
    // Without a usable width the fitted curve is undefined; the samples still show.
    if (sigma == 0 || std::isnan(sigma))
        return;
    const double peak = g.get<float>(GaussianInfo::gaussPeakPower);
    const double mean = g.get<float>(GaussianInfo::gaussMeanPower);
    const double centre = g.get<int32_t>(GaussianInfo::gaussCentre);
    prev = 0;
    for (int32_t x = 0; x < w; ++x) {
        double t = 64.0 * x / w;
        double z = (t - centre) / sigma;
        double f = peak * std::exp(-0.693 * z * z) + mean;
        int32_t v = level(f / max * scale, h);
        if (x > 0)
            joinColumn(x, prev, v, white);
        setPixel(x, y0 - v, colorWhite);
        prev = v;
    }
}

}  // namespace vandrel
