#include "dsp/RepairQueue.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "dsp/RepairSupport.h"
#include "primitives/Vec.h"

namespace DSP::Restoration {

namespace {

// The end of "the stretch before" when there was none: far enough back that it never
// limits the model order.
constexpr int noStretch = -1000000;

} // namespace

void RepairQueue::Setup(int channels, int rate, int maxFrames, int modelOrder, int window,
                        int maxStretch) {
    order = modelOrder;
    analysisLength = window;
    lookAhead = window / 2 + maxStretch;
    // Every stretch uses at least two positions of the search region (one that opens it
    // and one that closes it), so no block holds more than half the region.
    const int capacity = (maxFrames + lookAhead + 1) / 2;
    starts.assign(std::size_t(capacity), 0);
    ends.assign(std::size_t(capacity), 0);
    autocorrelation.assign(std::size_t(order + 1), 0.0f);
    coefficients.assign(std::size_t(order + 1), 0.0f);
    modelWork.reserve(2 * std::size_t(order + 1));
    lsar.Reserve(maxStretch, order);
    carryCount.assign(std::size_t(channels), 0);
    lastEnd.assign(std::size_t(channels), noStretch);
    reportedEnd.assign(std::size_t(channels), 0);
    inputQueue.Allocate(channels, rate, maxFrames + lookAhead, History(), true);
    carry.Allocate(channels, rate, maxStretch, 0, true);
    Reset();
    autocorrelator.Configure(analysisLength);
}

void RepairQueue::Reset() {
    inputQueue.Reset();
    std::fill(carryCount.begin(), carryCount.end(), 0);
    std::fill(lastEnd.begin(), lastEnd.end(), noStretch);
    std::fill(reportedEnd.begin(), reportedEnd.end(), 0);
    framesQueued = 0;
}

void RepairQueue::Listen(RepairObserver* listener, RepairKind kind, int delay, float gain) {
    observer = listener;
    repairKind = kind;
    delayBefore = delay;
    gainBefore = gain;
}

int RepairQueue::Append(const float* const* input, int frames, float* const* output) {
    assert(frames <= inputQueue.maxBlockSize - lookAhead);
    inputQueue.Append(input, frames, 0);
    framesQueued += frames;
    const int silent = StartUpFrames(inputQueue.fillCount, frames, History() + lookAhead);
    for (int c = 0; c < inputQueue.channelCount; ++c)
        VecZero(silent, output[c]);
    blockFrames = frames - silent;
    return silent;
}

float* RepairQueue::ChannelWithCarry(int channel) {
    currentChannel = channel;
    float* x = inputQueue.buffers[std::size_t(channel)];
    VecCopy(carryCount[std::size_t(channel)], carry.buffers[std::size_t(channel)], x + History());
    return x;
}

void RepairQueue::Advance() {
    inputQueue.Discard(blockFrames);
}

bool RepairQueue::UpdateAnalysis(const float* x, int segment) {
    if (segment <= lastAnalysis + hop || segment + analysisLength >= QueueLength()) return false;
    autocorrelator.Compute(x + segment, autocorrelation.data(), order, analysisLength);
    lastAnalysis = segment;
    return true;
}

int RepairQueue::PreviousEnd(int channel, int index) const {
    return index > 0 ? ends[std::size_t(index - 1)] : lastEnd[std::size_t(channel)];
}

// The order is what the undamaged context on both sides allows: up to the previous
// stretch before, up to the next one after (but at least minOrder), never reaching out
// of the queue, and even.
void RepairQueue::Rebuild(float* x, int index, int minOrder, int previousEnd) {
    const int start = starts[std::size_t(index)];
    const int end = ends[std::size_t(index)];
    int q = std::min(order, start - previousEnd);
    if (index + 1 < stretchCount && end + q > starts[std::size_t(index + 1)])
        q = starts[std::size_t(index + 1)] - end;
    q = std::max(q, minOrder);
    q = std::min(q, start);
    if (end + q > QueueLength()) q = QueueLength() - end;
    q = RoundDownToEven(std::min(q, order));
    if (q < 2) return;

    // The model is fitted to the window that starts half a window before the stretch's
    // end, damaged samples included.
    UpdateAnalysis(x, std::max(0, end - History()));
    q = FitModel(q, 2, autocorrelation.data(), coefficients.data(), modelWork);
    if (observer != nullptr) Report(x, start, end);
    lsar.Interpolate(x, start, end - start, coefficients.data(), q);
}

// The newest queued frame sits at the queue's last position.
void RepairQueue::Report(const float* x, int start, int end) {
    const std::int64_t first = framesQueued - QueueLength() + start - delayBefore;
    std::int64_t& reported = reportedEnd[std::size_t(currentChannel)];
    if (first < reported) return;
    reported = first + (end - start);
    float peak = 0.0f;
    for (int i = start; i < end; ++i)
        peak = std::max(peak, std::abs(x[i]));
    ReportRepair(observer, {repairKind, currentChannel, first, end - start, peak / gainBefore});
}

void RepairQueue::WriteOutputAndCarry(int channel, const float* x, float* output, float gain) {
    const float* block = x + History();
    float* carried = carry.buffers[std::size_t(channel)];
    int& count = carryCount[std::size_t(channel)];
    for (int i = 0; i < blockFrames; ++i)
        output[i] = gain * (i < count ? carried[i] : block[i]);

    count = std::max(0, count - blockFrames);
    VecMove(count, carried + blockFrames, carried);
    if (stretchesInBlock == 0) {
        lastEnd[std::size_t(channel)] = noStretch;
        return;
    }
    const int end = ends[std::size_t(stretchesInBlock - 1)];
    if (end > History() + blockFrames) {
        count = end - History() - blockFrames;
        VecCopy(count, block + blockFrames, carried);
    }
    lastEnd[std::size_t(channel)] = end - blockFrames;
}

} // namespace DSP::Restoration
