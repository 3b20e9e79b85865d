// Windows home of the canvas: a top-down 32-bit DIB section selected into a memory
// device context, so the portable rasteriser writes its pixels directly and GDI draws
// the text into the same memory.
#include <windows.h>

#include <new>

#include "render/canvas_win32.h"
#include "render/surface.h"

namespace vandrel {

struct Surface {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previousBitmap;
    int32_t width;
    int32_t height;
};

struct FontHandle {
    HFONT font;
};

HBITMAP createTopDownDib(HDC dc, int32_t width, int32_t height, uint32_t** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // rows top-down, like the canvas
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* memory = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    *bits = static_cast<uint32_t*>(memory);
    return bitmap;
}

Surface* createSurface(int32_t width, int32_t height, uint32_t** pixels) {
    *pixels = nullptr;
    if (width <= 0 || height <= 0)
        return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return nullptr;
    uint32_t* bits = nullptr;
    HBITMAP bitmap = createTopDownDib(dc, width, height, &bits);
    Surface* surface =
        bitmap && bits ? new (std::nothrow) Surface{dc, bitmap, nullptr, width, height} : nullptr;
    if (!surface) {
        if (bitmap)
            DeleteObject(bitmap);
        DeleteDC(dc);
        return nullptr;
    }
    surface->previousBitmap = SelectObject(dc, bitmap);
    // A fresh DIB section is zero-filled already.
    *pixels = bits;
    return surface;
}

void destroySurface(Surface* surface) {
    if (!surface)
        return;
    SelectObject(surface->dc, surface->previousBitmap);
    DeleteDC(surface->dc);
    DeleteObject(surface->bitmap);
    delete surface;
}

HDC deviceContext(const Canvas& canvas) {
    return canvas.surface() ? canvas.surface()->dc : nullptr;
}

FontHandle* createFontHandle(int32_t height, int32_t weight) {
    HFONT font =
        CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0x30, "Arial");
    if (!font)
        return nullptr;
    FontHandle* handle = new (std::nothrow) FontHandle{font};
    if (!handle)
        DeleteObject(font);
    return handle;
}

void destroyFontHandle(FontHandle* font) {
    if (!font)
        return;
    DeleteObject(font->font);
    delete font;
}

Extent measureText(Surface* surface, const FontHandle* font, const char* text, size_t length) {
    if (!font || !text)
        return {0, 0};
    // A canvas without pixels has no context of its own; measure on a scratch one.
    HDC dc = surface ? surface->dc : CreateCompatibleDC(nullptr);
    if (!dc)
        return {0, 0};
    HGDIOBJ previous = SelectObject(dc, font->font);
    SIZE size{0, 0};
    const int count = length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(length);
    if (!GetTextExtentPoint32A(dc, text, count, &size))
        size = SIZE{0, 0};
    if (!surface) {
        SelectObject(dc, previous);
        DeleteDC(dc);
    }
    return {static_cast<int32_t>(size.cx), static_cast<int32_t>(size.cy)};
}

void renderText(Surface* surface, const FontHandle* font, int32_t x, int32_t y, const char* text,
                size_t length, Color textColor, Color backgroundColor) {
    if (!surface || !font || !text || x >= surface->width || y >= surface->height)
        return;
    // Far-off text is skipped here rather than handed to GDI's coordinate limits.
    const Extent extent = measureText(surface, font, text, length);
    if (int64_t{x} + extent.width <= 0 || int64_t{y} + extent.height <= 0)
        return;
    HGDIOBJ previous = SelectObject(surface->dc, font->font);
    SetTextColor(surface->dc, toPlatformColor(textColor));
    SetBkColor(surface->dc, toPlatformColor(backgroundColor));
    SetBkMode(surface->dc, OPAQUE);
    const int count = length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(length);
    TextOutA(surface->dc, x, y, text, count);
    // The font goes back so that it is never selected when its owner deletes it.
    SelectObject(surface->dc, previous);
    // GDI may batch the call; the rasteriser touches the pixels directly next.
    GdiFlush();
}

}  // namespace vandrel
