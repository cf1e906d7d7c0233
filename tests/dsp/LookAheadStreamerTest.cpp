#include "dsp/LookAheadStreamer.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

float Sample(int index) {
    return static_cast<float>(index + 1);
}

// Reads ahead: replaces each sample by itself minus the sample lookAhead frames later.
class AheadDifference : public DSP::AudioProcessor {
public:
    explicit AheadDifference(int frames) { lookAhead = frames; }
    void Setup(int channels, int rate, int maxFrames) override {
        AudioProcessor::Setup(channels, rate, maxFrames);
        latency = 3;
    }
    void Process(float* const* input, int frames, float* const*) override {
        for (int i = 0; i < frames; ++i)
            input[0][i] -= input[0][i + lookAhead];
    }
};

// Feeds the samples 1, 2, 3, ... in blocks of the given lengths; returns the output.
std::vector<float> Stream(LookAheadStreamer& streamer, const std::vector<int>& lengths) {
    std::vector<float> output;
    for (int frames : lengths) {
        std::vector<float> block(frames);
        for (int i = 0; i < frames; ++i)
            block[i] = Sample(static_cast<int>(output.size()) + i);
        float* channels[] = {block.data()};
        streamer.Process(channels, frames, nullptr);
        output.insert(output.end(), block.begin(), block.end());
    }
    return output;
}

TEST(LookAheadStreamerTest, InnerSeesTheLastInputFramesAheadForAnyBlockLengths) {
    const int la = 37;
    AheadDifference inner(la);
    LookAheadStreamer streamer(&inner);
    streamer.Setup(1, 44100, 64);
    EXPECT_EQ(streamer.latency, 3 + la);
    std::mt19937 rng(3);
    std::vector<int> lengths;
    for (int i = 0; i < 40; ++i)
        lengths.push_back(static_cast<int>(rng() % 65)); // mostly shorter than la
    const std::vector<float> output = Stream(streamer, lengths);
    for (int n = 0; n < static_cast<int>(output.size()); ++n)
        ASSERT_EQ(output[n], (n < la ? 0.0f : Sample(n - la)) - Sample(n)) << n;
}

TEST(LookAheadStreamerTest, ZeroLookAheadPassesThroughAndALongerBlockRestarts) {
    AheadDifference direct(0);
    LookAheadStreamer passThrough(&direct);
    passThrough.Setup(1, 44100, 16);
    EXPECT_EQ(passThrough.latency, 3);
    EXPECT_EQ(Stream(passThrough, {16, 5}), std::vector<float>(21, 0.0f));

    AheadDifference inner(4);
    LookAheadStreamer streamer(&inner);
    streamer.Setup(1, 44100, 8);
    Stream(streamer, {8});
    EXPECT_EQ(Stream(streamer, {20})[0], -Sample(0)); // history restarted from silence
    EXPECT_EQ(streamer.maxBlockSize, 20);
    EXPECT_EQ(inner.maxBlockSize, 20);
}

} // namespace
