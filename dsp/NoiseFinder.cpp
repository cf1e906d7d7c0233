#include "dsp/NoiseFinder.h"

#include "dsp/Denoise.h"
#include "dsp/NoiseProfileScale.h"
#include "primitives/RealFFT.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace DSP {

namespace {

constexpr int bandCount = 4;
// Windows averaged (centred) before a band's level is compared with its quietest.
constexpr int levelSmoothing = 5;
// A band's level scatters by about 4.34 / sqrt(equivalent spectra) dB on stationary noise; a
// window counts as noise within 1 dB plus six of those of the band's quietest level.
constexpr double spreadMultiple = 6.0;
constexpr double spreadBase = 1.0;
// Hann-windowed bins are not independent: about 1.5 bins make one independent value.
constexpr double binsPerValue = 1.5;

// Floor estimate: per bin, this fraction of the smoothed short-time powers lies below it;
// on Gaussian noise it reads `percentileBias` times below the mean power.
constexpr double floorPercentile = 0.05;
constexpr double floorPercentileBias = 2.4;
constexpr double floorSmoothing = 0.7;
constexpr double histogramLowDb = -200.0;
constexpr double histogramStepDb = 0.25;
constexpr int histogramSize = 960;

std::vector<float> HannWindow(int size) {
    std::vector<float> window(size);
    for (int i = 0; i < size; ++i)
        window[i] = float(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / size));
    return window;
}

// The power spectrum (K values) of the Hann-windowed frame of the channel mix at `start`.
class FramePowers {
public:
    explicit FramePowers(int size) : window(HannWindow(size)), frame(size), spectrum(size + 2) {
        fft.Init(size);
    }
    void Compute(const float* const* channels, int channelCount, std::int64_t start,
                 std::vector<float>& power) {
        const int N = int(frame.size());
        for (int i = 0; i < N; ++i) {
            float sum = 0.0f;
            for (int c = 0; c < channelCount; ++c)
                sum += channels[c][start + i];
            frame[i] = sum * window[i];
        }
        fft.Forward(frame.data(), spectrum.data());
        power.resize(N / 2 + 1);
        for (int k = 0; k <= N / 2; ++k)
            power[k] =
                spectrum[2 * k] * spectrum[2 * k] + spectrum[2 * k + 1] * spectrum[2 * k + 1];
    }

private:
    RealFFT fft;
    std::vector<float> window, frame, spectrum;
};

// Band b covers bins [edges[b], edges[b + 1]): quarters of the spectrum in octave pairs.
std::array<int, bandCount + 1> BandEdges(int binCount) {
    const int K = binCount - 1;
    return {1, K / 64, K / 16, K / 4, binCount};
}

} // namespace

std::vector<NoiseStretch> NoiseFinder::FindStretches(const float* const* channels, int channelCount,
                                                     std::int64_t frames, int rate) {
    const int N = Denoise::FrameSizeForRate(rate);
    const std::int64_t windows = frames / N;
    const auto edges = BandEdges(N / 2 + 1);
    FramePowers analysis(N);
    std::vector<float> power;
    std::vector<std::array<double, bandCount>> levels(windows);
    for (std::int64_t w = 0; w < windows; ++w) {
        analysis.Compute(channels, channelCount, w * N, power);
        for (int b = 0; b < bandCount; ++b) {
            double sum = 1e-30;
            for (int k = edges[b]; k < edges[b + 1]; ++k)
                sum += power[k];
            levels[w][b] = sum;
        }
    }
    // Smoothed levels in dB and each band's quietest.
    const int half = levelSmoothing / 2;
    std::vector<std::array<double, bandCount>> smoothed(windows);
    std::array<double, bandCount> quietest;
    quietest.fill(1e300);
    for (std::int64_t w = 0; w < windows; ++w) {
        const std::int64_t from = std::max<std::int64_t>(0, w - half);
        const std::int64_t to = std::min<std::int64_t>(windows, w + half + 1);
        for (int b = 0; b < bandCount; ++b) {
            double sum = 0.0;
            for (std::int64_t j = from; j < to; ++j)
                sum += levels[j][b];
            smoothed[w][b] = 10.0 * std::log10(sum / double(to - from));
            quietest[b] = std::min(quietest[b], smoothed[w][b]);
        }
    }
    std::array<double, bandCount> tolerance;
    for (int b = 0; b < bandCount; ++b) {
        const double values = levelSmoothing * (edges[b + 1] - edges[b]) / binsPerValue;
        tolerance[b] = spreadBase + spreadMultiple * 4.343 / std::sqrt(values);
    }
    auto isNoise = [&](std::int64_t w) {
        for (int b = 0; b < bandCount; ++b)
            if (smoothed[w][b] > quietest[b] + tolerance[b]) return false;
        return true;
    };
    // Runs of noise windows, less the windows whose smoothing reaches past the run.
    std::vector<NoiseStretch> stretches;
    const std::int64_t shortest = std::int64_t(std::ceil(shortestStretch * rate / N));
    for (std::int64_t w = 0; w < windows;) {
        if (!isNoise(w)) {
            ++w;
            continue;
        }
        std::int64_t end = w;
        while (end < windows && isNoise(end))
            ++end;
        const std::int64_t first = w == 0 ? 0 : w + half;
        const std::int64_t last = end == windows ? end : end - half;
        if (last - first >= shortest) stretches.push_back({first * N, last * N});
        w = end;
    }
    return stretches;
}

