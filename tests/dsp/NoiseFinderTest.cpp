#include "dsp/NoiseFinder.h"
#include "primitives/Vec.h"
#include "tests/dsp/RepairTestSupport.h"

#include <gtest/gtest.h>

namespace {

constexpr int rate = 44100;

// Hiss over 12 s of loud, slowly swelling broadband "music" with a silent gap of 2 s at
// `where` (0 start, 0.5 middle, 1 end).
std::vector<float> PlantedStretch(double where, std::int64_t& begin, std::int64_t& end) {
    const std::size_t total = 12 * rate;
    std::vector<float> signal = WhiteNoise(total, 0.1f, 3);
    for (std::size_t i = 0; i < total; ++i)
        signal[i] *= float(1.0 + 0.5 * std::sin(double(i) / rate));
    begin = std::int64_t(where * double(total - 2 * rate));
    end = begin + 2 * rate;
    std::fill(signal.begin() + begin, signal.begin() + end, 0.0f);
    VecAdd(int(total), WhiteNoise(total, 0.003f, 4).data(), signal.data());
    return signal;
}

double MeanDifferenceDb(const std::vector<float>& a, const std::vector<float>& b) {
    double sum = 0.0;
    for (int k = 10; k < 1020; ++k)
        sum += a[k] - b[k];
    return sum / 1010.0;
}

TEST(NoiseFinder, FindsAPlantedNoiseStretchAtStartMiddleAndEnd) {
    for (double where : {0.0, 0.5, 1.0}) {
        std::int64_t begin = 0, end = 0;
        const std::vector<float> signal = PlantedStretch(where, begin, end);
        const float* channels[] = {signal.data()};
        const auto stretches = DSP::NoiseFinder::FindStretches(channels, 1, signal.size(), rate);
        ASSERT_EQ(stretches.size(), 1u) << where;
        EXPECT_GE(stretches[0].begin, begin) << where;
        EXPECT_LE(stretches[0].end, end) << where;
        EXPECT_GT(stretches[0].end - stretches[0].begin, (end - begin) * 3 / 4) << where;

        const DSP::LearntNoise learnt = DSP::NoiseFinder::Learn(channels, 1, signal.size(), rate);
        const std::vector<float> truth =
            TrainedProfile({signal.begin() + begin, signal.begin() + end});
        EXPECT_NEAR(MeanDifferenceDb(learnt.profile[0], truth), 0.0, 0.2) << where;
    }
}

TEST(NoiseFinder, FloorEstimateMatchesTrainingOnNoiseAndUnderSteadyTones) {
    const std::vector<float> noise = WhiteNoise(10 * rate, 0.003f, 5);
    const std::vector<float> truth = TrainedProfile(noise);
    const float* channels[] = {noise.data()};
    const auto alone = DSP::NoiseFinder::EstimateFloor(channels, 1, noise.size(), rate);
    EXPECT_NEAR(MeanDifferenceDb(alone[0], truth), 0.0, 0.5);

    // Tones that come and go in every band leave the quiet moments to the noise.
    std::vector<float> music(noise);
    for (std::size_t i = 0; i < music.size(); ++i) {
        const double t = double(i) / rate, on = std::fmod(t, 1.0) < 0.6 ? 0.05 : 0.0;
        for (double f : {220.0, 1500.0, 7000.0})
            music[i] += float(on * std::sin(2.0 * 3.141592653589793 * f * t));
    }
    const float* musicChannels[] = {music.data()};
    const auto masked = DSP::NoiseFinder::EstimateFloor(musicChannels, 1, music.size(), rate);
    EXPECT_NEAR(MeanDifferenceDb(masked[0], truth), 0.0, 1.0);
}

} // namespace
