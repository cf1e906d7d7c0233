#include "dsp/RestorationChain.h"
#include "dsp/ParameterMapping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/dsp/RepairTestSupport.h"

namespace {

using DSP::Restoration::ChainSwitches;
using DSP::Restoration::RestorationChain;

// Runs `signal` through the chain in blocks of 4096 frames, in place, one channel.
void RunBlocks(RestorationChain& chain, std::vector<float>& signal, const ChainSwitches& on) {
    for (std::size_t at = 0; at + 4096 <= signal.size(); at += 4096) {
        float* block[] = {signal.data() + at};
        chain.Process(block, 1, 4096, on);
    }
}

// The high-quality reducer is fed the profile Denoise learnt and the amount as it moves:
// noise alone comes out turned down by the amount; its latency is its own; with
// keep-only-noise the removed part cancels exactly.
TEST(RestorationChain, TheHighQualityReducerFollowsTheLearntProfileAndTheAmount) {
    constexpr std::size_t frames = 4096 * 40;
    RestorationChain chain;
    chain.Setup(1, 44100, 4096);
    ChainSwitches high{false, false, true, false, false, true};
    EXPECT_EQ(chain.ReportedLatency(high), 2560);
    high.training = true;
    std::vector<float> noise = WhiteNoise(frames, 0.01f, 3);
    RunBlocks(chain, noise, high);
    chain.FinishTraining();
    high.training = false;

    for (const float reductionDb : {6.0f, 18.0f, 30.0f}) {
        chain.SetReductionDb(reductionDb);
        std::vector<float> input = WhiteNoise(frames, 0.01f, 4), output = input;
        chain.Reset();
        RunBlocks(chain, output, high);
        const double turnedDown =
            LevelDb(input, 0, frames / 2) - LevelDb(output, frames / 2, frames);
        EXPECT_NEAR(turnedDown, reductionDb, 1.0) << reductionDb;

        std::vector<float> removed = input;
        ChainSwitches keep = high;
        keep.keepOnlyNoise = true;
        chain.Reset();
        RunBlocks(chain, removed, keep);
        for (std::size_t i = 0; i + 2560 < frames; ++i)
            ASSERT_LT(std::fabs(double(output[i + 2560]) - removed[i + 2560] - input[i]), 1e-6)
                << i;
    }
}

constexpr int hitFrames = 4096 * 24, spacing = 11025;

// Drum hits over a quiet tone and a noise floor: each starts with a 1.4 ms burst of noise
// and rings on as a decaying 150 Hz tone.
std::vector<float> DrumHits() {
    const std::vector<float> noise = WhiteNoise(hitFrames, 1.0f, 7);
    const std::vector<float> floor = WhiteNoise(hitFrames, 0.01f, 8);
    std::vector<float> hits(hitFrames);
    for (int n = 0; n < hitFrames; ++n) {
        const int since = n % spacing;
        const double ring = std::exp(-since / 1300.0) * (1.0 - std::exp(-since / 20.0));
        hits[n] =
            float(0.02 * std::sin(0.031 * n) + floor[n] + 0.4 * ring * std::sin(0.0214 * since) +
                  0.1 * std::exp(-since / 60.0) * noise[n]);
    }
    return hits;
}

double LargestErrorNear(const std::vector<float>& clean, const std::vector<float>& out, int delay,
                        int at) {
    double largest = 0.0;
    for (int n = at - 200; n < at + 200; ++n)
        largest = std::max(largest, std::fabs(double(out[n + delay]) - clean[n]));
    return largest;
}

// The standard detector takes the start of a drum hit for a click and dulls it; in high
// quality the attacks pass untouched, and a click in the middle of a decay is still taken out.
TEST(RestorationChain, InHighQualityClickDetectionLeavesAttacksAlone) {
    const std::vector<float> clean = DrumHits();
    const int click = 5 * spacing + 3000;
    std::vector<float> damaged = clean;
    for (int i = 0; i < 8; ++i)
        damaged[click + i] += i % 2 ? -0.3f : 0.3f;
    for (const bool highQuality : {false, true}) {
        RestorationChain chain;
        chain.Setup(1, 44100, 4096);
        chain.SetDetectionLevelDb(DSP::Restoration::DetectionLevelDb(0.5f));
        const ChainSwitches declickOnly{false, true, false, false, false, highQuality};
        const int delay = chain.SignalLatency(declickOnly);
        std::vector<float> out = damaged;
        RunBlocks(chain, out, declickOnly);
        double attacks = 0.0;
        for (int onset = spacing; onset < hitFrames - spacing; onset += spacing)
            attacks = std::max(attacks, LargestErrorNear(clean, out, delay, onset));
        if (highQuality)
            EXPECT_EQ(attacks, 0.0);
        else
            EXPECT_GT(attacks, 0.2);
        EXPECT_LT(LargestErrorNear(clean, out, delay, click), 0.04) << highQuality;
    }
}

} // namespace
