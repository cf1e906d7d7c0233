#include "dsp/LogAmplitudeDenoise.h"
#include "dsp/LookAheadStreamer.h"
#include "dsp/NoiseProfileScale.h"
#include "tests/dsp/RepairTestSupport.h"

#include <gtest/gtest.h>

#include <numbers>

namespace {

constexpr int rate = 44100;

void Prepare(LogAmplitudeDenoise& reducer, const std::vector<float>& profile, float reductionDb) {
    reducer.Setup(1, rate, 4096);
    reducer.noiseProfile[0] = profile;
    reducer.reductionDb = reductionDb;
    reducer.UpdateNoise();
}

TEST(LogAmplitudeDenoise, SteadyToneWellAboveTheNoisePasses) {
    const std::vector<float> profile = TrainedProfile(WhiteNoise(3 * rate, 0.001f, 2));
    std::vector<float> signal = WhiteNoise(4 * rate, 0.001f, 3);
    for (std::size_t i = 0; i < signal.size(); ++i)
        signal[i] += 0.3f * float(std::sin(2.0 * std::numbers::pi * 1000.0 * double(i) / rate));
    LogAmplitudeDenoise reducer;
    Prepare(reducer, profile, 30.0f);
    const std::vector<float> out = RunAligned(reducer, signal, 4096);
    EXPECT_NEAR(LevelDb(out, rate, signal.size()), LevelDb(signal, rate, signal.size()), 0.5);
}

// The same output, sample for sample, whatever the block lengths, and the same again inside
// the look-ahead streamer that the chain runs its reducer in.
TEST(LogAmplitudeDenoise, OutputDoesNotDependOnBlockLength) {
    const std::vector<float> profile = TrainedProfile(WhiteNoise(3 * rate, 0.01f, 2));
    const std::vector<float> signal = WhiteNoise(rate, 0.05f, 7);
    LogAmplitudeDenoise reducer;
    Prepare(reducer, profile, 18.0f);
    EXPECT_EQ(reducer.latency, 2048 + 512);
    const std::vector<float> reference = RunAligned(reducer, signal, 4096);
    for (int block : {1, 333, 512, 5000}) {
        Prepare(reducer, profile, 18.0f);
        EXPECT_EQ(RunAligned(reducer, signal, block), reference) << block;
    }
    Prepare(reducer, profile, 18.0f);
    LookAheadStreamer streamer(&reducer);
    streamer.Setup(1, rate, 4096);
    ASSERT_EQ(streamer.latency, reducer.latency);
    EXPECT_EQ(RunAligned(streamer, signal, 4096), reference);
}

// A profile trained by Denoise on noise of a known level reads back as that noise's power,
// and writing that power as a profile gives the same bytes' values within 0.1 dB.
TEST(LogAmplitudeDenoise, ProfileRoundTripThroughNoisePower) {
    const float deviation = 0.02f;
    const std::vector<float> profile = TrainedProfile(WhiteNoise(20 * rate, deviation, 9));
    const DSP::NoiseProfileScale scale(2048);
    double varianceSum = 0.0;
    for (int k = 1; k < 1024; ++k) {
        const float variance = scale.Variance(profile[k], k);
        varianceSum += variance;
        EXPECT_NEAR(scale.ProfileDb(variance, k), profile[k], 0.01);
    }
    EXPECT_NEAR(10.0 * std::log10(varianceSum / 1023.0 / (deviation * deviation)), 0.0, 0.3);
}

TEST(LogAmplitudeDenoise, ExponentialIntegralTableIsAccurate) {
    // exp(E1(v) / 2) at reference values of E1.
    const struct {
        float v;
        double e1;
    } table[] = {{1e-4f, 8.633225}, {0.01f, 4.037930}, {0.1f, 1.822924},
                 {1.0f, 0.219384},  {5.0f, 0.001148},  {20.0f, 9.8355e-11}};
    for (const auto& row : table)
        EXPECT_NEAR(LogAmplitudeDenoise::HalfExpIntegralExp(row.v) / std::exp(0.5 * row.e1), 1.0,
                    1e-3)
            << row.v;
}

} // namespace
