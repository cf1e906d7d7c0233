// Noise reduction speed, one channel: processing (inside the look-ahead wrapper, as the
// restoration chain runs it) and training. The counter x_realtime is seconds of audio per
// second of processing for one channel.

#include "dsp/Denoise.h"
#include "dsp/LookAheadStreamer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int blockFrames = 4096;
constexpr int signalBlocks = 32;

// Hiss at -32 dBFS under a few tones whose level swells and fades, so that bins move
// between noise, signal and the release limit.
std::vector<float> TestSignal(int rate) {
    std::mt19937 random(1);
    std::normal_distribution<float> hiss(0.0f, 0.025f);
    std::vector<float> signal(blockFrames * signalBlocks);
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const double t = double(i) / rate;
        const double swell = 0.5 + 0.5 * std::sin(2.0 * 3.14159265 * 0.7 * t);
        double tones = 0.0;
        for (double f : {220.0, 660.0, 1870.0, 5200.0})
            tones += std::sin(2.0 * 3.14159265 * f * t);
        signal[i] = float(0.1 * swell * tones) + hiss(random);
    }
    return signal;
}

void TrainOnHiss(Denoise& denoise, int rate) {
    std::mt19937 random(2);
    std::normal_distribution<float> hiss(0.0f, 0.025f);
    std::vector<float> noise(blockFrames);
    denoise.StartTraining();
    for (int b = 0; b < 2 * rate / blockFrames; ++b) {
        for (float& x : noise)
            x = hiss(random);
        const float* block[] = {noise.data()};
        denoise.TrainBlock(block, blockFrames);
    }
    denoise.FinishTraining();
}

void RealTimeCounter(benchmark::State& state, int rate) {
    state.counters["x_realtime"] = benchmark::Counter(
        double(blockFrames) / rate, benchmark::Counter::kIsIterationInvariantRate);
}

void DenoiseProcess(benchmark::State& state) {
    const int rate = int(state.range(0));
    Denoise denoise;
    LookAheadStreamer streamer(&denoise);
    streamer.Setup(1, rate, blockFrames);
    TrainOnHiss(denoise, rate);
    denoise.SetReductionDb(18.0f);
    const std::vector<float> signal = TestSignal(rate);
    std::vector<float> output(blockFrames);
    int block = 0;
    for (auto _ : state) {
        float* in[] = {const_cast<float*>(signal.data()) + blockFrames * block};
        float* out[] = {output.data()};
        streamer.Process(in, blockFrames, out);
        benchmark::DoNotOptimize(output.data());
        block = (block + 1) % signalBlocks;
    }
    RealTimeCounter(state, rate);
}

void DenoiseTraining(benchmark::State& state) {
    const int rate = int(state.range(0));
    Denoise denoise;
    denoise.Setup(1, rate, blockFrames);
    const std::vector<float> signal = TestSignal(rate);
    denoise.StartTraining();
    int block = 0;
    for (auto _ : state) {
        const float* in[] = {signal.data() + blockFrames * block};
        denoise.TrainBlock(in, blockFrames);
        block = (block + 1) % signalBlocks;
    }
    benchmark::DoNotOptimize(denoise.trainingSum.buffers[0]);
    RealTimeCounter(state, rate);
}

} // namespace

BENCHMARK(DenoiseProcess)->Arg(44100)->Arg(96000)->Unit(benchmark::kMicrosecond);
BENCHMARK(DenoiseTraining)->Arg(44100)->Arg(96000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
