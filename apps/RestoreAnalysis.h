#pragma once
// Everything the report measures on a restore's input and its aligned output, in one
// pass while they stream: spectrograms of the input, the output and what was removed
// (input minus output), long-term spectra in the noise reducer's units, levels over the
// whole file and over the noise-only stretch, and per timeline column the peaks.
//
// The output is compared after undoing the gain the chain applies on purpose (the
// declipper's headroom), so that "removed" holds only what the stages took away; the
// levels are those of the files as written. Sonogram frames overlap by half, so
// every sample lies near the middle of some frame, unless the stream is so short that
// more frames are needed to give every column one. Cost and memory do not depend on the
// stream's length beyond one pass of FFTs.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "apps/LongTermLevels.h"
#include "apps/ReportAxes.h"
#include "apps/Sonogram.h"
#include "primitives/RealFFT.h"

struct FrameRange {
    std::int64_t first;
    std::int64_t last;
};

struct AnalysisSetup {
    std::uint32_t rate = 44100;
    int channels = 2;
    std::int64_t frames = 0;
    // The noise reducer's frame size at this rate (its profile's resolution).
    int noiseFrameSize = 1024;
    // The gain in dB the chain puts on the output on purpose.
    double outputGainDb = 0.0;
    std::optional<FrameRange> noiseStretch;
    int columns = 900;
    int rows = 240;
};

struct LevelPair {
    double inputDb;
    double outputDb;
};

class RestoreAnalysis {
public:
    static constexpr int fftSize = 1024;
    static constexpr double lowestHz = 20.0;

    explicit RestoreAnalysis(const AnalysisSetup& setup);

    // `frames` frames of each channel of the input and of the output aligned with it.
    void Add(int frames, const float* const* input, const float* const* output);
    // Analyses what is still held, padding the end with silence.
    void Finish();

    const AnalysisSetup& Setup() const { return setup; }
    const FrequencyAxis& Axis() const { return axis; }
    const Sonogram& Input() const { return spectrograms[0]; }
    const Sonogram& Output() const { return spectrograms[1]; }
    const Sonogram& Removed() const { return spectrograms[2]; }
    std::vector<float> InputSpectrumDb() const { return longTerm[0].LevelsDb(); }
    std::vector<float> OutputSpectrumDb() const { return longTerm[1].LevelsDb(); }
    // RMS levels in dBFS of the files as written.
    LevelPair WholeLevels() const { return LevelsOf(whole); }
    std::optional<LevelPair> NoiseStretchLevels() const;
    // Per timeline column, the largest magnitude (output level-matched).
    const std::vector<float>& InputPeaks() const { return peaks[0]; }
    const std::vector<float>& OutputPeaks() const { return peaks[1]; }

private:
    struct Energy {
        double input = 0.0, output = 0.0;
        std::int64_t samples = 0;
    };
    // The last samples of one channel of one signal, in a ring of a power-of-two size.
    struct History {
        std::vector<float> ring;
        void Append(const float* samples, int count, std::int64_t position);
        // `count` samples from stream frame `start`; zeros before the stream began.
        void Copy(std::int64_t start, int count, float* to) const;
    };
    static LevelPair LevelsOf(const Energy& energy);

    void AddChunk(int frames, const float* const* input, const float* const* output);
    void Measure(int frames, const float* const* input, const float* const* output);
    void AnalyseReady();
    void AnalyseSpectrogramFrame();
    void AnalyseLongTerm(int signal);
    History& HistoryOf(int signal, int channel) {
        return histories[std::size_t(signal * 2 + channel)];
    }

    AnalysisSetup setup;
    float outputMatch;
    FrequencyAxis axis;
    std::array<Sonogram, 3> spectrograms;
    std::array<LongTermLevels, 2> longTerm;
    std::array<History, 4> histories;
    std::array<std::vector<float>, 2> peaks;
    Energy whole, noise;
    int chunkLimit;
    std::int64_t received = 0;
    std::int64_t hop;
    std::int64_t nextCentre = 0;
    RealFFT fft;
    std::vector<float> window, frame, inSpectrum, outSpectrum;
    std::array<std::vector<float>, 3> power;
    std::vector<float> longFrames;
};
