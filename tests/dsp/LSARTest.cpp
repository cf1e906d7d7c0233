#include "dsp/LSAR.h"
#include "dsp/ARModel.h"
#include "tests/primitives/FourierReference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace {

// All lags (through the transforms) and the first few (summed directly) alike.
TEST(ARModelTest, AutocorrelationLagsAreLinearLessTheDcTerm) {
    Autocorrelator autocorrelator;
    autocorrelator.Configure(100);
    EXPECT_EQ(autocorrelator.fftSize, 256u);
    const std::vector<float> x = RandomFrame(100, 1);
    std::vector<float> r(100), firstLags(8);
    autocorrelator.Compute(x.data(), r.data());
    autocorrelator.Compute(x.data(), firstLags.data(), 7);
    const double sum = std::accumulate(x.begin(), x.end(), 0.0);
    for (int k : {0, 1, 7, 99}) {
        double expected = -sum * sum / 256.0;
        for (int n = 0; n + k < 100; ++n)
            expected += static_cast<double>(x[n]) * x[n + k];
        EXPECT_NEAR(r[k], expected, 1e-4) << "lag " << k;
        if (k <= 7) {
            EXPECT_NEAR(firstLags[k], expected, 1e-6) << "lag " << k;
        }
    }
}

// A silent context gives the model that predicts nothing, not a division by zero.
TEST(ARModelTest, LevinsonDurbinOnSilenceGivesTheEmptyModel) {
    std::vector<double> work;
    const float silent[] = {0.0f, 0.0f, 0.0f};
    float a[3];
    EstimateAR(2, silent, a, work);
    EXPECT_EQ(std::vector<float>(a, a + 3), (std::vector<float>{1.0f, 0.0f, 0.0f}));
}

TEST(LSARTest, DegenerateModelsGiveLinesAndZeros) {
    DSP::Restoration::LSAR lsar;
    std::vector<float> line = {0.0f, 1.0f, 9.0f, 9.0f, 9.0f, 9.0f, 6.0f, 0.0f};
    const float firstDifference[] = {1.0f, 1.0f};
    lsar.Interpolate(line.data(), 2, 4, firstDifference, 1);
    for (int i = 2; i < 6; ++i)
        EXPECT_NEAR(line[i], 1.0f + (i - 1), 1e-5) << i; // from x[1] = 1 to x[6] = 6

    std::vector<float> x = RandomFrame(40, 4);
    const float silent[5] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    lsar.Interpolate(x.data(), 10, 20, silent, 4);
    EXPECT_EQ(std::vector<float>(x.begin() + 10, x.begin() + 30), std::vector<float>(20, 0.0f));
}

// A single sample, within a fifth of what a straight line misses by, and a run of 20 (peak
// amplitude 0.9): sign and index faults show here.
TEST(LSARTest, RebuildsAGapInASumOfSinusoids) {
    const int n = 2048, order = 20, start = 1000;
    std::vector<float> clean(n);
    for (int i = 0; i < n; ++i)
        clean[i] = 0.5f * std::sin(0.031f * i) + 0.3f * std::sin(0.117f * i + 1.0f) +
                   0.1f * std::sin(0.291f * i + 2.0f);
    Autocorrelator autocorrelator;
    autocorrelator.Configure(n);
    std::vector<float> r(order + 1), a(order + 1);
    std::vector<double> work;
    autocorrelator.Compute(clean.data(), r.data(), order);
    EstimateAR(order, r.data(), a.data(), work);
    DSP::Restoration::LSAR lsar;
    for (int gap : {1, 20}) {
        std::vector<float> x = clean;
        std::fill(x.begin() + start, x.begin() + start + gap, 0.9f);
        lsar.Interpolate(x.data(), start, gap, a.data(), order);
        for (int i = start; i < start + gap; ++i)
            EXPECT_NEAR(x[i], clean[i], gap == 1 ? 1e-3 : 0.02) << gap << " " << i;
    }
}

} // namespace
