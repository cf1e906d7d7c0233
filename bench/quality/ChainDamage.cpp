#include "bench/quality/ChainDamage.h"

#include "dsp/ParameterMapping.h"
#include "dsp/RestorationChain.h"
#include "support/Signals.h"

#include <algorithm>
#include <ctime>

namespace {

constexpr int blockFrames = 4096;

using DSP::Restoration::ChainSwitches;
using DSP::Restoration::RestorationChain;

// As `sonavel restore --quality high` runs the chain: every stage, the knobs at 0.5.
ChainSwitches HighQuality() {
    ChainSwitches on;
    on.highQuality = true;
    return on;
}

void SetKnobs(RestorationChain& chain) {
    const float amount = DSP::Restoration::defaultSetting;
    chain.SetReductionDb(DSP::Restoration::ReductionDb(amount));
    chain.SetSensitivityDb(DSP::Restoration::SensitivityDb(amount));
    chain.SetDetectionLevelDb(DSP::Restoration::DetectionLevelDb(amount));
}

// Runs the chain in place over `channels` planar buffers of equal length, in whole blocks.
void Stream(RestorationChain& chain, std::vector<std::vector<float>>& channels,
            const ChainSwitches& on) {
    for (std::size_t at = 0; at < channels[0].size(); at += blockFrames) {
        float* block[2] = {};
        for (std::size_t c = 0; c < channels.size(); ++c)
            block[c] = channels[c].data() + at;
        const int frames = int(std::min<std::size_t>(blockFrames, channels[0].size() - at));
        chain.Process(block, int(channels.size()), frames, on);
    }
}

} // namespace

HissFile MakeCombinedFile(const std::string& name, const std::vector<float>& music, int rate,
                          double where, double stretchSeconds, float drivenPeak,
                          double clicksPerSecond, float levelDbfs) {
    HissFile file = MakeHissFile(name, Driven(music, drivenPeak), rate, where, stretchSeconds,
                                 HissColour::white, levelDbfs);
    std::vector<float> damaged(file.clean);
    ClipAtFullScale(damaged);
    AddClicks(damaged, rate, clicksPerSecond);
    for (std::size_t i = 0; i < damaged.size(); ++i)
        file.noisy[i] += damaged[i] - file.clean[i];
    return file;
}

std::vector<float> RunChain(const HissFile& file, bool train) {
    RestorationChain chain;
    chain.Setup(1, file.rate, blockFrames);
    if (train) {
        ChainSwitches learn;
        learn.training = true;
        std::vector<std::vector<float>> stretch = {
            {file.noisy.begin() + file.stretchBegin, file.noisy.begin() + file.stretchEnd}};
        chain.StartTraining();
        Stream(chain, stretch, learn);
        chain.FinishTraining();
        chain.Reset();
    }
    SetKnobs(chain);
    const ChainSwitches on = HighQuality();
    const int latency = chain.SignalLatency(on);
    std::vector<std::vector<float>> work = {file.noisy};
    work[0].resize(file.noisy.size() + std::size_t(latency), 0.0f);
    Stream(chain, work, on);
    return {work[0].begin() + latency, work[0].end()};
}

double ChainTimesRealTime(const std::vector<float>& music, int rate) {
    RestorationChain chain;
    chain.Setup(2, rate, blockFrames);
    SetKnobs(chain);
    double best = 1e30;
    for (int pass = 0; pass < 3; ++pass) {
        std::vector<std::vector<float>> work = {music, music};
        const std::clock_t start = std::clock();
        Stream(chain, work, HighQuality());
        best = std::min(best, double(std::clock() - start) / CLOCKS_PER_SEC);
    }
    return double(music.size()) / rate / best;
}
