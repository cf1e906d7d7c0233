#pragma once
// The scaffold that the click and clip repairers share; each of them adds only how a
// damaged stretch is found and how the output is scaled.
//
// It queues the input so that every output sample comes with half an analysis window of
// history before it and half a window plus the longest stretch of look-ahead after it,
// keeps per channel the repaired samples that reach beyond the output block (the carry)
// and where the last stretch ended, clamps the AR model order to the undamaged context
// around each stretch and rebuilds the stretch by least-squares AR interpolation.
//
// Positions are queue positions: 0 is the oldest history sample, History() the first
// sample of the output block. Channels are independent and handled one after the other.
// Real-time: after Setup, nothing here allocates.

#include <cstdint>
#include <vector>

#include "dsp/ARModel.h"
#include "dsp/DataTail.h"
#include "dsp/LSAR.h"
#include "dsp/RepairObserver.h"

namespace DSP::Restoration {

class RepairQueue {
public:
    // Sizes everything for blocks of up to maxFrames frames, models of up to `order`
    // measured over analysisLength samples and stretches of up to maxStretch samples;
    // clears the queue.
    void Setup(int channels, int rate, int maxFrames, int order, int analysisLength,
               int maxStretch);
    void Reset();

    // Tells `observer` (null: no one) of every stretch when it is first rebuilt, as
    // repairs of `kind`, in the frames and at the level of the stream the first stage
    // received: the stages ahead of this one delay it by `delayBefore` and scale it by
    // `gainBefore`. Never changes output.
    void Listen(RepairObserver* observer, RepairKind kind, int delayBefore, float gainBefore);

    // Queues a block and zeroes the output frames that are still start-up silence
    // (history and look-ahead not yet filled); returns their number. BlockFrames() is what
    // the block adds to the output after them.
    int Append(const float* const* input, int frames, float* const* output);
    // The queue of a channel with the samples repaired in the previous block put back.
    float* ChannelWithCarry(int channel);
    // Drops the frames of the output block once every channel is done.
    void Advance();

    int History() const { return analysisLength / 2; }
    int BlockFrames() const { return blockFrames; }
    // History, the output block and the look-ahead.
    int QueueLength() const { return History() + blockFrames + lookAhead; }
    int CarryCount(int channel) const { return carryCount[std::size_t(channel)]; }

    // Measures the autocorrelation of the segment at `segment` when it has moved more than
    // `hop` from the last one and still fits in the queue; returns whether it did.
    bool UpdateAnalysis(const float* x, int segment);
    // The model of each pass is measured afresh once its first segment lies beyond
    // `lastSegment` + hop.
    void StartPass(int lastSegment) { lastAnalysis = lastSegment; }
    int LastAnalysis() const { return lastAnalysis; }

    // Rebuilds stretch `index` from a model of at most `order` fitted near its end, of at
    // least minOrder where the context allows, with previousEnd the end of the stretch
    // before it.
    void Rebuild(float* x, int index, int minOrder, int previousEnd);
    // The end of the stretch before `index`, this block's or the previous block's.
    int PreviousEnd(int channel, int index) const;
    // Writes the output block scaled by gain (the carried samples where there are any) and
    // carries the repaired samples of the last stretch that reach beyond it.
    void WriteOutputAndCarry(int channel, const float* x, float* output, float gain);

    // Stretches of the current channel: first damaged position and one past the last,
    // sized in Setup for the whole search region; `stretchesInBlock` of them begin in the
    // output block.
    std::vector<int> starts;
    std::vector<int> ends;
    int stretchCount = 0;
    int stretchesInBlock = 0;

    int order = 0;
    int analysisLength = 0;
    int lookAhead = 0;
    // How far a segment must move before it is measured again.
    float hop = 0.0f;
    std::vector<float> autocorrelation;
    std::vector<float> coefficients;
    std::vector<double> modelWork;

private:
    void Report(const float* x, int start, int end);

    Autocorrelator autocorrelator;
    LSAR lsar;
    DataTail inputQueue;
    DataTail carry;
    std::vector<int> carryCount;
    // Per channel: end of the previous block's last stretch, in this block's positions.
    std::vector<int> lastEnd;
    int blockFrames = 0;
    int lastAnalysis = 0;

    RepairObserver* observer = nullptr;
    RepairKind repairKind = RepairKind::click;
    int delayBefore = 0;
    float gainBefore = 1.0f;
    int currentChannel = 0;
    // Frames queued since the last reset, and per channel the end of the last stretch
    // reported (a stretch rebuilt in the look-ahead may be found again a block later).
    std::int64_t framesQueued = 0;
    std::vector<std::int64_t> reportedEnd;
};

} // namespace DSP::Restoration
