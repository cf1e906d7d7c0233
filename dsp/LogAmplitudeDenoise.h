#pragma once
// High-quality broadband noise reducer: a short-time minimum mean-square error estimator of
// the log-spectral amplitude (Ephraim and Malah) under signal presence uncertainty. The a
// priori SNR comes in two steps: a decision-directed estimate, refined with the gain it
// implies for the current frame (which removes its one-frame lag at onsets), then smoothed
// over the neighbouring bins and the frames before and after (one frame of look-ahead), which
// steadies it where a single bin's periodogram scatters. Where a bin holds only noise, its
// gain settles on the floor set by "Reduction Amount" rather than on a fluctuating estimate,
// which keeps the residual a quieter copy of the input noise instead of isolated tonal
// residue.
//
// It reads the same learnt profile as Denoise (per channel, dB of the mean amplitude
// spectrum; see NoiseProfileScale) at the frame size Denoise uses for the rate, with the
// same meaning of reductionDb (how far pure noise is turned down) and sensitivityDb.
//
// Process accepts any block length, in place or not, and needs no look-ahead: the output is
// the input delayed by `latency` = one frame plus one hop. Nothing is allocated after Setup.

#include "dsp/AudioProcessor.h"
#include "dsp/NoiseProfileScale.h"
#include "primitives/RealFFT.h"
#include "primitives/VecLogAmplitude.h"

#include <array>
#include <vector>

class LogAmplitudeDenoise : public DSP::AudioProcessor {
public:
    // Weight of the previous frame's estimate in the decision-directed a priori SNR.
    static constexpr float decisionDirectedWeight = 0.9f;

    // Set up for 2 channels at 44100 Hz with Denoise's default profile.
    LogAmplitudeDenoise();

    void Setup(int channels, int rate, int maxFrames) override;
    void Process(float* const* input, int frames, float* const* output) override;
    // Clears the frame history and the estimator's memory; keeps the noise model.
    void Reset() override;

    // Recomputes the per-bin noise powers and the floor from noiseProfile, reductionDb and
    // sensitivityDb; call after changing any of them. Allocates nothing: a host may call it
    // between blocks on the audio thread.
    void UpdateNoise();

    // exp(E1(v) / 2), the log-spectral amplitude gain's correction for v = xi gamma / (1 + xi),
    // from a table; E1 is the exponential integral.
    static float HalfExpIntegralExp(float v);

    int FrameSize() const { return frameSize; }
    int Hop() const { return hop; }

    // Noise level offset in dB ("Reduction Sensitivity", as for Denoise): the estimator assumes
    // noise sensitivityDb / 2 dB louder than learnt.
    float sensitivityDb = 0.0f;
    // How far noise alone is turned down, dB ("Reduction Amount", as for Denoise).
    float reductionDb = 15.0f;
    // Learned noise level per channel and bin, dB, in Denoise's format.
    std::array<std::vector<float>, 2> noiseProfile;

private:
    struct Channel {
        std::vector<float> input;       // the last frameSize input samples
        std::vector<float> accumulator; // overlap-add of the synthesised frames
        std::vector<float> ready;       // hop finished output samples
        std::vector<float> cleanPower;  // the newest frame's decision-directed clean power
        // The refined clean power of the last three frames, oldest first, K values each; the
        // rows rotate rather than move.
        std::array<std::vector<float>, 3> refinedPower;
        // The newest frame's spectrum (CCS) and power per bin, and those of the frame before
        // it, whose gains are computed; the two swap roles after each frame.
        std::vector<float> spectrum;
        std::vector<float> power;
        std::vector<float> delayedSpectrum;
        std::vector<float> delayedPower;
        std::vector<float> presence;     // smoothed a priori SNR per bin, for the presence
        std::vector<float> inverseNoise; // 1 / the expected noise power per bin
    };

    void ProcessFrame(Channel& channel);
    void EstimateCleanPower(Channel& channel);
    void ComputeGains(Channel& channel);
    void SmoothPrioriSnr(Channel& channel);
    void BandPresence(const Channel& channel);
    float* Row(int row) { return work.data() + std::size_t(row) * std::size_t(binCount); }

    int frameSize = 2048;
    int hop = 512;
    int binCount = 1025;
    // Samples of the current hop already taken in (and given out).
    int hopFill = 0;
    // The gain's constants; UpdateNoise sets the floor.
    LogAmplitudeGainSettings gainSettings{};
    // The profile's scale at this frame size, built by Setup.
    DSP::NoiseProfileScale profileScale{2048};
    std::vector<Channel> channels;
    std::vector<float> analysisWindow;
    std::vector<float> synthesisWindow;
    std::vector<float> frame;
    // The delayed frame's gain per bin.
    std::vector<float> gain;
    // Rows of binCount values that ComputeGains passes between its steps (see Row in the
    // source).
    std::vector<float> work;
    RealFFT fft;
};
