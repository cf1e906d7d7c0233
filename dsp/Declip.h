#pragma once
// Clip repair: finds runs of samples whose magnitude reaches the clip level and
// rebuilds them by least-squares AR interpolation, so that the rebuilt waveform may
// rise above the clip level. The whole output is scaled by outputGainDb to leave room
// for the rebuilt peaks.
//
// The stage queues its input in a RepairQueue: each output sample is the input sample
// `latency` frames earlier, with half an analysis window of history before it and half a
// window plus the longest run of look-ahead after it. Channels are independent.

#include "dsp/AudioProcessor.h"
#include "dsp/RepairQueue.h"

#include <vector>

class Declip : public DSP::AudioProcessor {
public:
    // Derives the model order, analysis window and longest run from the rate and
    // `quality`, allocates everything and resets.
    void Setup(int channels, int rate, int maxFrames) override;
    // frames must not exceed maxBlockSize; the stage does not grow.
    // Real-time: allocates nothing.
    void Process(float* const* input, int frames, float* const* output) override;
    void Reset() override;
    // See RepairQueue::Listen.
    void Listen(DSP::RepairObserver* observer, int delayBefore, float gainBefore) {
        repair.Listen(observer, DSP::RepairKind::clippedRun, delayBefore, gainBefore);
    }

    // 0 ... 1, read (and clamped) by Setup.
    float quality = 1.0f;
    float clipLevel = -0.1f;
    float maxRunSeconds = 0.02f;
    float outputGainDb = -6.0f;
    int order = 0;
    int analysisLength = 0;
    int maxRunLength = 0;

private:
    void RepairChannel(int channel, float* output);
    void FindRuns(const float* block, int firstPosition, float clipAmp);
    void RebuildRuns(float* x, int channel, int passes);

    DSP::Restoration::RepairQueue repair;
};
