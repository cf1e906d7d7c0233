#pragma once
// Real music, known damage and the measurement of a repair, shared by the repair
// benchmarks and the quality evaluation.

#include "dsp/AudioProcessor.h"

#include <vector>

// A track of the planetblupi-music-ogg package.
inline constexpr const char* kDefaultTrack = "/usr/share/planetblupi/music/music004.ogg";

struct Music {
    std::vector<float> samples; // mono mix-down, full scale ±1
    int rate = 0;
};

// Reads `seconds` of the track from `offsetSeconds` on; empty samples on failure, after
// printing the reason.
Music LoadMusic(const char* path, double offsetSeconds, double seconds);

// Adds `perSecond` clicks per second at random positions: bursts of 1 to 24 samples of
// random values within a random amplitude of 0.05 to 0.5. Fixed seed.
void AddClicks(std::vector<float>& signal, int rate, double perSecond);

// Scales the signal so that its peak is `peak`.
std::vector<float> Driven(const std::vector<float>& signal, float peak);
void ClipAtFullScale(std::vector<float>& signal);

// Signal-to-error ratio of `signal` against `reference`, in dB.
double SnrDb(const std::vector<float>& reference, const std::vector<float>& signal);

// Streams the signal through the set-up mono stage in blocks, followed by `latency`
// frames of silence, and returns the output aligned with the input.
std::vector<float> RunAligned(DSP::AudioProcessor& stage, const std::vector<float>& signal,
                              int blockSize);
