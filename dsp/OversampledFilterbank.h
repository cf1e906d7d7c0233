#pragma once
// Windowed real-FFT analysis with overlapping frames and the matching overlap-add
// synthesis. Unchanged spectra give back the input delayed by windowLength - hop frames.
//
// Spectra are stored in the packed CCS layout of RealFFT: frameSize + 2 floats per frame
// and channel, successive frames back to back.

#include "dsp/AudioProcessor.h"
#include "dsp/DataTail.h"
#include "primitives/RealFFT.h"

#include <vector>

namespace DSP {

class OversampledFilterbank : public AudioProcessor {
public:
    // Selects the Hann window instead of the Kaiser-Bessel-derived one.
    static constexpr float hannWindow = -1.0f;

    // Re-creates the per-channel history and band edges once configured; ends in Reset.
    void Setup(int channels, int rate, int maxFrames) override;
    // The work is done by Analyze and Synthesize.
    void Process(float* const*, int, float* const*) override {}
    // Silences the input history and the pending overlap.
    void Reset() override;

    // windowParameter >= 0 is the alpha of a Kaiser-Bessel-derived window, negative values
    // select Hann; windowLength -1 means frameSize (shorter windows are zero-padded).
    void Configure(int frameSize, int hop, float windowParameter, int windowLength = -1);

    // Writes frames / hop spectra per channel, starting at spectra[c] + spectrumOffset.
    void Analyze(const float* const* input, int frames, float* const* spectra, int inputOffset,
                 int spectrumOffset);
    // Overlap-adds frames / hop spectra into frames output frames per channel.
    void Synthesize(float* const* output, int frames, const float* const* spectra, int outputOffset,
                    int spectrumOffset);

    int FrameSize() const { return frameSize; }
    int Hop() const { return hop; }
    int BinCount() const { return frameSize / 2 + 1; }

    // Frequency band of each bin in Hz: one bin wide around k * sampleRate / frameSize,
    // clipped to 0 and half the sample rate at the ends.
    std::vector<float> bandLow;
    std::vector<float> bandHigh;
    std::vector<float> analysisWindow;
    std::vector<float> synthesisWindow;
    // The last `overlap` input frames of every channel.
    DataTail inputHistory;
    // Output of earlier frames that falls after the end of the last block.
    DataTail overlapAccumulator;

private:
    void AllocateChannelState();
    void DesignWindows(float windowParameter);
    void AnalyzeChannel(const float* input, float* history, float* spectra, int frames);
    void SynthesizeChannel(float* output, float* accumulator, const float* spectra, int frames);

    int frameSize = 0;
    int windowLength = 0;
    int hop = 0;
    int overlap = 0;
    RealFFT fft;
    std::vector<float> frameBuffer;
};

} // namespace DSP
