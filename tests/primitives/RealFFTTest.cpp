// The forward transform against the exact one, for every size and instruction-set level,
// is in SimdLevelsTest.

#include "primitives/RealFFT.h"
#include "tests/primitives/FourierReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

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
    const std::vector<float> x{3.0f, 1.0f};
    std::vector<float> spectrum(4, 9.0f), back(2);
    fft.Forward(x.data(), spectrum.data());
    EXPECT_EQ(spectrum, (std::vector<float>{4.0f, 0.0f, 2.0f, 0.0f}));
    fft.Inverse(spectrum.data(), back.data());
    EXPECT_EQ(back, x);
}
