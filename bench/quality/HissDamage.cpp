#include "bench/quality/HissDamage.h"

#include "primitives/RealFFT.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace {

// Gaussian noise, white or shaped by a three-pole approximation of a -3 dB per octave slope.
std::vector<float> Hiss(std::size_t frames, HissColour colour, float levelDbfs, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    std::vector<float> hiss(frames);
    float b0 = 0.0f, b1 = 0.0f, b2 = 0.0f;
    for (float& x : hiss) {
        const float w = normal(random);
        if (colour == HissColour::white) {
            x = w;
            continue;
        }
        b0 = 0.99765f * b0 + w * 0.0990460f;
        b1 = 0.96300f * b1 + w * 0.2965164f;
        b2 = 0.57000f * b2 + w * 1.0526913f;
        x = b0 + b1 + b2 + w * 0.1848f;
    }
    double energy = 0.0;
    for (float x : hiss)
        energy += double(x) * x;
    const double scale = std::pow(10.0, levelDbfs / 20.0) / std::sqrt(energy / frames);
    for (float& x : hiss)
        x = float(x * scale);
    return hiss;
}

double Kurtosis(const std::vector<double>& values) {
    double mean = 0.0;
    for (double v : values)
        mean += v;
    mean /= double(values.size());
    double m2 = 0.0, m4 = 0.0;
    for (double v : values) {
        const double d = (v - mean) * (v - mean);
        m2 += d;
        m4 += d * d;
    }
    m2 /= double(values.size());
    m4 /= double(values.size());
    return m4 / (m2 * m2);
}

// Power spectrum values of Hann-windowed frames of 1024 samples at half overlap.
std::vector<double> PowerValues(const std::vector<float>& signal, int begin, int end) {
    constexpr int N = 1024;
    RealFFT fft;
    fft.Init(N);
    std::vector<float> frame(N), spectrum(N + 2);
    std::vector<double> values;
    for (int start = begin; start + N <= end; start += N / 2) {
        for (int i = 0; i < N; ++i)
            frame[i] =
                signal[start + i] * float(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / N));
        fft.Forward(frame.data(), spectrum.data());
        for (int k = 1; k < N / 2; ++k)
            values.push_back(double(spectrum[2 * k]) * spectrum[2 * k] +
                             double(spectrum[2 * k + 1]) * spectrum[2 * k + 1]);
    }
    return values;
}

} // namespace

HissFile MakeHissFile(const std::string& name, const std::vector<float>& music, int rate,
                      double where, double stretchSeconds, HissColour colour, float levelDbfs) {
    HissFile file;
    file.name = name;
    file.rate = rate;
    const int stretch = int(stretchSeconds * rate);
    const int at = int(where * double(music.size()));
    file.clean.assign(music.begin(), music.begin() + at);
    file.clean.insert(file.clean.end(), stretch, 0.0f);
    file.clean.insert(file.clean.end(), music.begin() + at, music.end());
    file.stretchBegin = at;
    file.stretchEnd = at + stretch;
    const unsigned seed = unsigned(colour == HissColour::pink) * 1000u + unsigned(-levelDbfs);
    const std::vector<float> hiss = Hiss(file.clean.size(), colour, levelDbfs, seed);
    file.noisy = file.clean;
    for (std::size_t i = 0; i < hiss.size(); ++i)
        file.noisy[i] += hiss[i];
    return file;
}

double AlignedSnrDb(const HissFile& file, const std::vector<float>& signal) {
    double cs = 0.0, ss = 0.0, cc = 0.0;
    for (std::size_t i = 0; i < file.clean.size(); ++i) {
        if (int(i) >= file.stretchBegin && int(i) < file.stretchEnd) continue;
        cs += double(file.clean[i]) * signal[i];
        ss += double(signal[i]) * signal[i];
        cc += double(file.clean[i]) * file.clean[i];
    }
    const double g = ss > 0.0 ? cs / ss : 0.0;
    // sum (c - g s)^2 = cc - 2 g cs + g^2 ss = cc - cs^2 / ss at the best g.
    const double error = std::max(cc - 2.0 * g * cs + g * g * ss, 1e-30);
    return 10.0 * std::log10(cc / error);
}

double LogKurtosisRatio(const HissFile& file, const std::vector<float>& signal) {
    const int margin = file.rate / 2;
    const int begin = file.stretchBegin + margin;
    const int end = file.stretchEnd - margin;
    return std::log(Kurtosis(PowerValues(signal, begin, end)) /
                    Kurtosis(PowerValues(file.noisy, begin, end)));
}

double StretchLevelDbfs(const HissFile& file) {
    double energy = 0.0;
    for (int i = file.stretchBegin; i < file.stretchEnd; ++i)
        energy += double(file.noisy[i]) * file.noisy[i];
    return 10.0 * std::log10(energy / (file.stretchEnd - file.stretchBegin));
}
