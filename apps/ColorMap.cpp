#include "apps/ColorMap.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

struct Linear {
    double r, g, b;
    bool InGamut() const { return std::min({r, g, b}) >= 0.0 && std::max({r, g, b}) <= 1.0; }
};

// OKLab (lightness L, opponent axes a, b) to linear-light sRGB.
Linear FromOkLab(double L, double a, double b) {
    const double l = std::pow(L + 0.3963377774 * a + 0.2158037573 * b, 3.0);
    const double m = std::pow(L - 0.1055613458 * a - 0.0638541728 * b, 3.0);
    const double s = std::pow(L - 0.0894841775 * a - 1.2914855480 * b, 3.0);
    return {4.0767416621 * l - 3.3077115913 * m + 0.2309699292 * s,
            -1.2684380046 * l + 2.6097574011 * m - 0.3413193965 * s,
            -0.0041960863 * l - 0.7034186147 * m + 1.7076147010 * s};
}

std::uint8_t Encode(double linear) {
    const double c = std::clamp(linear, 0.0, 1.0);
    const double v = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
    return std::uint8_t(std::lround(v * 255.0));
}

// The colour of lightness L and hue h (radians) with as much of `chroma` as sRGB can
// show at that lightness: the chroma is halved until the colour fits, then grown back.
Rgb Colour(double L, double hue, double chroma) {
    double low = 0.0;
    double high = chroma;
    for (int i = 0; i < 30; ++i) {
        const double mid = (low + high) / 2.0;
        const Linear c = FromOkLab(L, mid * std::cos(hue), mid * std::sin(hue));
        (c.InGamut() ? low : high) = mid;
    }
    const Linear c = FromOkLab(L, low * std::cos(hue), low * std::sin(hue));
    return {Encode(c.r), Encode(c.g), Encode(c.b)};
}

} // namespace

ColorMap::ColorMap() {
    constexpr double pi = std::numbers::pi;
    for (int i = 0; i < steps; ++i) {
        const double t = double(i) / (steps - 1);
        const double lightness = 0.13 + 0.83 * t;
        // Violet (300 degrees) turning through red to yellow (95 degrees, i.e. 455).
        const double hue = (300.0 + 155.0 * t) * pi / 180.0;
        const double chroma = 0.04 + 0.16 * std::sin(pi * std::pow(t, 0.9)) + 0.04 * t;
        table[std::size_t(i)] = Colour(lightness, hue, chroma);
    }
}

Rgb ColorMap::operator()(float t) const {
    const float clamped = std::isnan(t) ? 0.0f : std::clamp(t, 0.0f, 1.0f);
    return table[std::size_t(std::lround(clamped * (steps - 1)))];
}

const ColorMap& ColorMap::Levels() {
    static const ColorMap map;
    return map;
}
