#pragma once
#include <cstdint>

#include "record/shared_status.h"
#include "render/canvas.h"

namespace vandrel {

// A titled panel of numbered text rows, each lineHeight tall; row 0 holds the title.
class TextPanel : public Panel {
  public:
    TextPanel(Canvas& canvas, Rect bounds, int32_t lineHeight);
    void clearRow(int32_t i);
    void setRow(int32_t i, const char* text);
    // The title's right end lies 12 pixels right of the panel's middle.
    void setTitle(int32_t i, const char* text);
    // The right text ends 38 pixels from the panel's right edge.
    void setRowPair(int32_t i, const char* left, const char* right);
    // Row i in canvas coordinates.
    Rect rowRect(int32_t i) const;
    int32_t lineHeight() const { return lineHeight_; }

  private:
    Rect panelRow(int32_t i) const;
    int32_t rowTop(int32_t i) const { return 8 + i * lineHeight_; }
    int32_t lineHeight_;
};

// A percentage figure and a white bar growing from x = 30 to the panel's right edge.
class PercentBar : public Panel {
  public:
    PercentBar(Canvas& canvas, Rect bounds);
    void clear() { fill(colorBlack); }
    // f is clamped to 0..1, NaN counting as 0.
    void setFraction(float f);
};

// An oblique box that fills point by point, column by column, as its fraction grows.
class ProgressCube : public Panel {
  public:
    ProgressCube(Canvas& canvas, Rect bounds);
    void redraw();
    // f is clamped to 0..1, NaN counting as 0; a falling fraction starts again from empty.
    void setFraction(float f);

    float lastFraction = 0;
    int32_t filledCount = 0;
    int32_t faceWidth, faceHeight, depth, capacity, sliceSize, cubeBottom, cubeWidth;

  private:
    void drawFillPoint(int32_t k);
};

// The 64 power samples in red and the fitted bell curve in white.
class GaussianGraph : public Panel {
  public:
    GaussianGraph(Canvas& canvas, Rect bounds) : Panel(canvas, bounds, colorBlack) {}
    // Draws from a copy of the gaussian sub-block; the caller checked gaussPeakPower != 0.
    void drawGaussian(const GaussianInfo& g);

  private:
    void joinColumn(int32_t x, int32_t prev, int32_t v, uint32_t pixel);
};

}  // namespace vandrel
