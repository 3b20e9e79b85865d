#pragma once
#include <windows.h>

#include "controller/saver_output.h"

namespace vandrel {

// The saver window's client area. The full-screen window spans every monitor and puts the
// dashboard on the primary one, wherever the screen's origin lies in it; a preview child
// uses its whole client area.
class WindowOutput final : public SaverOutput {
  public:
    void attach(HWND window) { window_ = window; }
    // Draws go to dc (a paint's or an erase's, clipped to what needs painting) until it is
    // null again; else to the window's own DC.
    void drawInto(HDC dc) { paintDc_ = dc; }

    int32_t width() const override { return clientRect().right; }
    int32_t height() const override { return clientRect().bottom; }
    Rect primaryArea() const override;
    // StretchBlt replicates pixels itself (COLORONCOLOR): the platform does the scaled
    // copy, from the canvas's own DIB section.
    void copyCanvas(const Canvas& canvas, Rect part, Point origin, int32_t scale,
                    Rect clip) override;
    void fillBlack(Rect area) override;
    void drawLabel(int32_t left, int32_t top) override;

  private:
    RECT clientRect() const;
    HDC begin();
    void end(HDC dc);

    HWND window_ = nullptr;
    HDC paintDc_ = nullptr;
};

}  // namespace vandrel
