#pragma once
// Helpers shared by the click and clip repairers: rate scaling of their constants,
// level conversion, the start-up of their input queues and the model fit with its
// fallback to a low order.

#include "dsp/ARModel.h"
#include "dsp/Decibels.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace DSP::Restoration {

// The single-precision value nearest to 1/44100 (slightly below it): constants tuned at
// 44.1 kHz scale with sampleRate·perReferenceRate. Products are formed in double so
// that, e.g., 10 × 44100 × perReferenceRate truncates to 9.
inline constexpr float perReferenceRate = 1.0f / 44100.0f;

inline int ScaleToRate(float valueAt44k, int sampleRate) {
    return static_cast<int>(static_cast<double>(valueAt44k) * sampleRate * perReferenceRate);
}

inline int RoundUpToEven(int value) {
    return value % 2 != 0 ? value + 1 : value;
}

inline int RoundDownToEven(int value) {
    return value % 2 != 0 ? value - 1 : value;
}

// Length of a duration in samples, one more than the truncated product; the duration
// stays in single precision, so 0.02 s at 44.1 kHz is 882 samples, not 883.
inline int DurationInSamples(int sampleRate, float seconds) {
    return static_cast<int>(sampleRate * static_cast<double>(seconds)) + 1;
}

using DSP::DbToAmplitude;

// How far an analysis segment must move before its autocorrelation is measured again.
inline float AnalysisHop(float quality, int analysisLength) {
    return ((1.0f - quality) * 0.5f + 0.1f) * static_cast<float>(analysisLength);
}

// Output frames of a block that are still start-up silence: all of them while the
// queue holds fewer than `required` frames, then the part of the block in which it
// first reaches that count.
inline int StartUpFrames(int queueFill, int frames, int required) {
    if (queueFill < required) return frames;
    const int before = queueFill - frames;
    return before < required ? required - before : 0;
}

// Fits a model of the given order; falls back to fallbackOrder when the fit is
// unstable (a coefficient beyond ±10). Returns the order used.
inline int FitModel(int order, int fallbackOrder, const float* autocorrelation, float* coefficients,
                    std::vector<double>& work) {
    EstimateAR(order, autocorrelation, coefficients, work);
    for (int j = 0; j <= order; ++j) {
        if (std::abs(coefficients[j]) > 10.0f) {
            EstimateAR(fallbackOrder, autocorrelation, coefficients, work);
            return fallbackOrder;
        }
    }
    return order;
}

} // namespace DSP::Restoration
