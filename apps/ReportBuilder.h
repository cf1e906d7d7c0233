#pragma once
// The report of one restore, built while the audio streams: feed it the input as it is
// read and the output as it is written (the output may lag behind the input by the
// chain's latency; the two are paired frame by frame), let the stages report their
// repairs to Observer(), add the noise profile and the settings, then write the page.
//
// Memory stays bounded whatever the length of the stream, as long as the output is
// fed no later than one latency behind the input: the pictures have a fixed size and
// only the frames waiting for their partner are held.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "apps/RepairLog.h"
#include "apps/RestoreAnalysis.h"

class AtomicOutput;

struct ReportSetup {
    // Heads the page, e.g. the two files' names.
    std::string title;
    std::uint32_t rate = 44100;
    int channels = 2;
    // The input's length; the output has the same.
    std::int64_t frames = 0;
    // The gain in dB the chain puts on its output on purpose (the declipper's headroom).
    // It is applied before the noise reducer, so the learnt profile carries it too; the
    // report undoes it on the output and on the profile to compare them with the input.
    double outputGainDb = 0.0;
    // The stretch of the input the noise was learnt from, when it lies in the input.
    std::optional<FrameRange> noiseStretch;
    // Where the noise was learnt from, in words.
    std::string noiseSource;
    // False when the stages were not listened to (two files restored earlier): the page
    // then says the repairs are unknown rather than showing none.
    bool repairsObserved = true;
};

class ReportBuilder {
public:
    static constexpr int width = 900;
    static constexpr int spectrogramHeight = 240;
    static constexpr int spectrumHeight = 260;
    // The spectrograms' colour scale, in dB relative to a full-scale sine.
    static constexpr float lowestDb = -120.0f;
    static constexpr float highestDb = 0.0f;

    explicit ReportBuilder(const ReportSetup& setup);

    // Planar blocks; `right` is null for mono.
    void AddInput(int frames, const float* left, const float* right);
    void AddOutput(int frames, const float* left, const float* right);

    DSP::RepairObserver& Observer() { return log; }
    const RepairLog& Repairs() const { return log; }
    // The learnt noise profile, one row per channel of per-bin levels in dB at the
    // noise reducer's frame size for this rate (rows may be longer; the rest is unused).
    void SetNoiseProfile(const std::vector<std::vector<float>>& rowsDb);
    // One row of the settings table, in the order added.
    void AddSetting(std::string name, std::string value);
    // Where the noise was learnt from, in words, when it is known only after set-up.
    void SetNoiseSource(std::string words) { setup.noiseSource = std::move(words); }
    // The restore's own time, for its speed in times real time.
    void SetProcessingSeconds(double seconds) { processingSeconds = seconds; }

    // Completes the analysis (the first time) and returns the page.
    std::string Page();
    // Writes the page through a temporary file renamed into place; refuses to replace an
    // existing file unless `replace`.
    void WriteHtml(const std::string& path, bool replace);
    // Writes the page into an output opened before the restore (so that a bad report
    // path fails at once, not after the whole file) and commits it.
    void WriteHtml(AtomicOutput& output);

private:
    void Pair();
    void AddTables(class HtmlPage& page) const;
    void AddRepairList(HtmlPage& page) const;
    void AddTimeline(HtmlPage& page) const;
    void AddSpectrograms(HtmlPage& page) const;
    void AddSpectra(HtmlPage& page) const;
    std::vector<std::vector<std::string>> RepairRows() const;
    std::string Duration(double frames) const;

    ReportSetup setup;
    int noiseFrameSize;
    RepairLog log;
    RestoreAnalysis analysis;
    std::vector<float> profileDb;
    std::vector<std::pair<std::string, std::string>> settings;
    std::optional<double> processingSeconds;
    // Frames read or written that wait for their partner, per channel, after the first
    // `paired` frames of each queue that have found theirs.
    std::vector<float> pendingInput[2], pendingOutput[2];
    std::size_t pairedInput = 0, pairedOutput = 0;
    bool finished = false;
};

// The noise profile held in the last bytes of the plug-in's saved state: one row of
// Denoise::profileBins little-endian floats per channel slot.
std::vector<std::vector<float>> NoiseProfileFromState(const std::vector<std::uint8_t>& state);
