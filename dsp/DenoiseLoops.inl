// The loops behind DenoiseKernels, included by one translation unit per instruction-set
// level, each compiled with its own target flags. Everything here has internal linkage
// and calls nothing outside this file (the comparisons spell out std::min and std::max),
// so no function compiled for a wide level can be shared with baseline code. Selects
// instead of branches let the compiler vectorise every loop.

#include "dsp/DenoiseKernels.h"

namespace {

// std::max(a, b) and std::min(a, b), NaN included.
inline float Larger(float a, float b) {
    return a < b ? b : a;
}
inline float Smaller(float a, float b) {
    return b < a ? b : a;
}

void RawGain(int count, const float* __restrict spectrum, const float* __restrict noise,
             const float* __restrict gate, const float* __restrict floorGain,
             float* __restrict gain) {
    for (int k = 0; k < count; ++k) {
        const float re = spectrum[2 * k];
        const float im = spectrum[2 * k + 1];
        const float magnitude = __builtin_sqrtf(re * re + im * im);
        const float ratio = noise[k] / Larger(magnitude, 1e-30f);
        const float subtracted = Larger(1.0f - ratio * __builtin_sqrtf(ratio), floorGain[k]);
        gain[k] = magnitude > gate[k] ? subtracted : floorGain[k];
    }
}

// Divisions run for every bin and selects pick the results; a quotient that is not
// picked may be infinite or NaN.
void SmoothLevels(int count, const float* __restrict gainDb, const float* __restrict floorDb,
                  float* __restrict ratioDb) {
    for (int k = 0; k < count; ++k) {
        const float level = gainDb[k];
        const float ratio = ratioDb[k];
        const float divided = ratio / (level + 4.0f);
        const float c = level <= -3.0f ? ratio : divided;
        const float lowest = -floorDb[k];
        const float v = 0.667f * ((2.0f - c) * level + (c - 0.5f) * lowest);
        ratioDb[k] = v < lowest ? lowest : Smaller(v, level);
    }
}

void LimitAndRelease(int count, const float* __restrict x, const float* __restrict reduction,
                     const float* __restrict previous, float step, float* __restrict y) {
    for (int k = 0; k < count; ++k) {
        const float limited = Smaller(0.0f, Larger(x[k], -reduction[k]));
        y[k] = Larger(limited, previous[k] - step);
    }
}

void LnToDb(int count, const float* __restrict amplitude, float* __restrict db) {
    for (int k = 0; k < count; ++k)
        db[k] = amplitude[k] < 1e-20f ? -400.0f : db[k] * 8.685889f;
}

void DbToExponent(int count, const float* __restrict db, float* __restrict exponent) {
    for (int k = 0; k < count; ++k)
        exponent[k] = db[k] * 0.115129255f;
}

void ApplyGain(int count, const float* __restrict gain, float* __restrict spectrum) {
    for (int k = 0; k < count; ++k) {
        spectrum[2 * k] *= gain[k];
        spectrum[2 * k + 1] *= gain[k];
    }
}

constexpr DenoiseKernels kKernels{RawGain, SmoothLevels, LimitAndRelease,
                                  LnToDb,  DbToExponent, ApplyGain};

} // namespace
