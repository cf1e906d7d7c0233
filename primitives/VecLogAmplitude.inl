// The loop behind VecLogAmplitudeGains, included by one translation unit per instruction-set
// level. Whole vectors, then one zero-padded vector for the rest, so each bin gets the same
// arithmetic wherever it sits.

#include "primitives/VecLogAmplitude.h"
// Lanes with Splat, Min, Max, ExpLanes and LogLanes, as VecExp and VecLog compute them.
#include "primitives/VecLoops.inl"

#include <cmath>
#include <immintrin.h>

namespace {

static_assert(kLanes == 4 || kLanes == 8, "VecLogAmplitude.inl has no AVX-512 level");

bool AllSet(IntLanes mask) {
#if defined(__AVX2__)
    return _mm256_movemask_ps((__m256)mask) == 0xff;
#else
    return _mm_movemask_ps((__m128)mask) == 0xf;
#endif
}

// Power ratios to dB: 10 log10 x = dbPerNeper ln x.
constexpr float dbPerNeper = 10.0f / 2.30258509299404568402f;
constexpr float log2e = 1.44269504088896340736f;

// 0 below lowDb, 1 above highDb, linear in dB between, of a power ratio's natural logarithm.
Lanes Ramp(Lanes logRatio, float lowDb, float highDb) {
    const float perDb = 1.0f / (highDb - lowDb);
    return Min(Max((logRatio * dbPerNeper - lowDb) * perDb, Splat(0.0f)), Splat(1.0f));
}

Lanes Gather(const float* table, IntLanes index) {
#if defined(__AVX2__)
    return (Lanes)_mm256_i32gather_ps(table, (__m256i)index, 4);
#else
    Lanes values;
    for (int i = 0; i < kLanes; ++i)
        values[i] = table[index[i]];
    return values;
#endif
}

// The table at ln v, interpolated linearly in log v between its points.
Lanes HalfExpIntegralExp(Lanes logV, const LogAmplitudeGainSettings& s) {
    const Lanes position =
        Min(Max((logV * log2e - float(s.tableLowest)) * float(s.tableSteps), Splat(0.0f)),
            Splat(float(s.tableSize - 1)));
    IntLanes index = __builtin_convertvector(position, IntLanes);
    const IntLanes last = IntLanes{} + (s.tableSize - 2);
    index = index < last ? index : last;
    const Lanes fraction = position - __builtin_convertvector(index, Lanes);
    const Lanes below = Gather(s.table, index);
    return below + fraction * (Gather(s.table, index + 1) - below);
}

// Noise alone, most of the bins of every recording: a bin whose presence SNR lies below the
// bin ramp (so signal is no more likely than the largest absence allows) and whose v is so
// small that then p < unlikelyPresence whatever xi. The margins keep the full computation on
// the same side, so such a bin's gain is the floor either way.
struct NoiseOnly {
    float presenceBelow;
    float vBelow;
};

NoiseOnly NoiseOnlyBounds(const LogAmplitudeGainSettings& s) {
    const double absence = s.largestAbsence;
    return {float(std::pow(10.0, s.binLowDb / 10.0) * 0.9999),
            float(std::log(absence / (1.0 - absence)) - std::log(1.0 / s.unlikelyPresence - 1.0) -
                  0.01)};
}

Lanes GainLanes(Lanes xi, Lanes power, Lanes inverseNoise, Lanes presence, Lanes band,
                const LogAmplitudeGainSettings& s, NoiseOnly noise, float logFloor) {
    const Lanes floor = Splat(s.floorGain);
    const Lanes gamma = power * inverseNoise;
    const Lanes onePlusXi = xi + 1.0f;
    const IntLanes noiseOnly =
        (presence < noise.presenceBelow) & (xi * gamma < noise.vBelow * onePlusXi);
    if (AllSet(noiseOnly)) return floor;
    const Lanes v = Min(xi * gamma / onePlusXi, Splat(80.0f));
    const Lanes likely = Ramp(LogLanes(presence), s.binLowDb, s.binHighDb) *
                         Ramp(LogLanes(band), s.bandLowDb, s.bandHighDb);
    const Lanes absence = Min(1.0f - likely, Splat(s.largestAbsence));
    const Lanes odds = absence / (1.0f - absence) * onePlusXi * ExpLanes(-v);
    const Lanes p = 1.0f / (1.0f + odds);
    const IntLanes unlikely = p < s.unlikelyPresence;
    if (AllSet(unlikely)) return floor;
    const Lanes present =
        Max(Min(Splat(1.0f), xi / onePlusXi * HalfExpIntegralExp(LogLanes(v), s)), Splat(1e-20f));
    const Lanes mixed = ExpLanes(p * LogLanes(present) + (1.0f - p) * logFloor);
    return unlikely ? floor : Max(mixed, floor);
}

// Flattened, so that the exponentials and logarithms interleave with the rest.
[[gnu::flatten]] void LogAmplitudeGains(int n, const LogAmplitudeGainRows& rows,
                                        const LogAmplitudeGainSettings& s, float* gain) {
    const float* const in[] = {rows.xi, rows.power, rows.inverseNoise, rows.presence, rows.band};
    const NoiseOnly noise = NoiseOnlyBounds(s);
    const float logFloor = LogLanes(Splat(s.floorGain))[0];
    constexpr int inputs = sizeof in / sizeof in[0];
    int k = 0;
    for (; k + kLanes <= n; k += kLanes)
        Store(gain + k, GainLanes(Load(in[0] + k), Load(in[1] + k), Load(in[2] + k),
                                  Load(in[3] + k), Load(in[4] + k), s, noise, logFloor));
    if (k >= n) return;
    const int rest = n - k;
    float padded[inputs][kLanes] = {};
    for (int j = 0; j < inputs; ++j)
        __builtin_memcpy(padded[j], in[j] + k, rest * sizeof(float));
    float result[kLanes];
    Store(result, GainLanes(Load(padded[0]), Load(padded[1]), Load(padded[2]), Load(padded[3]),
                            Load(padded[4]), s, noise, logFloor));
    __builtin_memcpy(gain + k, result, rest * sizeof(float));
}

} // namespace
