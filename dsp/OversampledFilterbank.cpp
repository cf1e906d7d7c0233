#include "dsp/OversampledFilterbank.h"

#include "dsp/KaiserWindow.h"
#include "primitives/Vec.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace DSP {

void OversampledFilterbank::Setup(int channels, int rate, int maxFrames) {
    AudioProcessor::Setup(channels, rate, maxFrames);
    if (overlap != 0) AllocateChannelState();
    Reset();
}

void OversampledFilterbank::Reset() {
    for (DataTail* buffer : {&inputHistory, &overlapAccumulator}) {
        for (float* channel : buffer->buffers)
            VecZero(overlap, channel);
    }
}

void OversampledFilterbank::Configure(int size, int hopSize, float windowParameter, int length) {
    frameSize = size;
    hop = hopSize;
    windowLength = length == -1 ? size : length;
    overlap = windowLength - hop;
    fft.Init(frameSize);
    frameBuffer.assign(frameSize, 0.0f);
    if (channelCount != 0) AllocateChannelState();
    DesignWindows(windowParameter);
    latency = overlap;
}

void OversampledFilterbank::AllocateChannelState() {
    inputHistory.Setup(channelCount, 0, overlap);
    overlapAccumulator.Setup(channelCount, 0, overlap);
    const int bins = BinCount();
    bandLow.resize(bins);
    bandHigh.resize(bins);
    const double binWidth = double(sampleRate) / frameSize;
    for (int k = 0; k < bins; ++k) {
        bandLow[k] = float((k - 0.5) * binWidth);
        bandHigh[k] = float((k + 0.5) * binWidth);
    }
    bandLow[0] = 0.0f;
    bandHigh[bins - 1] = 0.5f * float(sampleRate);
}

void OversampledFilterbank::DesignWindows(float windowParameter) {
    const int length = windowLength;
    std::vector<double> window;
    if (windowParameter >= 0.0f) {
        window = KaiserBesselDerivedWindow(length, windowParameter);
    } else {
        window.resize(length);
        for (int k = 0; k < length; ++k)
            window[k] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (k + 0.5) / length);
    }
    analysisWindow.assign(window.begin(), window.end());
    synthesisWindow = analysisWindow;

    // Scale the pair so that the overlapping products of all frames sum to one.
    double productSum = 0.0;
    for (int k = 0; k < length; ++k)
        productSum += double(analysisWindow[k]) * synthesisWindow[k];
    VecMulC(length, analysisWindow.data(), float(length / productSum * 0.5));
    VecMulC(length, synthesisWindow.data(), float(hop / (0.5 * length)));
}

void OversampledFilterbank::Analyze(const float* const* input, int frames, float* const* spectra,
                                    int inputOffset, int spectrumOffset) {
    if (frames <= 0) return;
    for (int c = 0; c < channelCount; ++c) {
        AnalyzeChannel(input[c] + inputOffset, inputHistory.buffers[c], spectra[c] + spectrumOffset,
                       frames);
    }
}

void OversampledFilterbank::AnalyzeChannel(const float* input, float* history, float* spectra,
                                           int frames) {
    const int L = windowLength;
    const float* window = analysisWindow.data();
    float* frame = frameBuffer.data();
    for (int f = 0; f < frames / hop; ++f) {
        // The frame ends at block position (f + 1) * hop - 1; its first h samples are history.
        const int end = (f + 1) * hop;
        const int h = std::max(0, L - end);
        VecMul(h, history + overlap - h, window, frame);
        VecMul(L - h, input + end - L + h, window + h, frame + h);
        VecZero(frameSize - L, frame + L);
        fft.Forward(frame, spectra + (frameSize + 2) * f);
    }
    // Keep the last `overlap` frames of the old history followed by the block.
    const int keep = std::max(0, overlap - frames);
    if (keep > 0) VecMove(keep, history + frames, history);
    VecCopy(overlap - keep, input + frames - (overlap - keep), history + keep);
}

void OversampledFilterbank::Synthesize(float* const* output, int frames,
                                       const float* const* spectra, int outputOffset,
                                       int spectrumOffset) {
    if (frames <= 0) return;
    for (int c = 0; c < channelCount; ++c) {
        SynthesizeChannel(output[c] + outputOffset, overlapAccumulator.buffers[c],
                          spectra[c] + spectrumOffset, frames);
    }
}

void OversampledFilterbank::SynthesizeChannel(float* output, float* accumulator,
                                              const float* spectra, int frames) {
    const int L = windowLength;
    const float* window = synthesisWindow.data();
    float* frame = frameBuffer.data();

    // The pending overlap of earlier frames comes first; it moves up by the block length.
    const int first = std::min(frames, overlap);
    VecCopy(first, accumulator, output);
    VecZero(frames - first, output + first);
    if (overlap > frames) VecMove(overlap - frames, accumulator + frames, accumulator);
    VecZero(first, accumulator + overlap - first);

    for (int f = 0; f < frames / hop; ++f) {
        fft.Inverse(spectra + (frameSize + 2) * f, frame);
        const int position = hop * f;
        const int count = std::min(L, frames - position);
        VecAddProduct(count, frame, window, output + position);
        VecAddProduct(L - count, frame + count, window + count, accumulator);
    }
}

} // namespace DSP
