// Linux home of the canvas: a heap pixel buffer, and text drawn with FreeType in the face
// fontconfig picks for "Arial" (Liberation Sans, which has Arial's metrics), sized the way
// GDI sizes a font asked for by its character-cell height.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "render/surface.h"

namespace vandrel {

struct Surface {
    uint32_t* pixels;
    int32_t width;
    int32_t height;
};

namespace {

// One FreeType library and fontconfig configuration, shared by all live fonts and
// released with the last of them.
struct FontLibrary {
    FT_Library freetype = nullptr;
    FcConfig* config = nullptr;
    int users = 0;
};
FontLibrary fontLibrary;

bool acquireFontLibrary() {
    if (fontLibrary.users == 0) {
        if (FT_Init_FreeType(&fontLibrary.freetype) != 0)
            return false;
        fontLibrary.config = FcInitLoadConfigAndFonts();
        if (!fontLibrary.config) {
            FT_Done_FreeType(fontLibrary.freetype);
            return false;
        }
    }
    ++fontLibrary.users;
    return true;
}

void releaseFontLibrary() {
    if (--fontLibrary.users > 0)
        return;
    FcConfigDestroy(fontLibrary.config);
    FT_Done_FreeType(fontLibrary.freetype);
    fontLibrary = FontLibrary{};
}

// Text bytes are Windows-1252; its 0x80..0x9F block differs from Latin-1.
constexpr std::array<uint16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint32_t codePoint(unsigned char c) {
    return c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c;
}

struct Glyph {
    bool loaded = false;
    int32_t left = 0, top = 0, width = 0, rows = 0, advance = 0;
    std::vector<uint8_t> coverage;  // rows x width, 0..255
};

}  // namespace

struct FontHandle {
    FT_Face face = nullptr;
    int32_t ascent = 0;
    int32_t descent = 0;
    // Rendered lazily, one per byte value; drawing a row of text then costs only blends.
    mutable std::array<Glyph, 256> glyphs;

    const Glyph& glyph(unsigned char c) const {
        Glyph& g = glyphs[c];
        if (g.loaded)
            return g;
        g.loaded = true;
        if (FT_Load_Char(face, codePoint(c), FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0)
            return g;
        const FT_GlyphSlot slot = face->glyph;
        g.advance = static_cast<int32_t>((slot->advance.x + 32) >> 6);
        const FT_Bitmap& bm = slot->bitmap;
        if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || bm.width == 0 || bm.rows == 0)
            return g;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = static_cast<int32_t>(bm.width);
        g.rows = static_cast<int32_t>(bm.rows);
        g.coverage.resize(static_cast<size_t>(g.width) * g.rows);
        for (int32_t r = 0; r < g.rows; ++r) {
            std::memcpy(&g.coverage[static_cast<size_t>(r) * g.width], bm.buffer + r * bm.pitch,
                        static_cast<size_t>(g.width));
        }
        return g;
    }
};

Surface* createSurface(int32_t width, int32_t height, uint32_t** pixels) {
    *pixels = nullptr;
    if (width <= 0 || height <= 0)
        return nullptr;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    uint32_t* buffer = new (std::nothrow) uint32_t[count]();
    if (!buffer)
        return nullptr;
    Surface* surface = new (std::nothrow) Surface{buffer, width, height};
    if (!surface) {
        delete[] buffer;
        return nullptr;
    }
    *pixels = buffer;
    return surface;
}

void destroySurface(Surface* surface) {
    if (!surface)
        return;
    delete[] surface->pixels;
    delete surface;
}

FontHandle* createFontHandle(int32_t height, int32_t weight) {
    if (height <= 0 || height > 4096 || !acquireFontLibrary())
        return nullptr;

    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("Arial"));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::clamp(weight, 1, 1000)));
    FcConfigSubstitute(fontLibrary.config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(fontLibrary.config, pattern, &result);
    FcPatternDestroy(pattern);

    FT_Face face = nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        if (FT_New_Face(fontLibrary.freetype, reinterpret_cast<const char*>(file), index, &face) !=
            0) {
            face = nullptr;
        }
    }
    if (match)
        FcPatternDestroy(match);
    if (!face) {
        releaseFontLibrary();
        return nullptr;
    }

    // A positive height asks for the character cell (win ascent + win descent). GDI picks
    // a whole ppem for it, one smaller when rounding up would make the cell too tall.
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    int64_t winAscent = os2 ? os2->usWinAscent : face->ascender;
    int64_t winDescent = os2 ? os2->usWinDescent : -face->descender;
    if (winAscent + winDescent <= 0) {
        winAscent = face->ascender;
        winDescent = -face->descender;
    }
    const int64_t units = std::max<int64_t>(winAscent + winDescent, 1);
    const int64_t upem = std::max<int64_t>(face->units_per_EM, 1);
    auto mulDiv = [](int64_t a, int64_t b, int64_t c) { return (a * b + c / 2) / c; };
    int64_t ppem = mulDiv(upem, height, units);
    if (ppem > 1 && mulDiv(units, ppem, upem) > height)
        --ppem;
    ppem = std::max<int64_t>(ppem, 1);
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(ppem)) != 0) {
        FT_Done_Face(face);
        releaseFontLibrary();
        return nullptr;
    }

    FontHandle* font = new (std::nothrow) FontHandle;
    if (!font) {
        FT_Done_Face(face);
        releaseFontLibrary();
        return nullptr;
    }
    font->face = face;
    font->ascent = static_cast<int32_t>(mulDiv(winAscent, ppem, upem));
    font->descent = static_cast<int32_t>(mulDiv(winDescent, ppem, upem));
    return font;
}

