#pragma once
// Clip repair: finds runs of samples whose magnitude reaches the clip level and
// rebuilds them by least-squares AR interpolation, so that the rebuilt waveform may
// rise above the clip level. The whole output is scaled by outputGainDb to leave room
// for the rebuilt peaks.
//
// The stage queues its input itself: each output sample is the input sample `latency`
// frames earlier, with half an analysis window of history before it and half a window
// plus the longest run of look-ahead after it. Channels are independent.

#include "dsp/ARModel.h"
#include "dsp/AudioProcessor.h"
#include "dsp/DataTail.h"
#include "dsp/LSAR.h"

#include <vector>

class Declip : public DSP::AudioProcessor {
public:
    // Derives the model order, analysis window and longest run from the rate and
    // `quality`, allocates everything and resets.
    void Setup(int channels, int rate, int maxFrames) override;
    // frames must not exceed maxBlockSize; the stage does not grow.
    void Process(float* const* input, int frames, float* const* output) override;
    void Reset() override;

    float quality = 1.0f;
    float clipLevel = -0.1f;
    float maxRunSeconds = 0.02f;
    float outputGainDb = -6.0f;
    int order = 0;
    int analysisLength = 0;
    std::vector<float> autocorrelation;
    std::vector<float> coefficients;
    // Runs of the current channel, in block positions (0 = first sample output now).
    // Sized in Setup for the whole search region, see RunCapacity.
    std::vector<int> runStarts;
    std::vector<int> runEnds;
    Autocorrelator autocorrelator;
    DSP::Restoration::LSAR lsar;
    DSP::DataTail inputQueue;
    // Rebuilt samples that lie beyond the last output block, per channel.
    DSP::DataTail carry;
    std::vector<int> carryCount;
    // Per channel: end of the previous block's last run, in this block's positions.
    std::vector<int> lastRunEnd;
    int maxRunLength = 0;

private:
    int RunCapacity() const;
    void RepairChannel(int channel, float* output);
    void FindRuns(const float* block, int firstPosition, float clipAmp);
    void RebuildRuns(float* block, int channel, int passes);
    void RebuildRun(float* block, int run, int minOrder, int previousEnd);
    void WriteOutputAndCarry(int channel, const float* block, float* output);

    std::vector<double> modelWork;
    // State of the block being processed.
    int blockFrames = 0;
    int runCount = 0;
    int runsInBlock = 0;
    int lastAnalysis = 0;
};
