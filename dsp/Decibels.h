#pragma once
// Level conversions used throughout the restoration engine.

#include <cmath>

namespace DSP {

// 10^(db/20)
inline float DbToAmplitude(float db) {
    return std::exp(db * 0.115129255f);
}

// 20 log10(amplitude), with -400 dB for amplitudes below 1e-20.
inline float AmplitudeToDb(float amplitude) {
    return amplitude < 1e-20f ? -400.0f : std::log(amplitude) * 8.685889f;
}

} // namespace DSP
