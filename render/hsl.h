#pragma once
#include "render/color.h"

namespace vandrel {

// The classic hue/lightness/saturation to RGB conversion; components are truncated and,
// for inputs outside 0..1, kept within 0..255.
void hslToRgb(double hue, double lightness, double saturation, Color& color);
double hueToChannel(double m1, double m2, double hue);

}  // namespace vandrel
