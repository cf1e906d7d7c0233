// Speed of the repair stages on 10 s of real music at 44.1 kHz, one channel, in blocks
// of 4096 frames as the restoration chain runs them. x_realtime is seconds of audio
// repaired per second of CPU time.

#include "bench/quality/RepairDamage.h"
#include "dsp/Declick.h"
#include "dsp/Declip.h"
#include "dsp/ParameterMapping.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int repairBlockFrames = 4096;

const Music& Track() {
    static const Music music = LoadMusic(defaultTrack, 30.0, 10.0);
    return music;
}

void Stream(benchmark::State& state, DSP::AudioProcessor& stage, const std::vector<float>& signal,
            int rate) {
    const int blocks = static_cast<int>(signal.size()) / repairBlockFrames;
    std::vector<float> block(repairBlockFrames);
    float* channels[] = {block.data()};
    for (auto _ : state) {
        for (int b = 0; b < blocks; ++b) {
            std::copy_n(signal.begin() + b * repairBlockFrames, repairBlockFrames, block.begin());
            stage.Process(channels, repairBlockFrames, nullptr);
        }
        benchmark::DoNotOptimize(block.data());
    }
    const double seconds = static_cast<double>(blocks) * repairBlockFrames / rate;
    state.counters["x_realtime"] =
        benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
}

// The music at a peak of 1.1 times full scale: only its loudest peaks clip.
void BM_DeclipRareClipping(benchmark::State& state) {
    const Music& music = Track();
    if (music.samples.empty()) return state.SkipWithError("no music");
    std::vector<float> clipped = Driven(music.samples, 1.1f);
    const auto clippedSamples = std::count_if(clipped.begin(), clipped.end(),
                                              [](float v) { return std::abs(v) >= 0.98855f; });
    ClipAtFullScale(clipped);
    Declip declip;
    declip.quality = 0.0f;
    declip.Setup(1, music.rate, repairBlockFrames);
    Stream(state, declip, clipped, music.rate);
    state.counters["clipped_per_s"] =
        static_cast<double>(clippedSamples) * music.rate / music.samples.size();
}
BENCHMARK(BM_DeclipRareClipping)->Unit(benchmark::kMillisecond);

void BM_DeclickClicks25PerSecond(benchmark::State& state) {
    const Music& music = Track();
    if (music.samples.empty()) return state.SkipWithError("no music");
    std::vector<float> damaged = music.samples;
    AddClicks(damaged, music.rate, 25.0);
    Declick declick;
    declick.quality = 0.0f;
    declick.detectionLevel = DSP::Restoration::DetectionLevelDb(DSP::Restoration::defaultSetting);
    declick.Setup(1, music.rate, repairBlockFrames);
    Stream(state, declick, damaged, music.rate);
}
BENCHMARK(BM_DeclickClicks25PerSecond)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
