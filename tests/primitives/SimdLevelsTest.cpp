// Every instruction-set level this processor runs must compute what the baseline
// computes, within rounding, and the same thing every time; the FFT and the vector
// kernels also against exact results.

#include "primitives/RealFFT.h"
#include "primitives/SimdDispatch.h"
#include "primitives/Vec.h"
#include "primitives/VecKernels.h"
#include "primitives/VecLogAmplitude.h"
#include "tests/primitives/FourierReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace {

std::vector<SimdLevel> LevelsHere() {
    std::vector<SimdLevel> levels;
    for (int i = 0; i <= static_cast<int>(SupportedSimdLevel()); ++i)
        levels.push_back(static_cast<SimdLevel>(i));
    return levels;
}

// The plan takes its level at Init. Prefilled, so that a bin left unwritten shows.
std::vector<float> ForwardOn(SimdLevel level, RealFFT& fft, const std::vector<float>& frame) {
    LimitSimdLevel(level);
    fft.Init(static_cast<int>(frame.size()));
    LimitSimdLevel(SimdLevel::Avx512);
    EXPECT_EQ(fft.Size(), int(frame.size()));
    std::vector<float> spectrum(frame.size() + 2, 99.0f);
    fft.Forward(frame.data(), spectrum.data());
    return spectrum;
}

std::vector<float> Apply(void (*op)(int, const float*, float*), const std::vector<float>& x) {
    std::vector<float> y(x.size());
    op(static_cast<int>(x.size()), x.data(), y.data());
    return y;
}

// Power ratios spread evenly in dB: over [quietLowDb, quietHighDb] in the first third of the
// bins, over [lowDb, highDb] in the rest.
std::vector<float> Ratios(int n, unsigned seed, float quietLowDb, float quietHighDb, float lowDb,
                          float highDb) {
    std::vector<float> ratios = RandomFrame(n / 3, seed, quietLowDb, quietHighDb);
    const std::vector<float> rest = RandomFrame(n - n / 3, seed + 100, lowDb, highDb);
    ratios.insert(ratios.end(), rest.begin(), rest.end());
    for (float& r : ratios)
        r = std::pow(10.0f, r / 10.0f);
    return ratios;
}

double Ramp(double ratio, double lowDb, double highDb) {
    return std::clamp((10.0 * std::log10(ratio) - lowDb) / (highDb - lowDb), 0.0, 1.0);
}

// The gain of one bin, and its probability of signal presence.
double ReferenceGain(const LogAmplitudeGainRows& r, int k, const LogAmplitudeGainSettings& s,
                     double& p) {
    const double xi = r.xi[k];
    const double v = std::min(xi * r.power[k] * r.inverseNoise[k] / (1.0 + xi), 80.0);
    const double likely =
        Ramp(r.presence[k], s.binLowDb, s.binHighDb) * Ramp(r.band[k], s.bandLowDb, s.bandHighDb);
    const double absence = std::min(1.0 - likely, double(s.largestAbsence));
    p = 1.0 / (1.0 + absence / (1.0 - absence) * (1.0 + xi) * std::exp(-v));
    if (p < s.unlikelyPresence) return s.floorGain;
    const double position =
        std::clamp((std::log2(v) - s.tableLowest) * s.tableSteps, 0.0, s.tableSize - 1.0);
    const int index = std::min(int(position), s.tableSize - 2);
    const double factor =
        s.table[index] + (position - index) * (s.table[index + 1] - s.table[index]);
    const double present = std::min(1.0, xi / (1.0 + xi) * factor);
    return std::max(std::pow(present, p) * std::pow(double(s.floorGain), 1.0 - p),
                    double(s.floorGain));
}

} // namespace

