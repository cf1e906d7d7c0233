#pragma once
// Broadband noise reducer. Learns a per-bin noise profile (mean amplitude spectrum in dB)
// from a stretch of noise, then attenuates every short-time spectral bin according to how
// far it stands above that profile, smoothed over time and frequency, limited per bin and
// limited in how fast the attenuation may deepen.
//
// Process reads its new input `lookAhead` frames into the input buffers and writes the
// result at offset 0, so it runs inside a LookAheadStreamer. Every block must be
// maxBlockSize frames long, a multiple of the hop.

#include "dsp/AudioProcessor.h"
#include "dsp/DataTail.h"
#include "dsp/OversampledFilterbank.h"
#include "primitives/RealFFT.h"

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

struct DenoiseKernels;

class Denoise : public DSP::AudioProcessor {
public:
    // One profile row covers the bins of the largest frame size (8192).
    static constexpr int profileBins = 4097;
    static constexpr float defaultProfileDb = -50.0f;
    // Attenuation may deepen by at most hop * 0.5 * releaseBase * (1 + A/30) / rate dB
    // per frame, A being reductionDb.
    static constexpr float releaseBase = 50.0f;
    // Scale of the soft-maximum frequency smoothing (0 switches it off).
    static constexpr float softSmoothing = 1.0f;
    // Weight of the profile-shaped curves against the flat ones.
    static constexpr float profileWeight = 0.5f;

    // Set up for 2 channels at 44100 Hz with the default profile.
    Denoise();

    // Allocates everything Process needs, including the smoothing kernels of the smallest
    // reduction amount.
    void Setup(int channels, int rate, int maxFrames) override;
    // Real-time: allocates nothing; recomputes the curves first when a setting or the
    // profile changed since the last block. frames must not exceed maxBlockSize.
    void Process(float* const* input, int frames, float* const* output) override;
    // Restarts the spectral queues and gain histories; keeps the filter bank and training.
    void Reset() override;

    // Largest attenuation A in dB ("Reduction Amount"), at least 0.
    void SetReductionDb(float db);
    float ReductionDb() const { return reductionDb; }
    // Threshold offset in dB ("Reduction Sensitivity").
    void SetSensitivityDb(float db);
    float SensitivityDb() const { return sensitivityDb; }
    // After noiseProfile was written from outside: the next block recomputes the curves.
    void ProfileChanged() { curvesOutdated = true; }

    // Recomputes the per-bin curves from the profile, reductionDb and sensitivityDb now;
    // Process does it by itself, so only a reader of the curves needs to call it.
    void UpdateCurves();

    void StartTraining();
    // Accumulates the amplitude spectrum of a block of noise; leaves the audio alone.
    void TrainBlock(const float* const* input, int frames);
    // Frames from ... to (inclusive) of the training input, counted from the first frame
    // of the next TrainBlock, held dropouts: no spectral frame that overlaps them counts.
    // Later calls widen the excluded stretch to cover both.
    void ExcludeFromTraining(int from, int to);
    // Turns the accumulated spectra into the profile; a pass of fewer than 8 spectral
    // frames leaves the old profile in place.
    void FinishTraining();

    static int FrameSizeForRate(int rate);
    int FrameSize() const { return frameSize; }
    int Hop() const { return hop; }
    int BinCount() const { return binCount; }
    int FramesPerBlock() const { return framesPerBlock; }

    // Learned noise level per channel and bin, dB.
    std::array<std::vector<float>, 2> noiseProfile;

    DSP::OversampledFilterbank filterbank;
    // Queues of per-bin frames (K values each; spectra hold 2K floats per frame). After a
    // block each holds exactly its tail; the next block's frames are written behind it.
    DSP::DataTail rawGain;        // linear gain estimate, tail 2 frames
    DSP::DataTail spectra;        // analysed spectra, tail 3 frames
    DSP::DataTail smoothedGainDb; // tail 1 frame
    DSP::DataTail finalGainDb;    // gain as applied, tail 1 frame

