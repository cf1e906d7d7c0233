// Training of the noise reducer: the mean one-sided amplitude spectrum of a stretch of noise,
// measured with Kaiser-windowed frames at a hop of an eighth of the frame size.

#include "dsp/Decibels.h"
#include "dsp/Denoise.h"
#include "dsp/KaiserWindow.h"
#include "primitives/Vec.h"

#include <algorithm>
#include <cmath>

namespace {

// The first frames after StartTraining overlap the silent history and are not counted.
constexpr int skippedTrainingFrames = 7;
constexpr double trainingWindowBeta = 8.0;

} // namespace

void Denoise::AllocateTraining() {
    const int tail = frameSize - frameSize / 8;
    if (trainingInput.channelCount != channelCount || trainingInput.sampleRate != sampleRate ||
        trainingInput.maxBlockSize != maxBlockSize || trainingInput.tailLength != tail) {
        trainingInput.Allocate(channelCount, sampleRate, maxBlockSize, tail, true);
    }
    if (trainingSum.channelCount != channelCount || trainingSum.sampleRate != sampleRate ||
        trainingSum.maxBlockSize != binCount) {
        trainingSum.Allocate(channelCount, sampleRate, binCount, 0, true);
    }
    if (trainingFft.Size() == frameSize) return;
    trainingFft.Init(frameSize);
    // Scaled to a mean of 1, so a sinusoid of amplitude a at a bin centre reads a * N.
    const std::vector<double> window = DSP::KaiserWindow(frameSize, trainingWindowBeta);
    double sum = 0.0;
    for (double w : window)
        sum += w;
    trainingWindow.resize(frameSize);
    for (int i = 0; i < frameSize; ++i)
        trainingWindow[i] = float(window[i] * frameSize / sum);
    trainingFrame.resize(frameSize);
    trainingSpectrum.resize(frameSize + 2);
}

void Denoise::StartTraining() {
    trainingInput.Reset();
    trainingSum.Reset();
    trainingFrames = 0;
    excludedFrames = 0;
    trainingPosition = 0;
    excludedFrom = noExclusion;
    excludedTo = noExclusion;
}

void Denoise::ExcludeFromTraining(int from, int to) {
    const std::int64_t first = trainingPosition + from;
    const std::int64_t last = trainingPosition + to;
    // A stretch that every frame still to come starts after is replaced, not widened.
    if (excludedTo < trainingPosition - frameSize) {
        excludedFrom = first;
        excludedTo = last;
        return;
    }
    excludedFrom = std::min(excludedFrom, first);
    excludedTo = std::max(excludedTo, last);
}

bool Denoise::OverlapsExclusion(std::int64_t frameStart) const {
    return frameStart <= excludedTo && frameStart + frameSize > excludedFrom;
}

void Denoise::TrainBlock(const float* const* input, int frames) {
    const int trainingHop = frameSize / 8;
    trainingInput.Append(input, frames, 0);
    const int newFrames = frames / trainingHop;
    const int count = trainingFrames >= skippedTrainingFrames
                          ? newFrames
                          : trainingFrames + newFrames - skippedTrainingFrames;
    if (count > 0) {
        const int span = (count - 1) * trainingHop + frameSize;
        const std::int64_t firstStart = trainingPosition + frames - span;
        for (int c = 0; c < channelCount; ++c) {
            const float* newest = trainingInput.buffers[c] + trainingInput.fillCount - span;
            AccumulateAmplitudes(newest, firstStart, count, trainingSum.buffers[c]);
        }
        for (int f = 0; f < count; ++f)
            excludedFrames += OverlapsExclusion(firstStart + f * trainingHop) ? 1 : 0;
    }
    trainingFrames += newFrames;
    trainingPosition += frames;
    trainingInput.AdvanceKeepingTail(frames);
}

// Adds the one-sided amplitude spectra of `frames` frames starting every N/8 samples,
// the first at firstStart of the training input, except those that overlap dropouts.
void Denoise::AccumulateAmplitudes(const float* data, std::int64_t firstStart, int frames,
                                   float* sum) {
    const int N = frameSize;
    const float* spectrum = trainingSpectrum.data();
    for (int f = 0; f < frames; ++f) {
        if (OverlapsExclusion(firstStart + f * (N / 8))) continue;
        VecMul(N, data + f * (N / 8), trainingWindow.data(), trainingFrame.data());
        trainingFft.Forward(trainingFrame.data(), trainingSpectrum.data());
        sum[0] += std::fabs(spectrum[0]);
        for (int k = 1; k < N / 2; ++k)
            sum[k] += 2.0f * std::sqrt(spectrum[2 * k] * spectrum[2 * k] +
                                       spectrum[2 * k + 1] * spectrum[2 * k + 1]);
        sum[N / 2] += std::fabs(spectrum[N]);
    }
}

void Denoise::FinishTraining() {
    const int measured = trainingFrames - skippedTrainingFrames - excludedFrames;
    if (measured < 1) return;
    for (int c = 0; c < std::min<int>(channelCount, noiseProfile.size()); ++c) {
        for (int k = 0; k < binCount; ++k) {
            noiseProfile[c][k] = DSP::AmplitudeToDb(trainingSum.buffers[c][k] / float(measured));
        }
    }
    curvesOutdated = true;
}