TEST(SimdLevels, DispatchFallsBackToTheNearestLevelBelow) {
    int (*const sse2)() = [] { return 1; };
    int (*const avx2)() = [] { return 2; };
    const PerSimdLevel<int (*)()> table{sse2, avx2};
    EXPECT_EQ(table.For(SimdLevel::Sse2)(), 1);
    EXPECT_EQ(table.For(SimdLevel::Avx2Fma)(), 2);
    EXPECT_EQ(table.For(SimdLevel::Avx512)(), 2);
    LimitSimdLevel(SimdLevel::Sse2);
    EXPECT_EQ(ActiveSimdLevel(), SimdLevel::Sse2);
    EXPECT_EQ(table.Active()(), 1);
    LimitSimdLevel(SimdLevel::Avx512);
    EXPECT_EQ(ActiveSimdLevel(), SupportedSimdLevel());
}

// Random frames of every size up to 4096 on each level: every bin within half a float
// epsilon of the exact value, relative to the bins' RMS magnitude sqrt(N * energy) (worst
// seen 3.7e-8, at N = 16), within a third of an epsilon of the baseline (worst seen 2.7e-8),
// exact zeros in the imaginary parts of the two real bins, and bit for bit the same on a
// fresh plan. One plan per level, re-initialised for every size, checks that Init replaces
// the plan.
TEST(SimdLevels, FftOnEveryLevelMatchesTheExactTransformAndRepeatsExactly) {
    RealFFT plans[3];
    for (int n = 2; n <= 4096; n *= 2) {
        const auto frame = RandomFrame(n, n);
        const auto exact = ExactSpectrum(frame);
        const double rms =
            std::sqrt(n * std::inner_product(frame.begin(), frame.end(), frame.begin(), 0.0));
        std::vector<float> baseline;
        for (SimdLevel level : LevelsHere()) {
            SCOPED_TRACE(testing::Message() << SimdLevelName(level) << " N = " << n);
            const auto spectrum = ForwardOn(level, plans[int(level)], frame);
            if (baseline.empty()) baseline = spectrum;
            for (int i = 0; i < n + 2; ++i) {
                ASSERT_LE(std::fabs(spectrum[i] - exact[i]), 6e-8 * rms) << i;
                ASSERT_LE(std::fabs(double(spectrum[i]) - baseline[i]), 4e-8 * rms) << i;
            }
            EXPECT_EQ(spectrum[1], 0.0f);
            EXPECT_EQ(spectrum[n + 1], 0.0f);
            RealFFT fresh;
            EXPECT_EQ(ForwardOn(level, fresh, frame), spectrum);
        }
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

        for (int i = 0; i < n; ++i)
            ASSERT_LE(std::fabs(double(back[i]) - frame[i]), 1e-7 * std::log2(n)) << "N = " << n;
        EXPECT_TRUE(std::equal(back.begin(), back.end(), inPlace.begin())) << "N = " << n;
    }
}

// exp across its whole range and log from the smallest normal float up, against the
// library's double results (worst seen: 7.2e-8, 4.1e-8 and 3.8e-8); lengths that are not
// whole vectors also check that an element's result does not depend on where it sits.
TEST(SimdLevels, ExpAndLogApproximationsStayWithinTheirBoundsOnEveryLevel) {
    const auto exps = RandomFrame(1001, 1, -87.0f, 88.0f);
    auto logs = RandomFrame(1001, 2, -87.0f, 88.0f);
    std::transform(logs.begin(), logs.end(), logs.begin(), [](float v) { return std::exp(v); });
    const auto nearOne = RandomFrame(1001, 3, 0.5f, 2.0f);
    for (SimdLevel level : LevelsHere()) {
        SCOPED_TRACE(SimdLevelName(level));
        const VecKernels& k = VecKernelsFor(level);
        double worstExp = 0.0, worstLog = 0.0, worstNearOne = 0.0;
        const auto e = Apply(k.exp, exps), l = Apply(k.log, logs), l1 = Apply(k.log, nearOne);
        for (std::size_t i = 0; i < exps.size(); ++i) {
            const double exact = std::exp(double(exps[i])), logExact = std::log(double(logs[i]));
            worstExp = std::max(worstExp, std::fabs(e[i] - exact) / exact);
            worstLog = std::max(worstLog, std::fabs(l[i] - logExact) / std::fabs(logExact));
            worstNearOne = std::max(worstNearOne, std::fabs(l1[i] - std::log(double(nearOne[i]))));
        }
        EXPECT_LE(std::max({worstExp, worstLog, worstNearOne}), 2e-7);
        const auto tail = Apply(k.exp, std::vector<float>(exps.begin() + 3, exps.begin() + 16));
        EXPECT_TRUE(std::equal(tail.begin(), tail.end(), e.begin() + 3));
    }
    const float edges[] = {-1000.0f, 1000.0f, 0.0f, -1.0f};
    float out[4];
    VecExp(2, edges, out);
    EXPECT_GE(out[0], std::numeric_limits<float>::min());
    EXPECT_LT(out[1], std::numeric_limits<float>::infinity());
    VecLog(2, edges + 2, out);
    EXPECT_NEAR(out[0], -87.34f, 0.01f);
    EXPECT_EQ(out[1], out[0]);
}

