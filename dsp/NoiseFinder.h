#pragma once
// Automatic noise learning for a whole recording. FindStretches looks for noise-only stretches
// (lead-in, pauses, run-out): windows where every frequency band stays at its quietest level
// over the whole signal, in runs of at least half a second. EstimateFloor, for recordings
// without such stretches, takes per frequency bin a low percentile of the short-time power
// (the quietest moments of each band), corrected for the percentile's bias on pure noise.
// Learn tries the first and falls back on the second; both give a profile in Denoise's format.

#include <array>
#include <cstdint>
#include <vector>

namespace DSP {

struct NoiseStretch {
    std::int64_t begin; // first frame
    std::int64_t end;   // one past the last frame
};

struct LearntNoise {
    // Empty when the profile comes from the quietest moments instead.
    std::vector<NoiseStretch> stretches;
    // Per channel (at most 2), Denoise::profileBins values, dB.
    std::array<std::vector<float>, 2> profile;
};

class NoiseFinder {
public:
    // Stretches shorter than this (seconds) are not reported.
    static constexpr double shortestStretch = 0.5;

    // channels: planar samples of the whole signal.
    static std::vector<NoiseStretch> FindStretches(const float* const* channels, int channelCount,
                                                   std::int64_t frames, int rate);
    static std::array<std::vector<float>, 2>
    EstimateFloor(const float* const* channels, int channelCount, std::int64_t frames, int rate);
    // Trains Denoise over the stretches found, one after the other, or estimates the floor.
    static LearntNoise Learn(const float* const* channels, int channelCount, std::int64_t frames,
                             int rate);
};

} // namespace DSP
