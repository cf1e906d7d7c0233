#include "dsp/RestorationChain.h"

#include "dsp/Decibels.h"
#include "dsp/LittleEndian.h"

#include <algorithm>

namespace DSP::Restoration {

RestorationChain::RestorationChain() {
    declip.quality = 0.0f;
    declick.quality = 0.0f;
}

void RestorationChain::Setup(int channels, int rate, int maxFrames) {
    sampleRate = rate;
    denoiseStreamer.Setup(channels, rate, maxFrames);
    highQuality.Setup(channels, rate, maxFrames);
    highQualityNoiseStale = true;
    highQualityWasOn = false;
    declip.Setup(channels, rate, maxFrames);
    declick.Setup(channels, rate, maxFrames);
    const int longestReducer = std::max(denoiseStreamer.latency, highQuality.latency);
    const int longestDelay = declip.latency + declick.latency + longestReducer;
    dryLine.Allocate(channels, rate, maxFrames + longestDelay, 0, true);
}

void RestorationChain::Reset() {
    denoiseStreamer.Reset();
    highQuality.Reset();
    highQualityWasOn = false;
    declip.Reset();
    declick.Reset();
    dryLine.Reset();
}

int RestorationChain::ReducerLatency(const ChainSwitches& on) const {
    return on.highQuality ? highQuality.latency : denoiseStreamer.latency;
}

int RestorationChain::ReportedLatency(const ChainSwitches& on) const {
    return (on.declip ? declip.latency : 0) + (on.declick ? declick.latency : 0) +
           (on.reduction ? ReducerLatency(on) : 0);
}

void RestorationChain::SetReductionDb(float db) {
    denoise.SetReductionDb(db);
    highQuality.reductionDb = db;
    highQualityNoiseStale = true;
}

void RestorationChain::SetSensitivityDb(float db) {
    denoise.SetSensitivityDb(db);
    highQuality.sensitivityDb = db;
    highQualityNoiseStale = true;
}

void RestorationChain::FinishTraining() {
    denoise.FinishTraining();
    highQualityNoiseStale = true;
}

// The reducer a switch of quality hands the stream to starts from silence, so that it
// never puts out what it held from before.
AudioProcessor& RestorationChain::ReducerFor(const ChainSwitches& on) {
    return on.highQuality ? static_cast<AudioProcessor&>(highQuality) : denoiseStreamer;
}

void RestorationChain::UpdateHighQualityNoise() {
    if (!highQualityNoiseStale) return;
    for (std::size_t c = 0; c < highQuality.noiseProfile.size(); ++c) {
        const std::vector<float>& learnt = denoise.noiseProfile[c];
        std::vector<float>& copy = highQuality.noiseProfile[c];
        std::copy_n(learnt.begin(), std::min(learnt.size(), copy.size()), copy.begin());
    }
    highQuality.UpdateNoise();
    highQualityNoiseStale = false;
}

int RestorationChain::SignalLatency(const ChainSwitches& on) const {
    return (on.declip ? declip.latency : 0) + (on.declick ? declick.latency : 0) +
           (on.reduction && !on.training ? ReducerLatency(on) : 0);
}

void RestorationChain::Process(float* const* block, int channels, int frames,
                               const ChainSwitches& on) {
    const Dropouts dropouts = GuardInput(block, channels, frames);
    if (on.highQuality != highQualityWasOn) ReducerFor(on).Reset();
    highQualityWasOn = on.highQuality;
    if (on.keepOnlyNoise) FeedDryLine(block, channels, frames, SignalLatency(on));
    RunStages(block, channels, frames, on, dropouts);
    if (on.keepOnlyNoise) SubtractDryLine(block, channels, frames);
}

// A change of the delay starts the line over with that many frames of silence, in the
// storage sized by Setup.
void RestorationChain::FeedDryLine(float* const* block, int channels, int frames, int delay) {
    if (dryLine.channelCount != channels || dryLine.Capacity() < frames + delay) {
        dryLine.Allocate(channels, sampleRate, frames + delay, delay, true);
    } else if (dryLine.tailLength != delay) {
        dryLine.Restart(delay);
    }
    dryLine.Append(block, frames, 0);
}

// Before a block reaches a stage, the stage is set up for the block's channel count and,
// when the block is longer than the stage was set up for, for its length: Declip and
// Declick do not grow by themselves. Growing restarts the stage from silence, but a
// stream never needs it: the plug-in's block adapter hands over blocks of exactly the
// set-up length, which is also the one length Denoise accepts.
void RestorationChain::Prepare(AudioProcessor& stage, int channels, int frames) {
    if (stage.channelCount != channels) {
        stage.Setup(channels, sampleRate, frames);
    } else if (stage.maxBlockSize < frames) {
        stage.SetMaxBlockSize(frames);
    }
}

void RestorationChain::RunStages(float* const* block, int channels, int frames,
                                 const ChainSwitches& on, const Dropouts& dropouts) {
    if (on.declip) {
        Prepare(declip, channels, frames);
        declip.outputGainDb = on.keepOnlyNoise ? 0.0f : declipHeadroomDb;
        declip.Listen(repairObserver, 0, 1.0f);
        declip.Process(block, frames, nullptr);
    }
    if (on.declick) {
        Prepare(declick, channels, frames);
        // Learning hears what the filter's declick leaves, in either quality, so that a
        // profile is the same whichever host learnt it.
        const bool margin = on.highQuality && !on.training;
        declick.detectionLevel = detectionLevelDb + (margin ? highQualityDetectionMarginDb : 0.0f);
        declick.Listen(repairObserver, on.declip ? declip.latency : 0,
                       on.declip ? DbToAmplitude(declip.outputGainDb) : 1.0f);
        declick.Process(block, frames, nullptr);
    }
    if (on.training) {
        Prepare(denoiseStreamer, channels, frames);
        ExcludeFromTraining(dropouts, on);
        denoise.TrainBlock(block, frames);
    } else if (on.reduction) {
        AudioProcessor& active = ReducerFor(on);
        Prepare(active, channels, frames);
        if (on.highQuality) UpdateHighQualityNoise();
        active.Process(block, frames, nullptr);
    }
}

// The dropouts of this block reach the learning after the delay of the stages before it.
void RestorationChain::ExcludeFromTraining(const Dropouts& dropouts, const ChainSwitches& on) {
    if (dropouts.count == 0) return;
    const int delay = (on.declip ? declip.latency : 0) + (on.declick ? declick.latency : 0);
    denoise.ExcludeFromTraining(dropouts.firstFrame + delay, dropouts.lastFrame + delay);
}

// What is left is the processed signal minus the input it came from: the negative of
// what the stages removed.
void RestorationChain::SubtractDryLine(float* const* block, int channels, int frames) {
    for (int c = 0; c < channels; ++c) {
        const float* dry = dryLine.buffers[std::size_t(c)];
        float* out = block[c];
        for (int i = 0; i < frames; ++i)
            out[i] -= dry[i];
    }
    dryLine.AdvanceKeepingTail(frames);
}

void RestorationChain::SaveProfile(std::uint8_t* at) const {
    for (const std::vector<float>& row : denoise.noiseProfile) {
        for (float level : row) {
            LittleEndian::PutFloat(at, level);
            at += sizeof(float);
        }
    }
}

void RestorationChain::LoadProfile(const std::uint8_t* at) {
    for (std::vector<float>& row : denoise.noiseProfile) {
        for (float& level : row) {
            level = LittleEndian::GetFloat(at);
            at += sizeof(float);
        }
    }
    denoise.ProfileChanged();
    highQualityNoiseStale = true;
}

void RestorationChain::SaveDefaultProfile(std::uint8_t* bytes) {
    for (std::uint32_t at = 0; at < profileBytes; at += sizeof(float))
        LittleEndian::PutFloat(bytes + at, Denoise::defaultProfileDb);
}

} // namespace DSP::Restoration
