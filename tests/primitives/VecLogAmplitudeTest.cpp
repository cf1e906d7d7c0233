// The log-spectral amplitude gains on every instruction-set level against the same gain
// computed bin by bin in double precision.

#include "primitives/VecLogAmplitude.h"
#include "primitives/SimdDispatch.h"
#include "tests/primitives/FourierReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

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
    for (int i = 0; i <= int(SupportedSimdLevel()); ++i) {
        const LogAmplitudeGainsKernel gains = LogAmplitudeGainsFor(SimdLevel(i));
        std::vector<float> got(n);
        gains(n, rows, settings, got.data());
        EXPECT_EQ(got, baseline) << SimdLevelName(SimdLevel(i));
        const LogAmplitudeGainRows shifted{xi.data() + 3, power.data() + 3, inverseNoise.data() + 3,
                                           presence.data() + 3, band.data() + 3};
        std::vector<float> part(13);
        gains(13, shifted, settings, part.data());
        EXPECT_TRUE(std::equal(part.begin(), part.end(), baseline.begin() + 3))
            << SimdLevelName(SimdLevel(i));
    }
}
