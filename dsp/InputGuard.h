#pragma once
// Keeps samples that the repair stages cannot take out of them. A non-finite sample
// (NaN, ±Inf) becomes 0, a dropout that click removal can rebuild like any other
// damage; a finite sample beyond ±largestInputLevel is clamped to it. Every other
// sample, subnormals and signals far above full scale included, passes bit for bit.
//
// Why 2^20: the narrowest range in the stages is the autocorrelation of the repair
// models, a float FFT of up to 8192 samples padded to 16384 whose power spectrum
// reaches (8192·A)^2 and whose inverse sums 16384 such bins before scaling: 2^40·A^2,
// which must stay below FLT_MAX ≈ 2^128, so A < 2^44. The noise reducer's analysis
// (2^13·A per bin, squared) and training (Kaiser window peak below 4, 2^15·A per bin,
// squared, summed over frames in float) allow about 2^48. Clamping at 2^20, 120 dB over
// full scale, leaves a factor 2^24 for rebuilt samples that overshoot their context
// before any of those sums can overflow.

namespace DSP {

inline constexpr float largestInputLevel = 1048576.0f;

// What a guarded block held: how many samples were non-finite, and the first and last
// frame that held one (-1 when none did).
struct Dropouts {
    int count = 0;
    int firstFrame = -1;
    int lastFrame = -1;
};

// In place, on `channels` planar channels of `frames` frames.
Dropouts GuardInput(float* const* block, int channels, int frames);

} // namespace DSP
