#include "dsp/Declick.h"

#include "dsp/RepairSupport.h"
#include "primitives/Vec.h"

#include <algorithm>
#include <cmath>

using namespace DSP::Restoration;

void Declick::Setup(int channels, int rate, int maxFrames) {
    AudioProcessor::Setup(channels, rate, maxFrames);
    quality = std::clamp(quality, 0.0f, 1.0f);
    order = RoundUpToEven(ScaleToRate(quality * 280.0f + 20.0f, rate));
    analysisLength = timeUnitMs > 0.5f ? 8192 : 4096;
    if (rate < 15000)
        analysisLength /= 4;
    else if (rate < 30000)
        analysisLength /= 2;
    maxClickLength = DurationInSamples(rate, maxClickSeconds);
    latency = lookAhead = analysisLength / 2 + maxClickLength;

    const int positions = maxFrames + maxClickLength + analysisLength;
    detection.resize(channels);
    for (Detection& d : detection) {
        for (std::vector<float>* values : {&d.envelope, &d.forwardError, &d.backwardError, &d.ratio})
            values->assign(positions, 0.0f);
    }
    repair.Setup(channels, rate, maxFrames, order, analysisLength, maxClickLength);
    for (Detection& d : detection)
        d.autocorrelation.assign(repair.autocorrelation.size(), 0.0f);
    predictionTaps.assign(order + 1, 0.0f);
    Reset();
}

void Declick::Reset() {
    repair.Reset();
    framesProcessed = 0;
}

void Declick::Process(float* const* input, int frames, float* const* output) {
    if (output == nullptr) output = input;
    const int silent = repair.Append(input, frames, output);
    const int blockFrames = repair.BlockFrames();
    if (blockFrames == 0) return;

    framesProcessed += blockFrames;
    queueLength = repair.QueueLength();
    samplesPerUnit = static_cast<float>(sampleRate) * timeUnitMs * 0.001f;
    repair.hop = AnalysisHop(quality, analysisLength);
    detectionOrder = std::min(RoundDownToEven(static_cast<int>(15.0f * quality + 5.0f)), order);
    for (int c = 0; c < channelCount; ++c) {
        ComputeDetectionStatistic(repair.ChannelWithCarry(c), detection[c]);
        VecCopy(int(repair.autocorrelation.size()), repair.autocorrelation.data(),
                detection[c].autocorrelation.data());
    }
    SmoothRatios();
    for (int c = 0; c < channelCount; ++c)
        RepairChannel(c, output[c] + silent);
    repair.Advance();
}

// The first position the click search looks at: the block, after the samples carried
// from the previous one.
int Declick::FirstPosition(int channel) const {
    return repair.History() + repair.CarryCount(channel);
}

void Declick::RepairChannel(int channel, float* output) {
    float* x = repair.ChannelWithCarry(channel);
    current = &detection[channel];
    VecCopy(int(current->autocorrelation.size()), current->autocorrelation.data(),
            repair.autocorrelation.data());
    const int history = repair.History();
    const int firstPosition = FirstPosition(channel);
    FindClicks(firstPosition, DbToAmplitude(detectionLevel));
    RefineEdges(firstPosition);
    repair.stretchesInBlock = static_cast<int>(
        std::lower_bound(repair.starts.begin(), repair.starts.begin() + repair.stretchCount,
                         history + repair.BlockFrames()) -
        repair.starts.begin());
    if (repair.stretchesInBlock > 0) RepairClicks(x, channel, quality >= 0.1f ? 2 : 1);
    repair.WriteOutputAndCarry(channel, x, output, 1.0f);
}

// Forward and backward prediction errors of a low-order model and their mean
// magnitude, at every position with a full model context on both sides. The model only
// changes when the analysis segment moves, so the positions are processed in stretches
// that share one model.
void Declick::ComputeDetectionStatistic(const float* x, Detection& detected) {
    const int d = detectionOrder;
    const int end = queueLength - d;
    const int fallbackOrder = std::min(4, d);
    int modelOrder = d;
    repair.StartPass(-analysisLength);
    for (int n = d; n < end;) {
        if (repair.UpdateAnalysis(x, std::max(0, n - analysisLength / 2)) || n == d)
            modelOrder = FitModel(d, fallbackOrder, repair.autocorrelation.data(),
                                  repair.coefficients.data(), repair.modelWork);
        const int next = std::min(end, NextAnalysisPosition(n));
        PredictionErrors(x, n, next, modelOrder, detected);
        n = next;
    }
}

