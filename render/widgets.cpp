#include "render/widgets.h"

#include <cstdio>

namespace vandrel {

namespace {
// Fractions come from the worker: keep them in 0..1 and read NaN as nothing done.
float clampFraction(float f) {
    if (!(f > 0))
        return 0;
    return f < 1 ? f : 1;
}
}  // namespace

TextPanel::TextPanel(Canvas& canvas, Rect bounds, int32_t lineHeight)
    : Panel(canvas, bounds, colorBlack), lineHeight_(lineHeight) {
    // The 6-pixel margin keeps the frame's fillets that reach into the panel.
    fillRect({6, 6, width - 6, height - 6}, colorBlack);
}

Rect TextPanel::panelRow(int32_t i) const {
    return {12, rowTop(i), width - 12, rowTop(i + 1)};
}

Rect TextPanel::rowRect(int32_t i) const {
    Rect r = panelRow(i);
    return {r.left + bounds.left, r.top + bounds.top, r.right + bounds.left, r.bottom + bounds.top};
}

void TextPanel::clearRow(int32_t i) {
    fillRect(panelRow(i), colorBlack);
}

void TextPanel::setRow(int32_t i, const char* text) {
    clearRow(i);
    drawText(12, rowTop(i), text);
}

void TextPanel::setTitle(int32_t i, const char* text) {
    int32_t w = canvas->textExtent(text).width;
    clearRow(i);
    drawText(width / 2 - w + 12, rowTop(i), text);
}

void TextPanel::setRowPair(int32_t i, const char* left, const char* right) {
    int32_t w = canvas->textExtent(right).width;
    clearRow(i);
    drawText(12, rowTop(i), left);
    drawText(width - w - 38, rowTop(i), right);
}

PercentBar::PercentBar(Canvas& canvas, Rect bounds) : Panel(canvas, bounds, colorBlack) {
    clear();
}

void PercentBar::setFraction(float f) {
    f = clampFraction(f);
    clear();
    // The products are exact in double, so 0.999 shows 99 and never rounds up.
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", static_cast<int32_t>(static_cast<double>(f) * 100));
    drawText(0, 0, text);
    int32_t n = static_cast<int32_t>(static_cast<double>(width - 30) * f);
    fillRect({30, 4, 30 + n, 10}, colorWhite);
}

ProgressCube::ProgressCube(Canvas& canvas, Rect bounds) : Panel(canvas, bounds, colorBlack) {
    cubeWidth = width - 10;
    cubeBottom = height - 1;
    depth = (height - 1) / 3;
    faceWidth = cubeWidth - depth;
    faceHeight = cubeBottom - depth;
    // A panel too small for a box holds no fill points at all.
    bool empty = faceWidth <= 0 || faceHeight <= 0 || depth <= 0;
    capacity = empty ? 0 : faceHeight * faceWidth * depth;
    sliceSize = empty ? 0 : faceHeight * depth;
    redraw();
}

void ProgressCube::redraw() {
    fill(colorBlack);
    filledCount = 0;
    // The front face's top and right edges are left to the growing fill.
    drawLine(0, cubeBottom, faceWidth, cubeBottom, colorGrey);
    drawLine(depth, faceHeight, cubeWidth, faceHeight, colorGrey);
    drawLine(depth, 0, cubeWidth + 1, 0, colorGrey);
    drawLine(0, cubeBottom, 0, depth, colorGrey);
    drawLine(depth, faceHeight, depth, 0, colorGrey);
    drawLine(cubeWidth, faceHeight, cubeWidth, 0, colorGrey);
    drawLine(0, cubeBottom, depth, faceHeight, colorGrey);
    drawLine(0, depth, depth, 0, colorGrey);
    drawLine(faceWidth, cubeBottom, cubeWidth, faceHeight, colorGrey);
}

void ProgressCube::setFraction(float f) {
    f = clampFraction(f);
    int32_t n = static_cast<int32_t>(static_cast<double>(capacity) * f);
    if (f < lastFraction)
        redraw();
    lastFraction = f;
    if (n <= filledCount)
        return;
    for (int32_t k = filledCount; k < n; ++k)
        drawFillPoint(k);
    filledCount = n;
}

void ProgressCube::drawFillPoint(int32_t k) {
    // Column by column, each from the back slice to the front, each slice bottom-up; a
    // point's bright pixel lands on the dark one of the point below it.
    int32_t column = k / sliceSize;
    int32_t r = k % sliceSize;
    int32_t z = r / faceHeight;
    int32_t a = r % faceHeight;
    int32_t x = column - z + depth;
    int32_t y = cubeBottom - a + z - depth;
    setPixel(x, y, colorCubeDark);
    setPixel(x + 1, y, colorCubeMid);
    setPixel(x, y + 1, colorCubeBright);
}

}  // namespace vandrel
