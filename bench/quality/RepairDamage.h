#pragma once
// Real music and the aligned run of a stage, shared by the repair benchmarks and the
// quality evaluation; damage and measures come from the support library.

#include "dsp/AudioProcessor.h"
#include "support/Measures.h"
#include "support/Signals.h"

#include <vector>

// A track of the planetblupi-music-ogg package.
inline constexpr const char* defaultTrack = "/usr/share/planetblupi/music/music004.ogg";

struct Music {
    std::vector<float> samples; // mono mix-down, full scale ±1
    int rate = 0;
};

// Reads `seconds` of the track from `offsetSeconds` on; empty samples on failure, after
// printing the reason.
Music LoadMusic(const char* path, double offsetSeconds, double seconds);

// Streams the signal through the set-up mono stage in blocks, followed by `latency`
// frames of silence, and returns the output aligned with the input.
std::vector<float> RunAligned(DSP::AudioProcessor& stage, const std::vector<float>& signal,
                              int blockSize);
