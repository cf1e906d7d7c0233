#pragma once
// Reference material for the FFT tests: reproducible random frames and the exact
// transform, computed directly in double precision in RealFFT's packed layout.

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

inline std::vector<float> RandomFrame(int n, unsigned seed, float lo = -1.0f, float hi = 1.0f) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(lo, hi);
    std::vector<float> frame(n);
    for (float& v : frame)
        v = dist(gen);
    return frame;
}

inline std::vector<double> ExactSpectrum(const std::vector<float>& x) {
    const int n = static_cast<int>(x.size());
    std::vector<double> spectrum(n + 2, 0.0);
    for (int k = 0; k <= n / 2; ++k) {
        for (int t = 0; t < n; ++t) {
            const double angle = -2.0 * std::numbers::pi * ((static_cast<long>(k) * t) % n) / n;
            spectrum[2 * k] += x[t] * std::cos(angle);
            spectrum[2 * k + 1] += x[t] * std::sin(angle);
        }
    }
    return spectrum;
}