// Within an ulp (of the operands' magnitude) of the double result, on lengths around every
// vector width.
TEST(SimdLevels, ArithmeticKernelsMatchTheDoubleResultOnEveryLevel) {
    const auto near = [](float got, double want, double magnitude) {
        return std::fabs(got - want) <= 2.4e-7 * magnitude;
    };
    for (SimdLevel level : LevelsHere()) {
        const VecKernels& k = VecKernelsFor(level);
        for (int n : {1, 3, 4, 7, 8, 15, 17, 33}) {
            SCOPED_TRACE(testing::Message() << SimdLevelName(level) << " n = " << n);
            const auto a = RandomFrame(n, n, -4.0f, 4.0f), b = RandomFrame(n, n + 1, -4.0f, 4.0f);
            std::vector<float> sum(b), product(n), scaled(b), accumulated(b);
            k.add(n, a.data(), sum.data());
            k.mul(n, a.data(), b.data(), product.data());
            k.addScaled(n, a.data(), scaled.data(), 0.3f);
            k.addProduct(n, a.data(), b.data(), accumulated.data());
            for (int i = 0; i < n; ++i) {
                const double x = a[i], y = b[i], c = 0.3f, ax = std::fabs(x), ay = std::fabs(y);
                EXPECT_TRUE(near(sum[i], x + y, ax + ay));
                EXPECT_TRUE(near(product[i], x * y, ax * ay));
                EXPECT_TRUE(near(scaled[i], y + c * x, ay + c * ax));
                EXPECT_TRUE(near(accumulated[i], y + x * y, ay + ax * ay));
            }
        }
    }
}

// The correlation and the convolution are the zeroed sums of one scaled addition per tap,
// to the last bit, on every level, for lengths on both sides of the four-vector blocks and
// the tail.
TEST(SimdLevels, CorrelationAndConvolutionEqualOneScaledAdditionPerTapOnEveryLevel) {
    const auto taps = RandomFrame(9, 7, 0.0f, 1.0f);
    for (SimdLevel level : LevelsHere()) {
        const VecKernels& k = VecKernelsFor(level);
        for (int n : {1, 5, 16, 31, 64, 65, 70, 131}) {
            SCOPED_TRACE(testing::Message() << SimdLevelName(level) << " n = " << n);
            const auto src = RandomFrame(n + 8, n, 0.0f, 3.0f);
            std::vector<float> got(n), want(n, 0.0f), convolved(n), wantConvolved(n, 0.0f);
            k.correlate(n, src.data(), taps.data(), got.data(), 9);
            k.convolve(n, src.data() + 8, taps.data(), convolved.data(), 9);
            for (int t = 0; t < 9; ++t) {
                k.addScaled(n, src.data() + t, want.data(), taps[t]);
                k.addScaled(n, src.data() + 8 - t, wantConvolved.data(), taps[t]);
            }
            EXPECT_EQ(got, want);
            EXPECT_EQ(convolved, wantConvolved);
        }
    }
}

