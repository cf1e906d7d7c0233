#include "bench/quality_denoise.h"

#include "dsp/Denoise.h"
#include "dsp/LookAheadStreamer.h"
#include "dsp/ParameterMapping.h"
#include "support/Measures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int blockFrames = 4096;
constexpr float hissDbfs = -32.0f;
constexpr double leadInSeconds = 2.0;

struct Settings {
    float amount;
    float sensitivity;
};

struct Measurement {
    double snrBeforeDb;
    double snrAfterDb;
    double hissAttenuationDb;
};

// Clean energy over the energy of (signal - clean) on [begin, end), in dB.
double SnrDb(const std::vector<float>& clean, const float* signal, int begin, int end) {
    ErrorEnergy energy;
    energy.Add(clean.data() + begin, signal + begin, std::size_t(end - begin));
    return energy.SnrDb();
}

Measurement Reduce(const std::vector<float>& clean, const std::vector<float>& noisy, int rate,
                   int leadIn, Settings settings) {
    Denoise denoise;
    LookAheadStreamer streamer(&denoise);
    streamer.Setup(1, rate, blockFrames);
    denoise.SetReductionDb(DSP::Restoration::ReductionDb(settings.amount));
    denoise.SetSensitivityDb(DSP::Restoration::SensitivityDb(settings.sensitivity));
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
    const double hissIn = Energy(noisy.data() + settled, std::size_t(leadIn - settled));
    const double hissOut = Energy(aligned + settled, std::size_t(leadIn - settled));
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
