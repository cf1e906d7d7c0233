#include "bench/quality_denoise.h"

#include "dsp/Denoise.h"
#include "dsp/LookAheadStreamer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int blockFrames = 4096;
constexpr float hissDbfs = -32.0f;
constexpr double leadInSeconds = 2.0;

double EnergyDb(double energy) {
    return 10.0 * std::log10(std::max(energy, 1e-30));
}

struct Settings {
    float amount;
    float sensitivity;
};

struct Measurement {
    double snrBeforeDb;
    double snrAfterDb;
    double hissAttenuationDb;
};

// 10 log10 of the clean energy over the energy of (signal - clean) on [begin, end).
double SnrDb(const std::vector<float>& clean, const float* signal, int begin, int end) {
    double cleanEnergy = 0.0;
    double errorEnergy = 0.0;
    for (int i = begin; i < end; ++i) {
        cleanEnergy += double(clean[i]) * clean[i];
        const double error = double(signal[i]) - clean[i];
        errorEnergy += error * error;
    }
    return EnergyDb(cleanEnergy) - EnergyDb(errorEnergy);
}

double EnergyOf(const float* signal, int begin, int end) {
    double energy = 0.0;
    for (int i = begin; i < end; ++i)
        energy += double(signal[i]) * signal[i];
    return energy;
}

Measurement Reduce(const std::vector<float>& clean, const std::vector<float>& noisy, int rate,
                   int leadIn, Settings settings) {
    Denoise denoise;
    LookAheadStreamer streamer(&denoise);
    streamer.Setup(1, rate, blockFrames);
    denoise.reductionDb = 6.0f + 24.0f * settings.amount;
    denoise.sensitivityDb = 12.0f * (settings.sensitivity - 0.5f);
    denoise.StartTraining();
    for (int start = 0; start + blockFrames <= leadIn; start += blockFrames) {
        const float* block[] = {noisy.data() + start};
        denoise.TrainBlock(block, blockFrames);
    }
    denoise.FinishTraining();

    // Run past the end by the delay so that every input frame comes out.
    const int delay = streamer.latency;
    const int total = int(noisy.size());
    std::vector<float> work(noisy);
    work.resize((total + delay + blockFrames - 1) / blockFrames * blockFrames, 0.0f);
    for (std::size_t start = 0; start < work.size(); start += blockFrames) {
        float* block[] = {work.data() + start};
        streamer.Process(block, blockFrames, nullptr);
    }
    const float* aligned = work.data() + delay;
    // The first half second of the lead-in lets the gains settle from their reset state.
    const int settled = rate / 2;
    const double hissIn = EnergyOf(noisy.data(), settled, leadIn);
    const double hissOut = EnergyOf(aligned, settled, leadIn);
    return {SnrDb(clean, noisy.data(), leadIn, total), SnrDb(clean, aligned, leadIn, total),
            EnergyDb(hissOut) - EnergyDb(hissIn)};
}

} // namespace

void EvaluateDenoise(const float* music, int frames, int rate) {
    const int leadIn = int(leadInSeconds * rate);
    std::vector<float> clean(leadIn, 0.0f);
    clean.insert(clean.end(), music, music + frames);
    std::mt19937 random(12345);
    std::normal_distribution<float> hiss(0.0f, std::pow(10.0f, hissDbfs / 20.0f));
    std::vector<float> noisy(clean);
    for (float& x : noisy)
        x += hiss(random);

    std::printf("denoise: hiss %.0f dBFS, %.1f s lead-in for training, %.1f s of music at %d Hz\n",
                hissDbfs, leadInSeconds, double(frames) / rate, rate);
    // "Reduction Amount" and "Reduction Sensitivity" as the user sets them.
    const Settings rows[] = {{0.5f, 0.5f}, {1.0f, 0.5f}, {1.0f, 1.0f}};
    for (const Settings& settings : rows) {
        const Measurement m = Reduce(clean, noisy, rate, leadIn, settings);
        std::printf("  amount %.1f sensitivity %.1f: SNR %6.2f dB -> %6.2f dB (gain %+6.2f dB), "
                    "hiss alone %+6.2f dB\n",
                    settings.amount, settings.sensitivity, m.snrBeforeDb, m.snrAfterDb,
                    m.snrAfterDb - m.snrBeforeDb, m.hissAttenuationDb);
    }
}
