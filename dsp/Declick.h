#pragma once
// Click removal: compares, sample by sample, the AR prediction error of the signal
// with a smoothed measure of that error; a run of samples that stands out by more than
// the detection level is a click. Each click's edges are refined and the click is
// rebuilt by least-squares AR interpolation from a model of the signal around it.
//
// The stage queues its input itself: each output sample is the input sample `latency`
// frames earlier, with half an analysis window of history before it and half a window
// plus the longest click of look-ahead after it. Channels are independent.

#include "dsp/ARModel.h"
#include "dsp/AudioProcessor.h"
#include "dsp/DataTail.h"
#include "dsp/LSAR.h"

#include <vector>

class Declick : public DSP::AudioProcessor {
public:
    // Derives the model order, analysis window and longest click from the rate,
    // `quality` and `timeUnitMs`, allocates everything and resets.
    void Setup(int channels, int rate, int maxFrames) override;
    // frames must not exceed maxBlockSize; the stage does not grow.
    void Process(float* const* input, int frames, float* const* output) override;
    void Reset() override;

    float quality = 0.0f;
    float detectionLevel = -10.0f;
    float timeUnitMs = 1.0f;
    float maxClickSeconds = 0.02f;
    int framesProcessed = 0;
    int order = 0;
    int analysisLength = 0;
    std::vector<float> autocorrelation;
    std::vector<float> coefficients;
    // Clicks of the current channel in queue positions: first damaged sample and one
    // past the last. Sized in Setup for the whole scan region, see ClickCapacity.
    std::vector<int> clickStarts;
    std::vector<int> clickEnds;
    // Per channel: end of the previous block's last click, in this block's positions.
    std::vector<int> lastClickEnd;
    Autocorrelator autocorrelator;
    DSP::Restoration::LSAR lsar;
    DSP::DataTail inputQueue;
    // Repaired samples that lie beyond the last output block, per channel.
    DSP::DataTail carry;
    // Per queue position of the current channel.
    std::vector<float> envelope;
    std::vector<float> forwardError;
    std::vector<float> backwardError;
    std::vector<float> ratio;
    std::vector<int> carryCount;
    int maxClickLength = 0;

private:
    int ClickCapacity() const;
    void RepairChannel(int channel, float* output);

    void ComputeDetectionStatistic(const float* x);
    bool UpdateAnalysis(const float* x, int segment);
    int NextAnalysisPosition(int position) const;
    void PredictionErrors(const float* x, int begin, int end, int modelOrder);
    void SmoothRatio();

    void FindClicks(int firstPosition, float threshold);
    bool QuietFrom(int position, float threshold, float span) const;
    void RefineEdges(int firstPosition);
    int RefinedStart(int click) const;
    int RefinedEnd(int click, int newStart) const;
    float ErrorAt(const std::vector<float>& error, int position) const;
    float MeanAbsError(const std::vector<float>& error, int from, int count) const;

    void RepairClicks(float* x, int channel, int passes);
    void RepairClick(float* x, int click, int minOrder, int previousEnd);
    void WriteOutputAndCarry(int channel, const float* x, float* output);

    std::vector<double> modelWork;
    // State of the block being processed.
    int blockFrames = 0;
    int queueLength = 0;
    int detectionOrder = 0;
    float samplesPerUnit = 0.0f;
    float analysisHop = 0.0f;
    int lastAnalysis = 0;
    int clickCount = 0;
    int clicksInBlock = 0;
};
