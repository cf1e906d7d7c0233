#pragma once
// The restoration stages in their fixed order, free of any host: clip repair, click
// removal, then noise reduction or, while training, learning of the noise profile. It
// can put out only what the stages removed (the input delayed through a dry line, minus
// the processed block), sums the latency of the enabled stages and reads and writes the
// noise profile as bytes. The plug-in component, the command line's analysis, benchmarks
// and other hosts drive it the same way: Setup, then Process per block.
//
// The noise reducer is Denoise (behind its look-ahead streamer), which also learns and owns
// the noise profile. The chain also owns a high-quality reducer (LogAmplitudeDenoise) that a
// host may choose block by block instead (ChainSwitches::highQuality): both are set up by
// Setup and the dry line is sized for the longer of the two, so switching allocates
// nothing. It follows the reduction settings and the profile (loaded or learnt) at the
// next block, and starts from silence each time it is chosen.
//
// Real-time: Process allocates nothing once Setup has run for the channel count and
// block length it is given, and takes no lock; the host serialises all calls.

#include <cstdint>

#include "dsp/AudioProcessor.h"
#include "dsp/DataTail.h"
#include "dsp/Declick.h"
#include "dsp/Declip.h"
#include "dsp/Denoise.h"
#include "dsp/InputGuard.h"
#include "dsp/LogAmplitudeDenoise.h"
#include "dsp/LookAheadStreamer.h"

namespace DSP::Restoration {

// Which stages run on a block; the host reads its parameters into one of these.
struct ChainSwitches {
    bool declip = true;
    bool declick = true;
    bool reduction = true;
    bool training = false;
    bool keepOnlyNoise = false;
    // The high-quality reducer instead of Denoise, and click detection
    // that leaves the attacks of real music alone (see highQualityDetectionMarginDb).
    bool highQuality = false;
};

class RestorationChain {
public:
    // The noise profile: two channels of Denoise::profileBins levels in dB, as floats.
    static constexpr std::uint32_t profileBytes = 2 * Denoise::profileBins * sizeof(float);

    RestorationChain();
    RestorationChain(const RestorationChain&) = delete;
    RestorationChain& operator=(const RestorationChain&) = delete;

    // Sets every stage, both reducers and the dry line up and sizes them for
    // blocks of up to maxFrames frames.
    void Setup(int channels, int rate, int maxFrames);
    void Reset();


    // Tells `observer` (null: no one) of every click and clipped run repaired from now
    // on, at the frame of the chain's input where it began. The audio is the same
    // whether someone listens or not.
    void SetRepairObserver(RepairObserver* listener) { repairObserver = listener; }

    // The chain in place on `channels` planar buffers of `frames` frames (at most the
    // set-up block length). Non-finite and huge samples are first made safe (InputGuard);
    // frames that held a non-finite one are not learnt. A block of another channel count sets the
    // stages up again, which allocates: only a mono/stereo switch does that. Real-time: allocates
    // nothing, takes no lock.
    void Process(float* const* block, int channels, int frames, const ChainSwitches& on);

    // The enabled stages' delays as a host reports them; learning does not count.
    int ReportedLatency(const ChainSwitches& on) const;
    // The delay of the stages that change the signal: what the dry line must match.
    int SignalLatency(const ChainSwitches& on) const;

    // Stage settings that keep their derived state right (see each stage's setter).
    void SetReductionDb(float db);
    void SetSensitivityDb(float db);
    void SetDetectionLevelDb(float db) { detectionLevelDb = db; }
    void StartTraining() { denoise.StartTraining(); }
    // Turns what was heard into the noise profile.
    void FinishTraining();

    const std::array<std::vector<float>, 2>& Profile() const { return denoise.noiseProfile; }
    // profileBytes bytes, little-endian floats, channel by channel.
    void SaveProfile(std::uint8_t* bytes) const;
    void LoadProfile(const std::uint8_t* bytes);
    // The profile of a chain that never learnt one: Denoise::defaultProfileDb everywhere.
    static void SaveDefaultProfile(std::uint8_t* bytes);

    // Declip makes room for the peaks it rebuilds; while only the removed part is put out,
    // unchanged samples must cancel exactly, so the gain is then 0 dB.
    static constexpr float declipHeadroomDb = -6.0f;
    // At the standard detection level, the prediction error of a drum hit or a plucked
    // string stands out like a click's, and rebuilding it dulls the attack: undamaged music
    // loses 25 to 35 dB of SNR. In high quality a click must stand out by this much more;
    // on real music with crackle it then also repairs more, since it spoils fewer attacks.
    static constexpr float highQualityDetectionMarginDb = 4.0f;

private:
    void FeedDryLine(float* const* block, int channels, int frames, int delay);
    void RunStages(float* const* block, int channels, int frames, const ChainSwitches& on,
                   const Dropouts& dropouts);
    void ExcludeFromTraining(const Dropouts& dropouts, const ChainSwitches& on);
    void SubtractDryLine(float* const* block, int channels, int frames);
    void Prepare(AudioProcessor& stage, int channels, int frames);
    // Brings the high-quality reducer's noise model up to date with Denoise's profile
    // and the settings, if they changed since; copies into storage of the same size.
    void UpdateHighQualityNoise();
    AudioProcessor& ReducerFor(const ChainSwitches& on);
    int ReducerLatency(const ChainSwitches& on) const;

    int sampleRate = 44100;
    Declip declip;
    Declick declick;
    Denoise denoise;
    LookAheadStreamer denoiseStreamer{&denoise};
    LogAmplitudeDenoise highQuality;
    bool highQualityNoiseStale = true;
    bool highQualityWasOn = false;
    float detectionLevelDb = -10.0f;
    RepairObserver* repairObserver = nullptr;
    // The input delayed by the signal latency, fed only while keep-only-noise is on.
    DataTail dryLine;
};

} // namespace DSP::Restoration
