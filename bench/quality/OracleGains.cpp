#include "bench/quality/OracleGains.h"

#include "primitives/RealFFT.h"

#include <cmath>
#include <numbers>

namespace {

struct Frames {
    int size;
    int hop;
    std::vector<float> window; // square-root Hann, periodic
    RealFFT fft;

    explicit Frames(int frameSize) : size(frameSize), hop(frameSize / 4), window(frameSize) {
        for (int i = 0; i < size; ++i)
            window[i] = float(std::sqrt(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / size)));
        fft.Init(size);
    }
    int Count(std::size_t samples) const { return int(samples / std::size_t(hop)) + 1; }

    // The windowed spectrum (CCS) of the frame that starts at `start`; zeros outside x.
    std::vector<float> Spectrum(const std::vector<float>& x, long start) {
        std::vector<float> frame(size, 0.0f);
        for (int i = 0; i < size; ++i) {
            const long n = start + i;
            if (n >= 0 && n < long(x.size())) frame[i] = x[std::size_t(n)] * window[i];
        }
        std::vector<float> spectrum(size + 2);
        fft.Forward(frame.data(), spectrum.data());
        return spectrum;
    }
};

float BinPower(const std::vector<float>& spectrum, int k) {
    return spectrum[2 * k] * spectrum[2 * k] + spectrum[2 * k + 1] * spectrum[2 * k + 1];
}

// Mean power per bin of the noise the file was given, over all frames.
std::vector<double> NoisePower(const HissFile& file, Frames& frames) {
    std::vector<float> noise(file.noisy.size());
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = file.noisy[i] - file.clean[i];
    std::vector<double> power(frames.size / 2 + 1, 0.0);
    const int count = frames.Count(noise.size());
    for (int f = 0; f < count; ++f) {
        const std::vector<float> spectrum = frames.Spectrum(noise, long(f) * frames.hop - frames.size);
        for (std::size_t k = 0; k < power.size(); ++k)
            power[k] += BinPower(spectrum, int(k)) / count;
    }
    return power;
}

} // namespace

std::vector<float> OracleOutput(const HissFile& file, int frameSize, OracleKind kind) {
    Frames frames(frameSize);
    const std::vector<double> noise = NoisePower(file, frames);
    std::vector<float> output(file.noisy.size() + std::size_t(frameSize), 0.0f);
    std::vector<float> frame(frameSize);
    for (int f = 0; f < frames.Count(file.noisy.size()); ++f) {
        const long start = long(f) * frames.hop - frameSize;
        const std::vector<float> clean = frames.Spectrum(file.clean, start);
        std::vector<float> noisy = frames.Spectrum(file.noisy, start);
        for (int k = 0; k <= frameSize / 2; ++k) {
            const double signal = BinPower(clean, k);
            const float gain =
                kind == OracleKind::wiener
                    ? float(signal / (signal + noise[std::size_t(k)] + 1e-30))
                    : float(std::sqrt(signal / (double(BinPower(noisy, k)) + 1e-30)));
            noisy[2 * k] *= gain;
            noisy[2 * k + 1] *= gain;
        }
        frames.fft.Inverse(noisy.data(), frame.data());
        // Analysis and synthesis windows multiply to a Hann window, which overlap-adds to 2.
        for (int i = 0; i < frameSize; ++i) {
            const long n = start + i;
            if (n >= 0 && n < long(file.noisy.size()))
                output[std::size_t(n)] += 0.5f * frame[i] * frames.window[i];
        }
    }
    output.resize(file.noisy.size());
    return output;
}