std::array<std::vector<float>, 2> NoiseFinder::EstimateFloor(const float* const* channels,
                                                             int channelCount, std::int64_t frames,
                                                             int rate) {
    const int N = Denoise::FrameSizeForRate(rate);
    const int K = N / 2 + 1;
    const NoiseProfileScale scale(N);
    // The Hann window's squares sum to 3N/8.
    const double windowEnergy = 3.0 * N / 8.0;
    std::array<std::vector<float>, 2> profile;
    FramePowers analysis(N);
    std::vector<float> power, smoothed(K);
    std::vector<int> histogram(std::size_t(K) * histogramSize);
    for (int c = 0; c < std::min(channelCount, 2); ++c) {
        std::fill(histogram.begin(), histogram.end(), 0);
        std::fill(smoothed.begin(), smoothed.end(), 0.0f);
        std::int64_t counted = 0;
        for (std::int64_t start = 0; start + N <= frames; start += N / 2) {
            analysis.Compute(channels + c, 1, start, power);
            for (int k = 0; k < K; ++k) {
                smoothed[k] =
                    float(floorSmoothing * smoothed[k] + (1.0 - floorSmoothing) * power[k]);
                const double db = 10.0 * std::log10(std::max(double(smoothed[k]), 1e-20));
                const int cell =
                    std::clamp(int((db - histogramLowDb) / histogramStepDb), 0, histogramSize - 1);
                ++histogram[std::size_t(k) * histogramSize + cell];
            }
            ++counted;
        }
        profile[c].assign(Denoise::profileBins, Denoise::defaultProfileDb);
        // The first spectra are still rising from the smoothing's silent start.
        const std::int64_t wanted =
            std::max<std::int64_t>(1, std::int64_t(floorPercentile * counted));
        for (int k = 0; k < K && counted > 0; ++k) {
            const int* cells = histogram.data() + std::size_t(k) * histogramSize;
            std::int64_t below = 0;
            int cell = 0;
            while (cell < histogramSize - 1 && below + cells[cell] < wanted)
                below += cells[cell++];
            const double db = histogramLowDb + (cell + 0.5) * histogramStepDb;
            const double variance = std::pow(10.0, db / 10.0) * floorPercentileBias / windowEnergy;
            profile[c][k] = scale.ProfileDb(float(variance), k);
        }
    }
    return profile;
}

LearntNoise NoiseFinder::Learn(const float* const* channels, int channelCount, std::int64_t frames,
                               int rate) {
    LearntNoise learnt;
    learnt.stretches = FindStretches(channels, channelCount, frames, rate);
    if (learnt.stretches.empty()) {
        learnt.profile = EstimateFloor(channels, channelCount, frames, rate);
        return learnt;
    }
    constexpr int block = 4096;
    const int used = std::min(channelCount, 2);
    Denoise trainer;
    trainer.Setup(used, rate, block);
    const int trainingHop = trainer.FrameSize() / 8;
    trainer.StartTraining();
    for (const NoiseStretch& stretch : learnt.stretches) {
        const std::int64_t usable = (stretch.end - stretch.begin) / trainingHop * trainingHop;
        for (std::int64_t at = 0; at < usable; at += block) {
            const float* parts[2] = {channels[0] + stretch.begin + at,
                                     channels[used - 1] + stretch.begin + at};
            trainer.TrainBlock(parts, int(std::min<std::int64_t>(block, usable - at)));
        }
    }
    trainer.FinishTraining();
    learnt.profile = trainer.noiseProfile;
    return learnt;
}

} // namespace DSP
