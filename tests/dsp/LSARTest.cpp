#include "dsp/LSAR.h"
#include "dsp/ARModel.h"
#include "tests/primitives/FourierReference.h"

#include <gtest/gtest.h>

#include <cmath>

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
    double sum = 0.0;
    for (float v : x)
        sum += v;
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

TEST(ARModelTest, LevinsonDurbinRecoversAFirstOrderModelAndSilence) {
    std::vector<double> work;
    const float r[] = {1.0f, 0.5f, 0.25f, 0.125f};
    float a[4];
    EstimateAR(3, r, a, work);
    const float expected[] = {1.0f, 0.5f, 0.0f, 0.0f};
    for (int j = 0; j < 4; ++j)
        EXPECT_NEAR(a[j], expected[j], 1e-7) << j;
    const float silent[] = {0.0f, 0.0f, 0.0f};
    EstimateAR(2, silent, a, work);
    EXPECT_EQ(a[0], 1.0f);
    EXPECT_EQ(a[1], 0.0f);
    EXPECT_EQ(a[2], 0.0f);
}

TEST(SolveToeplitzTest, SolutionSatisfiesTheDenseSystem) {
    const int n = 12;
    std::vector<float> row(n), y = RandomFrame(n, 2), x(n), f(n), g(n);
    for (int k = 0; k < n; ++k)
        row[k] = k == 0 ? 4.0f : 1.5f * std::pow(-0.6f, static_cast<float>(k));
    SolveToeplitz(row.data(), y.data(), x.data(), f.data(), g.data(), n);
    for (int i = 0; i < n; ++i) {
        double product = 0.0;
        for (int j = 0; j < n; ++j)
            product += static_cast<double>(row[std::abs(i - j)]) * x[j];
        EXPECT_NEAR(product, y[i], 1e-5) << i;
    }
}

TEST(LSARTest, OneSampleRunMatchesTheClosedForm) {
    std::vector<float> x = RandomFrame(9, 3);
    const double a1 = 0.9, a2 = -0.3;
    const float a[] = {1.0f, 0.9f, -0.3f};
    // Known parts of the forward and backward errors around a run at 4 (order 2).
    const double f[] = {-(a1 * x[3] + a2 * x[2]), x[5] - a2 * x[3], x[6] - a1 * x[5]};
    const double b[] = {-(a1 * x[5] + a2 * x[6]), x[3] - a2 * x[5], x[2] - a1 * x[3]};
    const double gf = f[0] - a1 * f[1] - a2 * f[2];
    const double gb = b[0] - a1 * b[1] - a2 * b[2];
    DSP::Restoration::LSAR lsar;
    lsar.Interpolate(x.data(), 4, 1, a, 2);
    EXPECT_NEAR(x[4], -0.5 * (gf + gb) / (1.0 + a1 * a1 + a2 * a2), 1e-5);
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
    for (int i = 10; i < 30; ++i)
        EXPECT_EQ(x[i], 0.0f) << i;
}

TEST(LSARTest, RebuildsAGapInASumOfSinusoids) {
    const int n = 2048, order = 20, start = 1000, gap = 20;
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

    std::vector<float> x = clean;
    std::fill(x.begin() + start, x.begin() + start + gap, 0.9f);
    DSP::Restoration::LSAR lsar;
    lsar.Interpolate(x.data(), start, gap, a.data(), order);
    for (int i = start; i < start + gap; ++i)
        EXPECT_NEAR(x[i], clean[i], 0.02) << i; // peak amplitude 0.9
}

} // namespace
