#pragma once
// Click removal: compares, sample by sample, the AR prediction error of the signal
// with a smoothed measure of that error; a run of samples that stands out by more than
// the detection level is a click. Each click's edges are refined and the click is
// rebuilt by least-squares AR interpolation from a model of the signal around it.
//
// The stage queues its input in a RepairQueue: each output sample is the input sample
// `latency` frames earlier, with half an analysis window of history before it and half a
// window plus the longest click of look-ahead after it. Channels are independent.

#include "dsp/AudioProcessor.h"
#include "dsp/RepairQueue.h"

#include <vector>

class Declick : public DSP::AudioProcessor {
public:
    // Derives the model order, analysis window and longest click from the rate,
    // `quality` and `timeUnitMs`, allocates everything and resets.
    void Setup(int channels, int rate, int maxFrames) override;
    // frames must not exceed maxBlockSize; the stage does not grow.
    // Real-time: allocates nothing.
    void Process(float* const* input, int frames, float* const* output) override;
    void Reset() override;
    // See RepairQueue::Listen.
    void Listen(DSP::RepairObserver* observer, int delayBefore, float gainBefore) {
        repair.Listen(observer, DSP::RepairKind::click, delayBefore, gainBefore);
    }

    // 0 ... 1, read (and clamped) by Setup.
    float quality = 0.0f;
    float detectionLevel = -10.0f;
    float timeUnitMs = 1.0f;
    float maxClickSeconds = 0.02f;
    int framesProcessed = 0;
    int order = 0;
    int analysisLength = 0;
    // Per queue position: the detector's prediction errors, their mean magnitude and its
    // ratio to the smoothed magnitude; and the autocorrelation it measured last, which a
    // repair that cannot measure its own segment falls back on.
    struct Detection {
        std::vector<float> envelope;
        std::vector<float> forwardError;
        std::vector<float> backwardError;
        std::vector<float> ratio;
        std::vector<float> autocorrelation;
    };
    // Per channel.
    std::vector<Detection> detection;
    int maxClickLength = 0;

private:
    void RepairChannel(int channel, float* output);
    int FirstPosition(int channel) const;

    void ComputeDetectionStatistic(const float* x, Detection& detected);
    int NextAnalysisPosition(int position) const;
    void PredictionErrors(const float* x, int begin, int end, int modelOrder, Detection& d);
    void SmoothRatios();
    template <int count> void SmoothRatios(int firstChannel);

    void FindClicks(int firstPosition, float threshold);
    static int FirstReaching(const float* ratio, int from, int to, float threshold);
    bool QuietFrom(int position, float threshold, float span) const;
    void RefineEdges(int firstPosition);
    int RefinedStart(int click) const;
    int RefinedEnd(int click, int newStart) const;
    float ErrorAt(const std::vector<float>& error, int position) const;
    float MeanAbsError(const std::vector<float>& error, int from, int count) const;

    void RepairClicks(float* x, int channel, int passes);
    bool StartsTheStream(int click) const;

    DSP::Restoration::RepairQueue repair;
    // The detector's error filter, up to `order` + 1 taps.
    std::vector<float> predictionTaps;
    // The detection of the channel being repaired.
    const Detection* current = nullptr;
    // State of the block being processed.
    int queueLength = 0;
    int detectionOrder = 0;
    float samplesPerUnit = 0.0f;
};