// The first position after `position` at which UpdateAnalysis would measure again, or
// the queue length when no further segment fits.
int Declick::NextAnalysisPosition(int position) const {
    const float due = static_cast<float>(repair.LastAnalysis()) + repair.hop;
    const int segment = std::max(0, static_cast<int>(std::floor(due)) + 1);
    if (segment + analysisLength >= queueLength) return queueLength;
    return std::max(position + 1, segment > 0 ? segment + analysisLength / 2 : 0);
}

void Declick::PredictionErrors(const float* x, int begin, int end, int modelOrder,
                               Detection& d) {
    float* forward = d.forwardError.data();
    float* backward = d.backwardError.data();
    const float* a = repair.coefficients.data();
    // The error filter 1, -a1, ..., -ap run forwards and backwards: each sum adds x[n] and
    // then -aj times the j-th neighbour, as a copy and one scaled addition per tap would.
    float* taps = predictionTaps.data();
    taps[0] = 1.0f;
    for (int j = 1; j <= modelOrder; ++j)
        taps[j] = -a[j];
    const int count = end - begin;
    VecConvolve(count, x + begin, taps, forward + begin, modelOrder + 1);
    VecCorrelate(count, x + begin, taps, backward + begin, modelOrder + 1);
    for (int n = begin; n < end; ++n)
        d.envelope[n] = std::fabs(0.5f * (forward[n] + backward[n]));
}

// Ratio of each position's error to an exponentially smoothed error, smoothed from the
// end of the queue backwards; the click search reads it from its first position on only.
// Each step waits for the one before, so two channels share the loop and overlap.
void Declick::SmoothRatios() {
    int c = 0;
    for (; c + 2 <= channelCount; c += 2)
        SmoothRatios<2>(c);
    if (c < channelCount) SmoothRatios<1>(c);
}

template <int count> void Declick::SmoothRatios(int firstChannel) {
    const float alpha = 0.22f / samplesPerUnit;
    const int last = queueLength - detectionOrder - 1;
    int lowest = last + 1;
    const float* envelopes[count];
    float* ratios[count];
    float smoothed[count];
    for (int i = 0; i < count; ++i) {
        Detection& d = detection[std::size_t(firstChannel + i)];
        envelopes[i] = d.envelope.data();
        ratios[i] = d.ratio.data();
        smoothed[i] = envelopes[i][last - analysisLength / 2];
        lowest = std::min(lowest, std::max(FirstPosition(firstChannel + i), detectionOrder));
    }
    for (int n = last; n >= lowest; --n) {
        for (int i = 0; i < count; ++i) {
            const float e = envelopes[i][n];
            smoothed[i] = (1.0f - alpha) * smoothed[i] + alpha * e;
            ratios[i][n] = smoothed[i] <= 0.0f ? 10.0f : 0.05f * e / smoothed[i];
        }
    }
}

// A click opens where the ratio reaches the threshold and closes at the first position
// below it that is followed by a third of a time unit without exceeding it. A click
// that reaches maxClickLength can no longer close and ends the scan unrepaired.
void Declick::FindClicks(int firstPosition, float threshold) {
    // Positions below the first whole number at or past this end are scanned.
    const int scanEnd = static_cast<int>(
        std::ceil(static_cast<float>(queueLength - 3 - order) - samplesPerUnit / 4.0f));
    const float quietSpan = samplesPerUnit / 3.0f;
    const float* ratio = current->ratio.data();
    repair.stretchCount = 0;
    int open = -1;
    for (int n = firstPosition; n < scanEnd; ++n) {
        if (open < 0) {
            n = FirstReaching(ratio, n, scanEnd, threshold);
            if (n < scanEnd) open = n;
            continue;
        }
        if (n - open >= maxClickLength) break;
        if (ratio[n] < threshold && QuietFrom(n, threshold, quietSpan)) {
            repair.starts[repair.stretchCount] = open;
            repair.ends[repair.stretchCount] = n;
            ++repair.stretchCount;
            open = -1;
        }
    }
}

// The first position in [from, to) whose ratio reaches the threshold, or `to`. Most of
// the signal holds no click: whole rows of eight are checked at once, without a branch
// per position.
int Declick::FirstReaching(const float* ratio, int from, int to, float threshold) {
    constexpr int row = 8;
    int n = from;
    for (; n + row <= to; n += row) {
        bool reached = false;
        for (int k = 0; k < row; ++k)
            reached = reached | (ratio[n + k] >= threshold);
        if (reached) break;
    }
    while (n < to && !(ratio[n] >= threshold))
        ++n;
    return n;
}

