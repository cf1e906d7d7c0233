#include "dsp/RestorationChain.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using DSP::Restoration::ChainSwitches;
using DSP::Restoration::RestorationChain;

// A stand-in for another noise reducer: halves the signal and delays it by `latency`.
class HalvingDelay : public DSP::AudioProcessor {
public:
    void Setup(int channels, int rate, int maxFrames) override {
        AudioProcessor::Setup(channels, rate, maxFrames);
        latency = 100;
        line.assign(std::size_t(channels), std::vector<float>(std::size_t(latency), 0.0f));
        ++setups;
    }
    void Process(float* const* input, int frames, float* const*) override {
        for (int c = 0; c < channelCount; ++c) {
            std::vector<float>& held = line[std::size_t(c)];
            for (int i = 0; i < frames; ++i) {
                held.push_back(0.5f * input[c][i]);
                input[c][i] = held.front();
                held.erase(held.begin());
            }
        }
        blocks += 1;
    }
    std::vector<std::vector<float>> line;
    int setups = 0;
    int blocks = 0;
};

TEST(RestorationChain, AReducerInTheSlotRunsInPlaceOfDenoiseButNotWhileLearning) {
    RestorationChain chain;
    HalvingDelay reducer;
    chain.SetReducer(&reducer);
    chain.Setup(1, 44100, 512);
    EXPECT_EQ(reducer.setups, 1);
    EXPECT_FALSE(chain.UsesBuiltInReducer());

    const ChainSwitches reduceOnly{false, false, true, false, false};
    EXPECT_EQ(chain.ReportedLatency(reduceOnly), 100);
    std::vector<float> audio(512);
    for (int i = 0; i < 512; ++i)
        audio[std::size_t(i)] = float(i);
    float* block[] = {audio.data()};
    chain.Process(block, 1, 512, reduceOnly);
    EXPECT_EQ(audio[99], 0.0f);
    EXPECT_EQ(audio[100], 0.0f);
    EXPECT_EQ(audio[300], 100.0f);

    ChainSwitches learning = reduceOnly;
    learning.training = true;
    std::vector<float> noise(512, 0.25f);
    float* noiseBlock[] = {noise.data()};
    chain.Process(noiseBlock, 1, 512, learning);
    EXPECT_EQ(reducer.blocks, 1);
    EXPECT_EQ(noise[7], 0.25f);
    EXPECT_EQ(chain.ReportedLatency(learning), 100);
    EXPECT_EQ(chain.SignalLatency(learning), 0);

    chain.SetReducer(nullptr);
    chain.Setup(1, 44100, 4096);
    EXPECT_TRUE(chain.UsesBuiltInReducer());
    EXPECT_EQ(chain.ReportedLatency(reduceOnly), 1536 + 1536);
}

TEST(RestorationChain, ProfileBytesAreLittleEndianFloatsAndComeBackUnchanged) {
    RestorationChain chain;
    std::vector<std::uint8_t> bytes(RestorationChain::profileBytes);
    RestorationChain::SaveDefaultProfile(bytes.data());
    // -50.0f is 0xC2480000.
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[2], 0x48);
    EXPECT_EQ(bytes[3], 0xC2);
    bytes[4 * 600 + 3] = 0xC1; // bin 600 of the left channel: -12.5 dB
    chain.LoadProfile(bytes.data());
    EXPECT_EQ(chain.Profile()[0][600], -12.5f);
    std::vector<std::uint8_t> saved(RestorationChain::profileBytes);
    chain.SaveProfile(saved.data());
    EXPECT_EQ(saved, bytes);
}

} // namespace
