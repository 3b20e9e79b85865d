#include "host/win32/window_output.h"

#include "render/canvas_win32.h"
#include "render/color.h"

namespace vandrel {

RECT WindowOutput::clientRect() const {
    RECT client{};
    GetClientRect(window_, &client);
    return client;
}

HDC WindowOutput::begin() {
    return paintDc_ != nullptr ? paintDc_ : GetDC(window_);
}

void WindowOutput::end(HDC dc) {
    if (dc != paintDc_) {
        ReleaseDC(window_, dc);
    }
}

Rect WindowOutput::primaryArea() const {
    if ((GetWindowLongA(window_, GWL_STYLE) & WS_CHILD) != 0) {
        return {0, 0, width(), height()};
    }
    POINT origin{0, 0};
    MapWindowPoints(nullptr, window_, &origin, 1);
    return {origin.x, origin.y, origin.x + GetSystemMetrics(SM_CXSCREEN),
            origin.y + GetSystemMetrics(SM_CYSCREEN)};
}

void WindowOutput::copyCanvas(const Canvas& canvas, Rect part, Point origin, int32_t scale,
                              Rect clip) {
    HDC source = deviceContext(canvas);
    if (source == nullptr || isEmpty(part)) {
        return;
    }
    const int32_t w = part.right - part.left, h = part.bottom - part.top;
    HDC dc = begin();
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    if (scale == 1) {
        BitBlt(dc, origin.x + part.left, origin.y + part.top, w, h, source, part.left, part.top,
               SRCCOPY);
    } else {
        SetStretchBltMode(dc, COLORONCOLOR);  // replication, no smoothing
        StretchBlt(dc, origin.x + part.left * scale, origin.y + part.top * scale, w * scale,
                   h * scale, source, part.left, part.top, w, h, SRCCOPY);
    }
    RestoreDC(dc, saved);
    end(dc);
}

void WindowOutput::fillBlack(Rect area) {
    HDC dc = begin();
    const RECT r{area.left, area.top, area.right, area.bottom};
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    end(dc);
}

void WindowOutput::drawLabel(int32_t left, int32_t top) {
    // The class has its own DC, so its default font and opaque mode apply.
    HDC dc = begin();
    SetTextColor(dc, toPlatformColor(Color(0, 255, 255)));
    SetBkColor(dc, toPlatformColor(colorBlack));
    TextOutA(dc, left + 34, top + 37, "Vandrel", 7);
    TextOutA(dc, left + 32, top + 57, "ScreenSaver", 11);
    end(dc);
}

}  // namespace vandrel
