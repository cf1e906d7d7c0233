#include "dsp/Declip.h"

#include "dsp/RepairSupport.h"
#include "primitives/Vec.h"

#include <algorithm>

using namespace DSP::Restoration;

namespace {

int WindowForRate(int sampleRate, float quality) {
    const int window = sampleRate >= 30000 ? 8192 : sampleRate >= 15000 ? 4096 : 2048;
    if (quality < 0.2f) return window >> 3;
    if (quality < 0.4f) return window >> 2;
    if (quality < 0.6f) return window >> 1;
    return window;
}

} // namespace

void Declip::Setup(int channels, int rate, int maxFrames) {
    AudioProcessor::Setup(channels, rate, maxFrames);
    quality = std::clamp(quality, 0.0f, 1.0f);
    order = RoundUpToEven(ScaleToRate(quality * 285.0f + 15.0f, rate));
    analysisLength = WindowForRate(rate, quality);
    maxRunLength = DurationInSamples(rate, maxRunSeconds);
    latency = lookAhead = analysisLength / 2 + maxRunLength;
    repair.Setup(channels, rate, maxFrames, order, analysisLength, maxRunLength);
}

void Declip::Reset() {
    repair.Reset();
}

void Declip::Process(float* const* input, int frames, float* const* output) {
    if (output == nullptr) output = input;
    const int silent = repair.Append(input, frames, output);
    if (repair.BlockFrames() == 0) return;

    repair.hop = AnalysisHop(quality, analysisLength);
    for (int c = 0; c < channelCount; ++c)
        RepairChannel(c, output[c] + silent);
    repair.Advance();
}

void Declip::RepairChannel(int channel, float* output) {
    float* x = repair.ChannelWithCarry(channel);
    FindRuns(x + repair.History(), repair.CarryCount(channel), DbToAmplitude(clipLevel));
    if (repair.stretchesInBlock > 0) RebuildRuns(x, channel, quality > 0.45f ? 3 : 2);
    repair.WriteOutputAndCarry(channel, x, output, DbToAmplitude(outputGainDb));
}

// Runs are maximal stretches at or above clipAmp, longer ones cut to maxRunLength; the
// search runs over the output block and the look-ahead, in block positions (0 = first
// sample output now), and stores queue positions.
void Declip::FindRuns(const float* block, int firstPosition, float clipAmp) {
    const int blockFrames = repair.BlockFrames();
    const int available = blockFrames + lookAhead;
    const int history = repair.History();
    repair.stretchCount = 0;
    repair.stretchesInBlock = 0;
    for (int b = firstPosition; b < available - 3; ++b) {
        if (std::abs(block[b]) < clipAmp) continue;
        if (b < blockFrames) repair.stretchesInBlock = repair.stretchCount + 1;
        int e = b + 1;
        while (e < available - 2 && std::abs(block[e]) >= clipAmp)
            ++e;
        repair.starts[repair.stretchCount] = history + b;
        repair.ends[repair.stretchCount] = history + std::min(e, b + maxRunLength);
        ++repair.stretchCount;
        b = e;
    }
}

// Earlier passes also rebuild the runs in the look-ahead, which gives the last pass
// a cleaner context; the last pass stops at the output block. Each pass counts the first
// model window as measured half a window into the queue, so a run that ends within a
// hop of the block's start reuses the model measured last.
void Declip::RebuildRuns(float* x, int channel, int passes) {
    for (int pass = 0; pass < passes; ++pass) {
        const int minOrder =
            pass == 0 ? 4 : RoundDownToEven(ScaleToRate(quality * 100.0f + 10.0f, sampleRate));
        const int runs = pass == passes - 1 ? repair.stretchesInBlock : repair.stretchCount;
        repair.StartPass(repair.History() - analysisLength);
        for (int r = 0; r < runs; ++r)
            repair.Rebuild(x, r, minOrder, repair.PreviousEnd(channel, r));
    }
}
