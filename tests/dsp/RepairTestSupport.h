#pragma once
// Signals, a block-by-block runner and measures shared by the tests of the stages.

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "dsp/Denoise.h"
#include "support/Measures.h"
#include "support/Signals.h"

// A few sinusoids with a little noise; the peak stays below 0.9.
inline std::vector<float> MusicLike(int frames, float offset = 0.0f) {
    std::mt19937 rng(11);
    std::normal_distribution<float> noise(0.0f, 0.002f);
    std::vector<float> x(frames);
    for (int n = 0; n < frames; ++n)
        x[n] = offset + 0.45f * std::sin(0.021f * n) + 0.25f * std::sin(0.093f * n + 1.0f) +
               0.1f * std::sin(0.31f * n + 2.0f) + noise(rng);
    return x;
}

// A sinusoid of amplitude 0.8 with a little noise that swells to about 1.15 around each
// centre, where a few peaks of up to 27 samples rise above 1.
inline std::vector<float> Swells(int frames, const std::vector<int>& centres) {
    std::mt19937 rng(3);
    std::normal_distribution<float> noise(0.0f, 0.001f);
    const float omega = 2.0f * 3.14159265f / 160.0f;
    std::vector<float> x(frames);
    for (int n = 0; n < frames; ++n) {
        float amplitude = 0.8f;
        for (int c : centres)
            amplitude += 0.35f * std::exp(-std::pow((n - c) / 150.0f, 2.0f));
        x[n] = amplitude * std::sin(omega * (n - centres[0]) + 1.5707963f) + noise(rng);
    }
    return x;
}

// Streams input followed by `latency` frames of silence through the set-up mono stage in
// blocks of blockSize frames (the last one shorter); returns every output frame.
template <class Stage>
std::vector<float> RunInBlocks(Stage& stage, std::vector<float> input, int blockSize) {
    input.resize(input.size() + stage.latency, 0.0f);
    for (std::size_t at = 0; at < input.size(); at += blockSize) {
        float* channels[] = {input.data() + at};
        stage.Process(channels, std::min<int>(blockSize, input.size() - at), nullptr);
    }
    return input;
}

// The same, with the stage's delay taken off: output frame n belongs to input frame n.
template <class Stage>
std::vector<float> RunAligned(Stage& stage, const std::vector<float>& input, int blockSize) {
    std::vector<float> out = RunInBlocks(stage, input, blockSize);
    out.erase(out.begin(), out.begin() + stage.latency);
    return out;
}

// Mean power of frames from ... to of x, in dB of full scale.
inline double LevelDb(const std::vector<float>& x, std::size_t from, std::size_t to) {
    return 10.0 * std::log10(Energy(x.data() + from, to - from) / double(to - from));
}

// The profile Denoise learns from mono noise at 44.1 kHz, in blocks of 4096 frames.
inline std::vector<float> TrainedProfile(const std::vector<float>& noise) {
    Denoise denoise;
    denoise.Setup(1, 44100, 4096);
    denoise.StartTraining();
    for (std::size_t at = 0; at + 4096 <= noise.size(); at += 4096) {
        const float* block[] = {noise.data() + at};
        denoise.TrainBlock(block, 4096);
    }
    denoise.FinishTraining();
    return denoise.noiseProfile[0];
}
