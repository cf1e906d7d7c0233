#pragma once
// Signals and a block-by-block runner for the tests of the repair stages.

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

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

// Streams input followed by `latency` frames of silence through the set-up stage in
// blocks of blockSize frames; returns every output frame.
template <class Stage>
std::vector<float> RunInBlocks(Stage& stage, std::vector<float> input, int blockSize) {
    input.resize(input.size() + stage.latency, 0.0f);
    for (std::size_t at = 0; at < input.size(); at += blockSize) {
        float* channels[] = {input.data() + at};
        stage.Process(channels, std::min<int>(blockSize, input.size() - at), nullptr);
    }
    return input;
}