bool Declick::QuietFrom(int position, float threshold, float span) const {
    const int last = queueLength - detectionOrder - 1;
    for (int k = 0; k < span && position + k <= last; ++k) {
        if (current->ratio[position + k] > threshold) return false;
    }
    return true;
}

// Moves each click's edges to where the prediction error first rises above a level
// between the background error and the error inside the click, then keeps the click
// inside the repairable part of the queue.
void Declick::RefineEdges(int firstPosition) {
    const int lastEnd = queueLength - order;
    for (int c = 0; c < repair.stretchCount; ++c) {
        int start = RefinedStart(c);
        int end = RefinedEnd(c, start);
        if (end <= start) end = start + 1;
        if (end >= lastEnd) end = lastEnd;
        if (start >= end) start = end - 1;
        if (start < firstPosition) start = firstPosition;
        if (start >= end) end = start + 1;
        if (end - start > maxClickLength) end = start + maxClickLength;
        repair.starts[c] = start;
        repair.ends[c] = end;
    }
}

int Declick::RefinedStart(int click) const {
    const int start = repair.starts[click];
    const int length = repair.ends[click] - start;
    const int inside = std::max(length, 2);
    const int reach = static_cast<int>(samplesPerUnit + 0.5f);
    int w = static_cast<int>((length + reach + 1) * 0.5);
    if (click > 0 && repair.ends[click - 1] > start - 3 * w / 2)
        w = 2 * (start - repair.ends[click - 1]) / 3;
    w = std::max(w, 2);
    const float level = 0.1f * MeanAbsError(current->forwardError, start, inside) +
                        0.9f * MeanAbsError(current->forwardError, start - 3 * w / 2, w);
    const int bound = std::min(w, (inside + w) / 2);
    const int from = start - w / 2;
    int k = 0;
    while (k < bound && ErrorAt(current->forwardError, from + k) < level)
        ++k;
    return from + k;
}

int Declick::RefinedEnd(int click, int newStart) const {
    const int oldStart = repair.starts[click];
    const int end = repair.ends[click];
    const int length = end - newStart;
    const int inside = std::max(length, 2);
    const int reach = static_cast<int>(samplesPerUnit + 0.5f);
    int w = static_cast<int>((length + reach + 1) * 0.5);
    if (click + 1 < repair.stretchCount && repair.starts[click + 1] < end + 3 * w / 2)
        w = 2 * (repair.starts[click + 1] - end) / 3;
    w = std::max(w, 2);
    const float level = 0.1f * MeanAbsError(current->backwardError, oldStart, inside) +
                        0.9f * MeanAbsError(current->backwardError, end + 3 * w / 2 - w, w);
    const int bound = std::min(w, (w + inside) / 2);
    const int from = end + w / 2;
    int k = 0;
    while (k < bound && ErrorAt(current->backwardError, from - k) < level)
        ++k;
    return from - k + 1;
}

// Prediction errors exist only where the detector had a full context; elsewhere they
// count as 0, so the result never depends on stale values from earlier blocks.
float Declick::ErrorAt(const std::vector<float>& error, int position) const {
    if (position < detectionOrder || position >= queueLength - detectionOrder) return 0.0f;
    return std::fabs(error[position]);
}

float Declick::MeanAbsError(const std::vector<float>& error, int from, int count) const {
    double sum = 0.0;
    for (int n = from; n < from + count; ++n)
        sum += ErrorAt(error, n);
    return static_cast<float>(sum / count);
}

// Earlier passes also repair the clicks in the look-ahead, which gives the last pass a
// cleaner context; the last pass stops at the clicks that begin in the output block.
void Declick::RepairClicks(float* x, int channel, int passes) {
    for (int pass = 0; pass < passes; ++pass) {
        const int minOrder =
            pass == 0 ? 6 : RoundUpToEven(ScaleToRate(quality * 100.0f + 10.0f, sampleRate));
        const int clicks = pass == passes - 1 ? repair.stretchesInBlock : repair.stretchCount;
        repair.StartPass(-analysisLength);
        for (int c = 0; c < clicks; ++c) {
            if (!StartsTheStream(c)) repair.Rebuild(x, c, minOrder, repair.PreviousEnd(channel, c));
        }
    }
}

// The step from the silent history into the first sample of the stream is no click.
bool Declick::StartsTheStream(int click) const {
    const int streamStart = repair.History() + repair.BlockFrames() - framesProcessed;
    return repair.starts[click] <= streamStart && streamStart <= repair.ends[click];
}