    // Per channel and bin: R, the largest attenuation allowed; 1.5 R; and O, the offset
    // added to the noise level, all in dB.
    std::vector<std::vector<float>> reductionCurveDb;
    std::vector<std::vector<float>> floorCurveDb;
    std::vector<std::vector<float>> offsetCurveDb;

    // Time history of the training input and the per-bin sum of measured amplitudes.
    DSP::DataTail trainingInput;
    DSP::DataTail trainingSum;
    int trainingFrames = 0;
    // Spectral frames left out for dropouts, and the stretch of the training input, in
    // frames since StartTraining, that they overlap.
    int excludedFrames = 0;
    std::int64_t trainingPosition = 0;
    // An excluded stretch that lies before every frame.
    static constexpr std::int64_t noExclusion = std::numeric_limits<std::int64_t>::min() / 2;
    std::int64_t excludedFrom = noExclusion;
    std::int64_t excludedTo = noExclusion;

private:
    const std::vector<float>& ProfileRow(int channel) const;
    void AllocateQueues();
    void AllocateTraining();
    void UpdateCurves(int channel);

    void ComputeRawGain(int channel);
    void SmoothTimeFrequency(int channel);
    void ComputeEnergyPrefixes(const float* squares);
    template <int frames> void EnergyPrefixes(const float* squares, int first);
    void ComputeSmoothingRatios(const float* gain, const double* prefix, float* ratio);
    void SmoothSoftMaximum(int channel);
    template <int count> void MeasureRoughness(const float* frames, int first);
    void SmoothFrameSoftMaximum(float* frameDb, const float* frameExp, float widthScale,
                                int maxHalf);
    static void WeightedSums(const float* kernel, int half, const float* source, int start, int end,
                             float* sums);
    void AmplitudesToDb(int count, const float* amplitude, float* db) const;
    void DbToAmplitudes(int count, const float* db, float* amplitude);
    void EnsureKernels(int maxHalf);
    void LimitAndRelease(int channel);
    void ApplyGain(int channel);
    bool OverlapsExclusion(std::int64_t frameStart) const;
    void AccumulateAmplitudes(const float* data, std::int64_t firstStart, int frames, float* sum);

    float sensitivityDb = 0.0f;
    float reductionDb = 15.0f;
    // Set by the setters, the end of training and ProfileChanged; cleared by UpdateCurves.
    bool curvesOutdated = false;

    int frameSize = 2048;
    int framesPerBlock = 0;
    int hop = 512;
    int binCount = 1025;

    // Work area of the smoothing stages, (framesPerBlock + 2) frames of K values.
    std::vector<float> scratch;
    // One frame of K values for the level conversions and the soft maximum's sums.
    std::vector<float> levels;
    // Per bin: the lower reduction allowed at low frequencies, dB.
    std::vector<float> tilt;
    // Per channel and bin, derived from the curves: the magnitude above which a bin counts
    // as signal, the noise magnitude and the floor gain.
    std::vector<std::vector<float>> gateMagnitude;
    std::vector<std::vector<float>> noiseMagnitude;
    std::vector<std::vector<float>> floorGain;
    // First bin of each width of the time-frequency smoothing, then K.
    std::vector<int> smoothingBandStart;
    // Per frame of the block, the running sum over the bins of the 3-frame energy, K + 1
    // values from 0.
    std::vector<double> energyPrefix;
    // Per frame of the block, the roughness that widens the soft maximum.
    std::vector<float> roughness;
    // Per bin, 0 ... 5 by frequency: how widely the soft maximum may smooth.
    std::vector<int> bandFactor;
    // Normalised Gaussian smoothing kernels indexed by half width.
    std::vector<std::vector<float>> kernels;

    // The per-bin loops for the instruction set chosen at Setup.
    const DenoiseKernels* loops = nullptr;

    RealFFT trainingFft;
    std::vector<float> trainingWindow;
    std::vector<float> trainingFrame;
    std::vector<float> trainingSpectrum;
};
