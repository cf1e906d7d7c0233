#pragma once
// The long-term spectrum of a stream in the noise reducer's own units, so that its
// learnt noise profile can be drawn over it: per bin of a frame of the reducer's size,
// the mean one-sided amplitude of Kaiser-windowed frames (window scaled to a mean of 1,
// so a sine of amplitude a centred on a bin reads a * N), in dB. Frames are taken
// evenly over the stream, at most maxFrames of them, so the cost is bounded.

#include <cstdint>
#include <vector>

#include "primitives/RealFFT.h"

class LongTermLevels {
public:
    static constexpr int maxFrames = 3000;

    // Frames of `size` samples from a stream of `streamFrames` frames.
    LongTermLevels(int size, std::int64_t streamFrames);

    int Size() const { return size; }
    // Where the next frame to measure starts, in stream frames.
    std::int64_t NextStart() const { return nextStart; }
    // Measures the frame that starts at NextStart(), of every channel, and moves on.
    void Add(const std::vector<const float*>& channelFrames);
    // The mean amplitude per bin (size / 2 + 1 of them) in dB; the default level
    // when no frame was measured.
    std::vector<float> LevelsDb() const;

private:
    int size;
    std::int64_t hop;
    std::int64_t nextStart = 0;
    std::int64_t measured = 0;
    RealFFT fft;
    std::vector<float> window, frame, spectrum;
    std::vector<double> sum;
};
