#pragma once
#include <cstdint>

namespace vandrel {

// An RGB colour; components are 0..255, only their low 8 bits reach the screen.
struct Color {
    int32_t red;
    int32_t green;
    int32_t blue;
    // Left unset on purpose: the plot's colouring fills the components itself.
    Color() = default;
    constexpr Color(int32_t r, int32_t g, int32_t b) : red(r), green(g), blue(b) {}
    friend constexpr bool operator==(const Color&, const Color&) = default;
};

// The palette-relative form the Windows drawing calls take: 0x02BBGGRR.
constexpr uint32_t toPlatformColor(Color c) {
    return 0x02000000u + (static_cast<uint32_t>(c.blue) & 0xFF) * 65536u +
           (static_cast<uint32_t>(c.green) & 0xFF) * 256u + (static_cast<uint32_t>(c.red) & 0xFF);
}

// A canvas pixel: 0x00RRGGBB, the memory layout of a 32-bit DIB section.
constexpr uint32_t toPixel(Color c) {
    return (static_cast<uint32_t>(c.red) & 0xFF) << 16 |
           (static_cast<uint32_t>(c.green) & 0xFF) << 8 | (static_cast<uint32_t>(c.blue) & 0xFF);
}

constexpr Color pixelColor(uint32_t p) {
    return Color(static_cast<int32_t>((p >> 16) & 0xFF), static_cast<int32_t>((p >> 8) & 0xFF),
                 static_cast<int32_t>(p & 0xFF));
}

inline constexpr Color colorBlack{0, 0, 0};
inline constexpr Color colorWhite{255, 255, 255};
inline constexpr Color colorGrey{127, 127, 127};
inline constexpr Color colorPurple{153, 102, 255};
inline constexpr Color colorRed{255, 0, 0};
inline constexpr Color colorCubeDark{80, 0, 0};
inline constexpr Color colorCubeMid{120, 0, 0};
inline constexpr Color colorCubeBright{240, 0, 0};
// Part of the palette though nothing draws with them yet.
inline constexpr Color colorGreen{0, 255, 0};
inline constexpr Color colorYellow{255, 255, 0};
inline constexpr Color colorDarkGreen{0, 96, 0};
inline constexpr Color colorOlive{64, 64, 0};
inline constexpr Color colorDarkRed{96, 0, 0};

}  // namespace vandrel
