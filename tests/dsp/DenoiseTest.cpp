#include "dsp/Denoise.h"
#include "dsp/DenoiseKernels.h"
#include "dsp/LookAheadStreamer.h"
#include "primitives/SimdDispatch.h"
#include "tests/dsp/RepairTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

namespace {

TEST(DenoiseGeometry, FrameSizeAndLatencyFollowSampleRate) {
    const struct {
        int rate, frameSize;
    } table[] = {{8000, 512},   {17000, 512},   {17001, 1024},  {33000, 1024},
                 {33001, 2048}, {44100, 2048},  {60000, 2048},  {60001, 4096},
                 {96000, 4096}, {120000, 4096}, {120001, 8192}, {192000, 8192}};
    for (const auto& row : table) {
        Denoise denoise;
        LookAheadStreamer streamer(&denoise);
        streamer.Setup(2, row.rate, 4096);
        const int N = row.frameSize;
        EXPECT_EQ(std::tuple(denoise.FrameSize(), denoise.Hop(), denoise.latency, streamer.latency),
                  std::tuple(N, N / 4, 3 * N / 4, 3 * N / 2))
            << row.rate;
    }
}

// Runs one channel at 44.1 kHz with one spectral frame per block, so the newest applied
// gain of every block can be read from the front of finalGainDb.
class DenoiseFrames : public testing::Test {
protected:
    void SetUp() override {
        streamer.Setup(1, 44100, 512);
        denoise.SetReductionDb(18.0f);
    }
    // Processes hop-sized blocks of the signal in place and returns the gain (dB) of each frame.
    std::vector<std::vector<float>> Run(std::vector<float>& signal) {
        std::vector<std::vector<float>> gains;
        for (std::size_t start = 0; start + 512 <= signal.size(); start += 512) {
            float* block[] = {signal.data() + start};
            streamer.Process(block, 512, nullptr);
            const float* newest = denoise.finalGainDb.buffers[0];
            gains.emplace_back(newest, newest + denoise.BinCount());
        }
        return gains;
    }
    float Step() const { return 512 * 0.5f * 50.0f * (1.0f + 18.0f / 30.0f) / 44100.0f; }

    Denoise denoise;
    LookAheadStreamer streamer{&denoise};
};

TEST_F(DenoiseFrames, DefaultProfileKeepsAttenuationWithinReductionCurve) {
    const std::vector<float>& R = denoise.reductionCurveDb[0];
    // Above 3 kHz the full amount A = 18 dB is allowed (after the mean correction and the
    // blend with the flat curve); lower bins are allowed less.
    EXPECT_NEAR(R[1000], R[200], 1e-4f);
    EXPECT_GT(R[1000], R[10] + 5.0f);
    EXPECT_LE(R[1000], 18.0f + 0.5f * 18.0f);

    std::vector<float> signal = WhiteNoise(512 * 120, 1e-4f, 1);
    const std::vector<float> loud = WhiteNoise(512 * 40, 0.3f, 2);
    std::copy(loud.begin(), loud.end(), signal.begin() + 512 * 60);
    for (const std::vector<float>& frame : Run(signal)) {
        for (int k = 0; k < denoise.BinCount(); ++k) {
            ASSERT_LE(frame[k], 0.0f);
            ASSERT_GE(frame[k], -R[k] - 1e-5f);
        }
    }
}

// Noise 20 dB under the default profile level, with a loud stretch in the middle.
TEST_F(DenoiseFrames, QuietNoiseSettlesAtTheFloorAndReleaseIsRateLimited) {
    std::vector<float> signal = WhiteNoise(512 * 160, 1e-5f, 9);
    const std::vector<float> loud = WhiteNoise(512 * 30, 0.3f, 3);
    std::copy(loud.begin(), loud.end(), signal.begin() + 512 * 40);
    const auto gains = Run(signal);
    const std::vector<float>& R = denoise.reductionCurveDb[0];
    for (int k = 0; k < denoise.BinCount(); ++k)
        ASSERT_FLOAT_EQ(gains[35][k], -R[k]);
    for (std::size_t f = 1; f < gains.size(); ++f) {
        for (int k = 0; k < denoise.BinCount(); ++k)
            ASSERT_GE(gains[f][k], gains[f - 1][k] - Step() - 1e-4f) << f << " " << k;
    }

    // The loud stretch lifts the gain from the floor to near 0 dB within one frame ...
    const int k = 500;
    int rise = 36;
    while (gains[rise][k] < -R[k] + 1.0f)
        ++rise;
    EXPECT_GT(gains[rise][k], -3.0f);
    // ... and once the neighbourhood is silent the gain falls by exactly `step` per frame.
    int lastLoud = 100;
    while (gains[lastLoud][k] < -3.0f)
        --lastLoud;
    const int silent = lastLoud + 4;
    EXPECT_GT(gains[silent][k], -R[k] + 8.0f);
    for (int f = silent; gains[f][k] > -R[k]; ++f)
        ASSERT_NEAR(gains[f + 1][k], std::max(gains[f][k] - Step(), -R[k]), 1e-4f) << f;
    EXPECT_FLOAT_EQ(gains.back()[k], -R[k]);
}

// The mean one-sided amplitude of Gaussian noise with the Kaiser (beta 8) window scaled to
// mean 1 is sqrt(pi * N * enbw) * deviation, enbw = 1.6665 bins.
TEST(DenoiseTraining, WhiteNoiseGivesItsLevelInEveryBin) {
    for (const float deviation : {0.01f, 0.001f}) {
        const std::vector<float> profile = TrainedProfile(WhiteNoise(4096 * 100, deviation, 4));
        const float expected =
            20.0f * std::log10(deviation * std::sqrt(3.14159265f * 2048 * 1.6665f));
        double sum = 0.0;
        for (int k = 4; k < 1021; ++k) {
            ASSERT_NEAR(profile[k], expected, 1.0f) << k;
            sum += profile[k];
        }
        EXPECT_NEAR(sum / 1017, expected, 0.1) << deviation;
        EXPECT_EQ(profile[1025], Denoise::defaultProfileDb);
    }
}

TEST(DenoiseTraining, FewerThanEightFramesKeepTheProfile) {
    Denoise denoise;
    denoise.Setup(1, 44100, 4096);
    std::vector<float> noise = WhiteNoise(2048, 0.1f, 6);
    const float* block[] = {noise.data()};
    const float R = denoise.reductionCurveDb[0][600];
    denoise.SetReductionDb(30.0f); // the curves must not be recomputed either
    denoise.StartTraining();
    denoise.TrainBlock(block, 7 * 256);
    denoise.FinishTraining();
    EXPECT_EQ(denoise.noiseProfile[0][600], Denoise::defaultProfileDb);
    EXPECT_EQ(denoise.reductionCurveDb[0][600], R);

    denoise.StartTraining();
    denoise.TrainBlock(block, 8 * 256);
    denoise.FinishTraining();
    EXPECT_GT(denoise.noiseProfile[0][600], 0.0f);
}

TEST(DenoiseTraining, SetupWithTheSameFormatKeepsARunningTraining) {
    std::vector<float> noise = WhiteNoise(4096 * 4, 0.05f, 7);
    auto train = [&](bool setupBetween) {
        Denoise denoise;
        denoise.Setup(1, 48000, 4096);
        denoise.StartTraining();
        for (int b = 0; b < 4; ++b) {
            const float* block[] = {noise.data() + 4096 * b};
            denoise.TrainBlock(block, 4096);
            if (setupBetween) denoise.Setup(1, 48000, 4096);
        }
        denoise.FinishTraining();
        return denoise.noiseProfile[0];
    };
    EXPECT_EQ(train(true), train(false));
}

} // namespace

