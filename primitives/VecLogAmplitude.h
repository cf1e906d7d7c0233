#pragma once
// The innermost loop of the high-quality noise reducer (dsp/LogAmplitudeDenoise): per bin, the
// gain of the minimum mean-square error log-spectral amplitude estimator under signal
// presence uncertainty, in one pass whose logarithms and exponentials stay in vector
// registers. Compiled once per instruction-set level (VecLogAmplitudeSse2.cpp and
// VecLogAmplitudeAvx2.cpp from VecLogAmplitude.inl) with the same roundings on each, and
// reached through SimdDispatch.

// From SimdDispatch.h, which the wide translation units need not see.
enum class SimdLevel;

// What the gain of every bin shares.
struct LogAmplitudeGainSettings {
    // The presence test: 0 below lowDb, 1 above highDb, linear in dB between, for a bin's own
    // presence SNR and for the mean over its band; signal is likely where both stand out.
    float binLowDb;
    float binHighDb;
    float bandLowDb;
    float bandHighDb;
    // The largest prior probability that a bin holds no signal.
    float largestAbsence;
    // Below this probability of signal presence the bin takes the floor.
    float unlikelyPresence;
    // The gain of noise alone, and the least gain of any bin.
    float floorGain;
    // exp(E1(v) / 2) at v = 2^(tableLowest + i / tableSteps) for i = 0 ... tableSize - 1,
    // read interpolated linearly in log v; its first value below, its last above.
    const float* table;
    int tableSize;
    int tableLowest;
    int tableSteps;
};

// Per bin of one frame: its smoothed a priori SNR xi, power |Y|^2, 1 / the noise power, the
// SNR its presence test follows over time, and the mean of that over the band around it.
struct LogAmplitudeGainRows {
    const float* xi;
    const float* power;
    const float* inverseNoise;
    const float* presence;
    const float* band;
};

// gain[k] = G1^p floor^(1 - p), at least the floor, and the floor where p < unlikelyPresence,
// with gamma = power inverseNoise, v = min(xi gamma / (1 + xi), 80), G1 = min(1, xi / (1 + xi)
// exp(E1(v) / 2)) the log-spectral amplitude gain, and p = 1 / (1 + odds) the probability of
// signal presence, odds = a / (1 - a) (1 + xi) e^-v with the prior absence a = min(1 - bin
// ramp(presence) band ramp(band), largestAbsence). The logarithms and exponentials are
// VecLog's and VecExp's approximations. A count of 0 or less does nothing.
void VecLogAmplitudeGains(int n, const LogAmplitudeGainRows& rows,
                          const LogAmplitudeGainSettings& settings, float* gain);

using LogAmplitudeGainsKernel = void (*)(int n, const LogAmplitudeGainRows& rows,
                                         const LogAmplitudeGainSettings& settings, float* gain);
LogAmplitudeGainsKernel LogAmplitudeGainsSse2();
LogAmplitudeGainsKernel LogAmplitudeGainsAvx2();
// The version for `level`, for tests that compare the levels.
LogAmplitudeGainsKernel LogAmplitudeGainsFor(SimdLevel level);