void destroyFontHandle(FontHandle* font) {
    if (!font)
        return;
    FT_Done_Face(font->face);
    delete font;
    releaseFontLibrary();
}

Extent measureText(Surface*, const FontHandle* font, const char* text, size_t length) {
    if (!font || !text)
        return {0, 0};
    int64_t width = 0;
    for (size_t i = 0; i < length; ++i) {
        width += font->glyph(static_cast<unsigned char>(text[i])).advance;
    }
    return {static_cast<int32_t>(std::min<int64_t>(width, INT32_MAX)),
            font->ascent + font->descent};
}

void renderText(Surface* surface, const FontHandle* font, int32_t x, int32_t y, const char* text,
                size_t length, Color textColor, Color backgroundColor) {
    if (!surface || !font || !text)
        return;
    const int64_t width = measureText(surface, font, text, length).width;
    const int64_t cellBottom = int64_t{y} + font->ascent + font->descent;
    const uint32_t background = toPixel(backgroundColor);
    const int64_t top = std::max<int64_t>(y, 0),
                  bottom = std::min<int64_t>(cellBottom, surface->height);
    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t right = std::min<int64_t>(int64_t{x} + width, surface->width);
    for (int64_t row = top; row < bottom && left < right; ++row) {
        uint32_t* line = surface->pixels + row * surface->width;
        std::fill(line + left, line + right, background);
    }

    const int32_t fr = textColor.red & 0xFF, fg = textColor.green & 0xFF,
                  fb = textColor.blue & 0xFF;
    const int64_t baseline = int64_t{y} + font->ascent;
    int64_t penX = x;
    for (size_t i = 0; i < length && penX < surface->width; ++i) {
        const Glyph& g = font->glyph(static_cast<unsigned char>(text[i]));
        const int64_t gx = penX + g.left, gy = baseline - g.top;
        penX += g.advance;
        const int64_t c0 = std::max<int64_t>(0, -gx),
                      c1 = std::min<int64_t>(g.width, surface->width - gx);
        const int64_t r0 = std::max<int64_t>(0, -gy),
                      r1 = std::min<int64_t>(g.rows, surface->height - gy);
        for (int64_t r = r0; r < r1; ++r) {
            const uint8_t* cov = g.coverage.data() + r * g.width;
            uint32_t* dst = surface->pixels + (gy + r) * surface->width + gx;
            for (int64_t c = c0; c < c1; ++c) {
                const int32_t a = cov[c];
                if (a == 0)
                    continue;
                const uint32_t d = dst[c];
                const int32_t dr = (d >> 16) & 0xFF, dg = (d >> 8) & 0xFF, db = d & 0xFF;
                const uint32_t nr = static_cast<uint32_t>((fr * a + dr * (255 - a) + 127) / 255);
                const uint32_t ng = static_cast<uint32_t>((fg * a + dg * (255 - a) + 127) / 255);
                const uint32_t nb = static_cast<uint32_t>((fb * a + db * (255 - a) + 127) / 255);
                dst[c] = nr << 16 | ng << 8 | nb;
            }
        }
    }
}

}  // namespace vandrel