// The lag sums of floats are their exact products added in double: within 1e-15 of the
// long double sums, and the same bits on every level, for lengths around the rows of eight
// and lag counts around the groups of four.
TEST(SimdLevels, LagProductsAreTheDoubleSumsAndTheSameOnEveryLevel) {
    for (int n : {1, 7, 8, 13, 64, 1001}) {
        const auto frame = RandomFrame(n, n, -1.0f, 1.0f);
        const std::vector<double> x(frame.begin(), frame.end());
        const int maxLag = std::min(n - 1, 9);
        std::vector<double> baseline(maxLag + 1);
        VecKernelsFor(SimdLevel::Sse2).lagProducts(n, x.data(), maxLag, baseline.data());
        for (int k = 0; k <= maxLag; ++k) {
            long double exact = 0.0L, magnitude = 0.0L;
            for (int i = 0; i + k < n; ++i) {
                exact += static_cast<long double>(x[i]) * x[i + k];
                magnitude += std::fabs(static_cast<long double>(x[i]) * x[i + k]);
            }
            EXPECT_LE(std::fabs(static_cast<long double>(baseline[k]) - exact), 1e-15L * magnitude)
                << "n = " << n << " lag " << k;
        }
        for (SimdLevel level : LevelsHere()) {
            std::vector<double> sums(maxLag + 1);
            VecKernelsFor(level).lagProducts(n, x.data(), maxLag, sums.data());
            EXPECT_EQ(sums, baseline) << SimdLevelName(level) << " n = " << n;
        }
    }
}

// Bins of noise alone, then bins from noise to clear signal: each within 1e-5 of the
// double-precision gain (relative; worst seen 6.1e-6, just above a ramp's low end, where the
// float difference of dB values loses digits as the scalar reducer's did), except the few
// whose probability lies so near the floor's threshold that the rounding decides; every level
// the same to the bit, and a bin's gain the same wherever it sits in the vectors.
TEST(VecLogAmplitude, GainsMatchTheDoublePrecisionEstimatorOnEveryLevel) {
    const int n = 1001;
    std::vector<float> table(200);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = 1.0f + 30.0f / float(i + 1);
    const LogAmplitudeGainSettings settings{
        -6.0f, 3.0f, -7.0f, -3.0f, 0.9999f, 1e-3f, 0.1f, table.data(), int(table.size()), -4, 32};
    // Noise alone in the first third: low presence, v below 1.
    const auto xi = Ratios(n, 1, -25.0f, -5.0f, -25.0f, 30.0f),
               power = Ratios(n, 2, -10.0f, 3.0f, -10.0f, 30.0f),
               inverseNoise = Ratios(n, 3, -3.0f, 3.0f, -3.0f, 3.0f),
               presence = Ratios(n, 4, -30.0f, -7.0f, -12.0f, 9.0f),
               band = Ratios(n, 5, -10.0f, 0.0f, -10.0f, 0.0f);
    const LogAmplitudeGainRows rows{xi.data(), power.data(), inverseNoise.data(), presence.data(),
                                    band.data()};
    std::vector<float> baseline(n);
    LogAmplitudeGainsFor(SimdLevel::Sse2)(n, rows, settings, baseline.data());
    double worst = 0.0;
    int floors = 0;
    for (int k = 0; k < n; ++k) {
        double p = 0.0;
        const double want = ReferenceGain(rows, k, settings, p);
        floors += want == settings.floorGain;
        if (std::fabs(p / settings.unlikelyPresence - 1.0) < 1e-4) continue;
        worst = std::max(worst, std::fabs(baseline[k] / want - 1.0));
    }
    EXPECT_LE(worst, 1e-5);
    EXPECT_GT(floors, n / 3 + n / 10);
    EXPECT_LT(floors, n - n / 10);
    for (SimdLevel level : LevelsHere()) {
        SCOPED_TRACE(SimdLevelName(level));
        const LogAmplitudeGainsKernel gains = LogAmplitudeGainsFor(level);
        std::vector<float> got(n);
        gains(n, rows, settings, got.data());
        EXPECT_EQ(got, baseline);
        const LogAmplitudeGainRows shifted{xi.data() + 3, power.data() + 3, inverseNoise.data() + 3,
                                           presence.data() + 3, band.data() + 3};
        std::vector<float> part(13);
        gains(13, shifted, settings, part.data());
        EXPECT_TRUE(std::equal(part.begin(), part.end(), baseline.begin() + 3));
    }
}
