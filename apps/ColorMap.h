#pragma once
// The colour scale of the report's levels: from near black through violet, red and
// orange to pale yellow. It is perceptually uniform: the OKLab lightness of the colour
// grows in equal steps with the value while the hue turns, so equal differences in
// level look equally different and the scale still reads in grey when printed.

#include <array>

#include "apps/Image.h"

class ColorMap {
public:
    static constexpr int steps = 256;

    ColorMap();
    // t from 0 (lowest) to 1 (highest); values outside are clamped.
    Rgb operator()(float t) const;

    // The one shared table.
    static const ColorMap& Levels();

private:
    std::array<Rgb, steps> table;
};
