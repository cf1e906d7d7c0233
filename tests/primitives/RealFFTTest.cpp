#include "primitives/RealFFT.h"
#include "tests/primitives/FourierReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

// Every bin must be within one float epsilon of the exact value, relative to the
// bins' RMS magnitude sqrt(N * energy); the worst seen is about a third of that.
// One object re-initialised for every size also checks that Init replaces the plan.
TEST(RealFFT, ForwardMatchesDirectTransformForEverySize) {
    RealFFT fft;
    for (int n = 2; n <= 4096; n *= 2) {
        const auto frame = RandomFrame(n, n);
        const auto expected = ExactSpectrum(frame);
        fft.Init(n);
        ASSERT_EQ(fft.Size(), n);
        std::vector<float> spectrum(n + 2, 99.0f);
        fft.Forward(frame.data(), spectrum.data());

        double energy = 0.0, worst = 0.0;
        for (float v : frame)
            energy += static_cast<double>(v) * v;
        for (int i = 0; i < n + 2; ++i)
            worst = std::max(worst, std::fabs(spectrum[i] - expected[i]));
        EXPECT_LE(worst, 1.2e-7 * std::sqrt(n * energy)) << "N = " << n;
        EXPECT_EQ(spectrum[1], 0.0f) << "N = " << n;
        EXPECT_EQ(spectrum[n + 1], 0.0f) << "N = " << n;
    }
}

// The in-place run also carries garbage in the imaginary parts of the two real
// bins, which the inverse must ignore: its result must match bit for bit.
TEST(RealFFT, InverseOfForwardReturnsTheFrameAlsoInPlace) {
    for (int n = 2; n <= 65536; n *= 2) {
        const auto frame = RandomFrame(n, 7 * n);
        RealFFT fft;
        fft.Init(n);
        std::vector<float> spectrum(n + 2), back(n), inPlace(frame);
        inPlace.resize(n + 2);
        fft.Forward(frame.data(), spectrum.data());
        fft.Inverse(spectrum.data(), back.data());
        fft.Forward(inPlace.data(), inPlace.data());
        EXPECT_EQ(inPlace, spectrum) << "N = " << n;
        inPlace[1] = 5.0f;
        inPlace[n + 1] = -3.0f;
        fft.Inverse(inPlace.data(), inPlace.data());

        double worst = 0.0;
        for (int i = 0; i < n; ++i)
            worst = std::max(worst, std::fabs(double(back[i]) - frame[i]));
        EXPECT_LE(worst, 1e-7 * std::log2(n)) << "N = " << n;
        EXPECT_TRUE(std::equal(back.begin(), back.end(), inPlace.begin())) << "N = " << n;
    }
}

TEST(RealFFT, SizesBelowTwoUseTwoPoints) {
    RealFFT fft;
    fft.Init(1);
    EXPECT_EQ(fft.Size(), 2);
    const float x[2] = {3.0f, 1.0f};
    float spectrum[4], back[2];
    fft.Forward(x, spectrum);
    EXPECT_EQ(spectrum[0], 4.0f);
    EXPECT_EQ(spectrum[2], 2.0f);
    fft.Inverse(spectrum, back);
    EXPECT_EQ(back[0], 3.0f);
    EXPECT_EQ(back[1], 1.0f);
}
