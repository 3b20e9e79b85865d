#include <cstdio>

#include "render/dashboard.h"
#include "render/hsl.h"

namespace vandrel {

namespace {
// Beyond these the geometry would only leave the canvas; within them no product overflows.
constexpr int32_t kDepthLimit = 4096;
constexpr int32_t kMaxHeightLimit = 4096;

int32_t clampTo(int32_t v, int32_t lo, int32_t hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}
int32_t half(int32_t v) {
    return v / 2;
}
}  // namespace

void Dashboard::updateSpectrumPlot() {
    plotDepthX = clampTo(status_.loadI32(rec::plotDepthX), -kDepthLimit, kDepthLimit);
    plotDepthY = clampTo(status_.loadI32(rec::plotDepthY), -kDepthLimit, kDepthLimit);
    plotMirrored = status_.loadI32(rec::plotMirrored);
    plotMaxHeight = clampTo(status_.loadI32(rec::plotMaxHeight), -kMaxHeightLimit, kMaxHeightLimit);
    // Only the rows that fit the record, and only the heights a row holds.
    plotRowCount = clampTo(status_.loadI32(rec::plotRowCount), 0, rec::plotRowCapacity);
    plotRowLength = clampTo(status_.loadI32(rec::plotRowLength), 0, rec::plotRowHeights);

    if (status_.isDirty(rec::plotAxesDirty)) {
        plotPanel_->fillRect({0, 0, plotPanelWidth_, plotPanelHeight_}, colorBlack);
        drawPlotLabels();
        drawPlotAxes();
        status_.clearDirty(rec::plotAxesDirty);
        drawn_ = true;
    }

    const uint32_t start = clock_.now(clock_.context);
    alignas(4) uint8_t heights[rec::plotRowHeights];
    for (int32_t i = 0; i < plotRowCount; ++i) {
        if (!status_.isDirty(rec::plotRowDirty(i)))
            continue;
        // One copy per row keeps a bar and its outline neighbour from the same moment.
        status_.copyBytes(rec::plotRow(i), heights, rec::plotRowHeights);
        drawPlotRow(heights, i);
        status_.clearDirty(rec::plotRowDirty(i));
        drawn_ = true;
        if (static_cast<uint32_t>(clock_.now(clock_.context) - start) > 1000)
            break;
    }
}

void Dashboard::drawPlotLabels() {
    drawPowerLabel("Power");
    char text[48];
    const double rate = status_.loadDouble(rec::sampleRateHz);
    const double count = static_cast<double>(status_.loadU32(rec::sampleCount));
    // A zero rate is a broken record: show no duration rather than a division by zero.
    std::snprintf(text, sizeof text, "%5.1f", rate != 0 ? count / rate : 0.0);
    drawTimeLabels("0", "Time (sec)", text);
    std::snprintf(text, sizeof text, "%5.3f", rate);
    drawFrequencyLabels("0.0", "Frequency (Hz)", text);
}

void Dashboard::drawPowerLabel(const char* text) {
    const int32_t w = plotPanelWidth_, h = plotPanelHeight_;
    int32_t ax;
    if (plotMirrored) {
        plotPanel_->drawText(50 - canvas_->textExtent(text).width, h - 40, text);
        ax = 30;
    } else {
        plotPanel_->drawText(w - 40, h - 40, text);
        ax = w - 25;
    }
    plotPanel_->drawLine(ax, h - 40, ax, h - 80, colorWhite);
    plotPanel_->drawLine(ax, h - 80, ax - 6, h - 74, colorWhite);
    plotPanel_->drawLine(ax, h - 80, ax + 6, h - 74, colorWhite);
}

void Dashboard::drawTimeLabels(const char* start, const char* title, const char* end) {
    const int32_t dx = plotDepthX, dy = plotDepthY, b = plotBaseline_;
    const int32_t t = dy != 0 ? (layout_.lineHeight * dx) / dy : 0;
    if (plotMirrored) {
        const int32_t x = plotRowLength + 72;
        plotPanel_->drawText(x + t, b - 12, start);
        plotPanel_->drawText(x + half(dx), b - half(dy) - 6, title);
        plotPanel_->drawText(x + dx, b - dy, end);
    } else {
        plotPanel_->drawText(48 + dx - t - canvas_->textExtent(start).width, b - 12, start);
        plotPanel_->drawText(48 + half(dx) - canvas_->textExtent(title).width, b - half(dy) - 6,
                             title);
        plotPanel_->drawText(48 - canvas_->textExtent(end).width, b - dy, end);
    }
}

void Dashboard::drawFrequencyLabels(const char* start, const char* title, const char* end) {
    const int32_t n = plotRowLength, y = plotPanelHeight_ - 16;
    const int32_t x0 = plotMirrored ? 60 : 60 + plotDepthX;
    plotPanel_->drawText(x0 + 4, y, start);
    plotPanel_->drawText(x0 + half(n) - 20, y, title);
    plotPanel_->drawText(x0 + n - 40, y, end);
}

void Dashboard::drawPlotAxes() {
    const int32_t dx = plotDepthX, n = plotRowLength, m = plotMaxHeight;
    const int32_t xf = plotMirrored ? 58 : 58 + dx;
    const int32_t xk = plotMirrored ? 58 + dx : 58;
    const int32_t yf = plotBaseline_ + 1, yk = plotBaseline_ - plotDepthY;
    const int32_t xfr = xf + n + 2, xkr = xk + n + 2;
    Panel& p = *plotPanel_;
    p.drawLine(xf, yf, xfr, yf, colorGrey);
    p.drawLine(xf, yf, xk, yk, colorGrey);
    p.drawLine(xk, yk, xkr, yk, colorGrey);
    p.drawLine(xfr, yf, xkr, yk, colorGrey);
    if (!plotMirrored) {
        p.drawLine(xk, yk, xk, yk - m, colorGrey);
        p.drawLine(xkr, yk, xkr, yk - m, colorGrey);
        p.drawLine(xfr, yf, xfr, yf - m, colorGrey);
        p.drawLine(xk, yk - m, xkr, yk - m, colorGrey);
        p.drawLine(xkr, yk - m, xfr, yf - m, colorGrey);
    } else {
        p.drawLine(xf, yf, xf, yf - m, colorGrey);
        p.drawLine(xk, yk, xk, yk - m, colorGrey);
        p.drawLine(xkr, yk, xkr, yk - m, colorGrey);
        p.drawLine(xf, yf - m, xk, yk - m, colorGrey);
        p.drawLine(xk, yk - m, xkr, yk - m, colorGrey);
    }
}

void Dashboard::drawBarRun(int32_t column, int32_t fromLevel, int32_t toLevel, uint32_t pixel) {
    if (fromLevel >= toLevel)
        return;
    // Bars stay inside the plot panel whatever the worker's depths and heights.
    const Rect& r = plotPanel_->bounds;
    const int32_t x = r.left + 60 + column;
    if (x < r.left || x >= r.right)
        return;
    int32_t y0 = r.top + plotBaseline_ - toLevel + 1;
    int32_t y1 = r.top + plotBaseline_ - fromLevel + 1;
    if (y0 < r.top)
        y0 = r.top;
    if (y1 > r.bottom)
        y1 = r.bottom;
    if (y0 < y1)
        canvas_->fillColumn(x, y0, y1, pixel);
}

void Dashboard::drawPlotRow(const uint8_t* heights, int32_t i) {
    const int32_t r = plotRowCount, n = plotRowLength;
    if (r <= 0 || n <= 0)
        return;
    const int32_t xo = plotMirrored ? (plotDepthX * (r - 1 - i)) / r : (plotDepthX * i) / r;
    const int32_t yo = (plotDepthY * (r - 1 - i)) / r;
    // A wall height of 0 or less has no scale; read it as 1 so that lightness saturates.
    const double maxHeight = plotMaxHeight > 0 ? plotMaxHeight : 1;
    const uint32_t black = toPixel(colorBlack);
    for (int32_t j = 0; j < n; ++j) {
        const int32_t h = heights[j];
        double lightness = 0.2 + 0.6 * h / maxHeight;
        if (lightness > 1)
            lightness = 1;
        Color color;
        hslToRgb(0.5 + 0.5 * (n - j) / n, lightness, 1.0, color);
        drawBarRun(xo + j, yo, yo + h, toPixel(color));
        // The outline: a black pixel above the bar, or a black run up to a taller
        // neighbour's outline, traced over whatever the rows behind left there.
        int32_t neighbour = -1;
        if (!plotMirrored && j > 0)
            neighbour = heights[j - 1];
        if (plotMirrored && j < n - 1)
            neighbour = heights[j + 1];
        if (neighbour > h) {
            drawBarRun(xo + j, yo + h, yo + neighbour, black);
        } else {
            drawBarRun(xo + j, yo + h, yo + h + 1, black);
        }
    }
}

}  // namespace vandrel
