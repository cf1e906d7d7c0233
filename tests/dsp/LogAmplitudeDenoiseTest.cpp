#include "dsp/LogAmplitudeDenoise.h"
#include "dsp/Denoise.h"
#include "dsp/LookAheadStreamer.h"
#include "dsp/NoiseProfileScale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr int rate = 44100;

std::vector<float> WhiteNoise(int frames, float deviation, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<float> normal(0.0f, deviation);
    std::vector<float> noise(frames);
    for (float& x : noise)
        x = normal(random);
    return noise;
}

double EnergyDb(const std::vector<float>& x, std::size_t begin, std::size_t end) {
    double energy = 0.0;
    for (std::size_t i = begin; i < end; ++i)
        energy += double(x[i]) * x[i];
    return 10.0 * std::log10(energy / double(end - begin));
}

// Denoise's profile trained on the given mono noise.
std::vector<float> TrainedProfile(const std::vector<float>& noise) {
    Denoise denoise;
    denoise.Setup(1, rate, 4096);
    denoise.StartTraining();
    for (std::size_t at = 0; at + 4096 <= noise.size(); at += 4096) {
        const float* block[] = {noise.data() + at};
        denoise.TrainBlock(block, 4096);
    }
    denoise.FinishTraining();
    return denoise.noiseProfile[0];
}

// Streams mono input through the reducer in blocks of `block` frames (the last one shorter),
// returning the output aligned with the input.
std::vector<float> Stream(LogAmplitudeDenoise& reducer, const std::vector<float>& input, int block) {
    std::vector<float> work(input);
    work.resize(input.size() + std::size_t(reducer.latency), 0.0f);
    for (std::size_t at = 0; at < work.size(); at += std::size_t(block)) {
        float* channel[] = {work.data() + at};
        reducer.Process(channel, int(std::min<std::size_t>(block, work.size() - at)), nullptr);
    }
    return {work.begin() + reducer.latency, work.end()};
}

void Prepare(LogAmplitudeDenoise& reducer, const std::vector<float>& profile, float reductionDb) {
    reducer.Setup(1, rate, 4096);
    reducer.noiseProfile[0] = profile;
    reducer.reductionDb = reductionDb;
    reducer.UpdateNoise();
}

TEST(LogAmplitudeDenoise, NoiseAloneIsTurnedDownByTheAmountsFloor) {
    const std::vector<float> noise = WhiteNoise(4 * rate, 0.01f, 1);
    const std::vector<float> profile = TrainedProfile(WhiteNoise(3 * rate, 0.01f, 2));
    for (float reductionDb : {6.0f, 18.0f, 30.0f}) {
        LogAmplitudeDenoise reducer;
        Prepare(reducer, profile, reductionDb);
        const std::vector<float> out = Stream(reducer, noise, 4096);
        const double change =
            EnergyDb(out, rate, noise.size()) - EnergyDb(noise, rate, noise.size());
        EXPECT_NEAR(change, -reductionDb, 1.0) << reductionDb;
    }
}

TEST(LogAmplitudeDenoise, SteadyToneWellAboveTheNoisePasses) {
    const std::vector<float> profile = TrainedProfile(WhiteNoise(3 * rate, 0.001f, 2));
    std::vector<float> signal = WhiteNoise(4 * rate, 0.001f, 3);
    for (std::size_t i = 0; i < signal.size(); ++i)
        signal[i] += 0.3f * float(std::sin(2.0 * std::numbers::pi * 1000.0 * double(i) / rate));
    LogAmplitudeDenoise reducer;
    Prepare(reducer, profile, 30.0f);
    const std::vector<float> out = Stream(reducer, signal, 4096);
    EXPECT_NEAR(EnergyDb(out, rate, signal.size()), EnergyDb(signal, rate, signal.size()), 0.5);
}

// The same output, sample for sample, whatever the block lengths, and the same again inside
// the look-ahead streamer that the chain runs its reducer in.
TEST(LogAmplitudeDenoise, OutputDoesNotDependOnBlockLength) {
    const std::vector<float> profile = TrainedProfile(WhiteNoise(3 * rate, 0.01f, 2));
    const std::vector<float> signal = WhiteNoise(rate, 0.05f, 7);
    std::vector<float> reference;
    for (int block : {4096, 1, 333, 512, 5000}) {
        LogAmplitudeDenoise reducer;
        Prepare(reducer, profile, 18.0f);
        EXPECT_EQ(reducer.latency, 2048 + 512);
        const std::vector<float> out = Stream(reducer, signal, block);
        if (reference.empty()) {
            reference = out;
            continue;
        }
        for (std::size_t i = 0; i < out.size(); ++i)
            ASSERT_EQ(out[i], reference[i]) << block << " at " << i;
    }
    LogAmplitudeDenoise reducer;
    Prepare(reducer, profile, 18.0f);
    LookAheadStreamer streamer(&reducer);
    streamer.Setup(1, rate, 4096);
    ASSERT_EQ(streamer.latency, reducer.latency);
    std::vector<float> work(signal);
    work.resize((signal.size() + streamer.latency + 4095) / 4096 * 4096, 0.0f);
    for (std::size_t at = 0; at < work.size(); at += 4096) {
        float* channel[] = {work.data() + at};
        streamer.Process(channel, 4096, nullptr);
    }
    for (std::size_t i = 0; i < signal.size(); ++i)
        ASSERT_EQ(work[i + streamer.latency], reference[i]) << i;
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
    const double meanVariance = varianceSum / 1023.0;
    EXPECT_NEAR(10.0 * std::log10(meanVariance / (deviation * deviation)), 0.0, 0.3);
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
