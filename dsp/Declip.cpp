#include "dsp/Declip.h"

#include "dsp/RepairSupport.h"
#include "primitives/Vec.h"

#include <algorithm>

using namespace DSP::Restoration;

namespace {

constexpr int kNoRun = -1000000;

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

    autocorrelation.assign(order + 1, 0.0f);
    coefficients.assign(order + 1, 0.0f);
    runStarts.assign(RunCapacity(), 0);
    runEnds.assign(RunCapacity(), 0);
    carryCount.assign(channels, 0);
    lastRunEnd.assign(channels, kNoRun);
    inputQueue.Allocate(channels, rate, maxFrames + maxRunLength + analysisLength / 2,
                        analysisLength / 2, true);
    carry.Allocate(channels, rate, maxRunLength, 0, true);
    Reset();
    autocorrelator.Configure(analysisLength);
}

// The search covers at most maxBlockSize + lookAhead positions, and every run uses at
// least two of them: its first sample and the unclipped sample that ends it (the
// search resumes after that one). So no block can hold more runs than half the region.
int Declip::RunCapacity() const {
    return (maxBlockSize + lookAhead + 1) / 2;
}

void Declip::Reset() {
    inputQueue.Reset();
    std::fill(carryCount.begin(), carryCount.end(), 0);
    std::fill(lastRunEnd.begin(), lastRunEnd.end(), kNoRun);
}

void Declip::Process(float* const* input, int frames, float* const* output) {
    if (output == nullptr) output = input;
    inputQueue.Append(input, frames, 0);
    const int silent = StartUpFrames(inputQueue.fillCount, frames, analysisLength / 2 + lookAhead);
    for (int c = 0; c < channelCount; ++c)
        VecZero(silent, output[c]);
    blockFrames = frames - silent;
    if (blockFrames == 0) return;

    quality = std::clamp(quality, 0.0f, 1.0f);
    for (int c = 0; c < channelCount; ++c)
        RepairChannel(c, output[c] + silent);
    inputQueue.Discard(blockFrames);
}

void Declip::RepairChannel(int channel, float* output) {
    float* block = inputQueue.buffers[channel] + analysisLength / 2;
    VecCopy(carryCount[channel], carry.buffers[channel], block);
    FindRuns(block, carryCount[channel], DbToAmplitude(clipLevel));
    if (runsInBlock > 0) RebuildRuns(block, channel, quality > 0.45f ? 3 : 2);
    WriteOutputAndCarry(channel, block, output);
}

// Runs are maximal stretches at or above clipAmp, longer ones cut to maxRunLength;
// runsInBlock counts those that begin inside the output block.
void Declip::FindRuns(const float* block, int firstPosition, float clipAmp) {
    const int available = blockFrames + lookAhead;
    runCount = 0;
    runsInBlock = 0;
    for (int b = firstPosition; b < available - 3; ++b) {
        if (std::abs(block[b]) < clipAmp) continue;
        if (b < blockFrames) runsInBlock = runCount + 1;
        int e = b + 1;
        while (e < available - 2 && std::abs(block[e]) >= clipAmp)
            ++e;
        runStarts[runCount] = b;
        runEnds[runCount] = std::min(e, b + maxRunLength);
        ++runCount;
        b = e;
    }
}

// Earlier passes also rebuild the runs in the look-ahead, which gives the last pass
// a cleaner context; the last pass stops at the output block.
void Declip::RebuildRuns(float* block, int channel, int passes) {
    for (int pass = 0; pass < passes; ++pass) {
        const int minOrder =
            pass == 0 ? 4 : RoundDownToEven(ScaleToRate(quality * 100.0f + 10.0f, sampleRate));
        const int runs = pass == passes - 1 ? runsInBlock : runCount;
        lastAnalysis = -analysisLength;
        for (int r = 0; r < runs; ++r)
            RebuildRun(block, r, minOrder, r > 0 ? runEnds[r - 1] : lastRunEnd[channel]);
    }
}

void Declip::RebuildRun(float* block, int run, int minOrder, int previousEnd) {
    const int start = runStarts[run];
    const int end = runEnds[run];
    const int available = blockFrames + lookAhead;
    int q = std::min(order, start - previousEnd);
    if (run + 1 < runCount && end + q > runStarts[run + 1]) q = runStarts[run + 1] - end;
    q = std::max(q, minOrder);
    q = std::min(q, analysisLength / 2 + start);
    if (end + q > available) q = available - end;
    q = RoundDownToEven(std::min(q, order));
    if (q < 2) return;

    // The model is fitted to the window that starts half a window before the run's end,
    // clipped samples included.
    const int segment = end - analysisLength / 2;
    if (segment > lastAnalysis + AnalysisHop(quality, analysisLength) &&
        segment + analysisLength < available) {
        autocorrelator.Compute(block + segment, autocorrelation.data(), order, analysisLength);
        lastAnalysis = segment;
    }
    q = FitModel(q, 2, autocorrelation.data(), coefficients.data(), modelWork);
    lsar.Interpolate(block, start, end - start, coefficients.data(), q);
}

void Declip::WriteOutputAndCarry(int channel, const float* block, float* output) {
    const float gain = DbToAmplitude(outputGainDb);
    float* carried = carry.buffers[channel];
    int& count = carryCount[channel];
    for (int i = 0; i < blockFrames; ++i)
        output[i] = gain * (i < count ? carried[i] : block[i]);

    count = std::max(0, count - blockFrames);
    VecMove(count, carried + blockFrames, carried);
    if (runsInBlock == 0) {
        lastRunEnd[channel] = kNoRun;
        return;
    }
    const int end = runEnds[runsInBlock - 1];
    if (end > blockFrames) {
        count = end - blockFrames;
        VecCopy(count, block + blockFrames, carried);
    }
    lastRunEnd[channel] = end - blockFrames;
}