// The per-bin loops give the same bits on every level this processor runs, for a count
// that is no whole number of vectors and values on both sides of every select.
TEST(DenoiseKernels, EveryLevelGivesTheBaselineBits) {
    constexpr int count = 37;
    std::mt19937 random(5);
    auto values = [&](float lo, float hi, int n) {
        std::uniform_real_distribution<float> uniform(lo, hi);
        std::vector<float> v(n);
        std::generate(v.begin(), v.end(), [&] { return uniform(random); });
        return v;
    };
    const auto spectrum = values(-0.01f, 0.01f, 2 * count), noise = values(0.0f, 0.004f, count);
    const auto gate = values(0.0f, 0.006f, count), floorGain = values(0.01f, 0.2f, count);
    const auto levelDb = values(-40.0f, 0.0f, count), floorDb = values(5.0f, 30.0f, count);
    const auto ratio = values(-0.2f, 0.0f, count), previous = values(-35.0f, 0.0f, count);
    auto amplitude = values(0.0f, 1.0f, count);
    amplitude[3] = 1e-21f;
    auto run = [&](const DenoiseKernels& k) {
        std::vector<float> out(6 * count), gained(spectrum);
        k.rawGain(count, spectrum.data(), noise.data(), gate.data(), floorGain.data(), out.data());
        std::copy(ratio.begin(), ratio.end(), out.begin() + count);
        k.smoothLevels(count, levelDb.data(), floorDb.data(), out.data() + count);
        k.limitAndRelease(count, levelDb.data(), floorDb.data(), previous.data(), 1.5f,
                          out.data() + 2 * count);
        std::copy(levelDb.begin(), levelDb.end(), out.begin() + 3 * count);
        k.lnToDb(count, amplitude.data(), out.data() + 3 * count);
        k.dbToExponent(count, levelDb.data(), out.data() + 4 * count);
        k.applyGain(count, floorGain.data(), gained.data());
        std::copy_n(gained.begin(), count, out.begin() + 5 * count);
        return out;
    };
    const auto baseline = run(DenoiseKernelsFor(SimdLevel::Sse2));
    EXPECT_EQ(baseline[3 * count + 3], -400.0f);
    for (int level = 0; level <= int(SupportedSimdLevel()); ++level)
        EXPECT_EQ(run(DenoiseKernelsFor(SimdLevel(level))), baseline) << level;
}
