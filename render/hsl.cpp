#include "render/hsl.h"

namespace vandrel {

namespace {
int32_t channel(double v) {
    // In range this is plain truncation; outside (or NaN) it pins instead of overflowing.
    if (!(v > 0))
        return 0;
    return v < 255 ? static_cast<int32_t>(v) : 255;
}
}  // namespace

double hueToChannel(double m1, double m2, double h) {
    if (h < 0)
        h += 1;
    if (h > 1)
        h -= 1;
    if (6 * h < 1)
        return m1 + (m2 - m1) * 6 * h;
    if (2 * h < 1)
        return m2;
    if (3 * h < 2)
        return m1 + (m2 - m1) * (2.0 / 3.0 - h) * 6;
    return m1;
}

void hslToRgb(double hue, double lightness, double saturation, Color& color) {
    if (saturation == 0) {
        color.red = color.green = color.blue = channel(lightness * 255);
        return;
    }
    double m2 = lightness <= 0.5 ? lightness * (1 + saturation)
                                 : lightness + saturation - lightness * saturation;
    double m1 = 2 * lightness - m2;
    color.red = channel(255 * hueToChannel(m1, m2, hue + 1.0 / 3.0));
    color.green = channel(255 * hueToChannel(m1, m2, hue));
    color.blue = channel(255 * hueToChannel(m1, m2, hue - 1.0 / 3.0));
}

}  // namespace vandrel
