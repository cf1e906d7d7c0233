#include "dsp/Restoration.h"

#include <algorithm>
#include <cmath>

#include "core/LittleEndian.h"
#include "core/Plugin.h"
#include "core/TransformBase.h"

namespace DSP::Restoration {

namespace {

constexpr float defaultParamValue = 0.5f;
constexpr std::uint32_t displayCode = 1;
constexpr std::uint32_t savedInState = 0;
constexpr std::uint32_t auxCode = 0;

// Declip makes room for the peaks it rebuilds; while only the removed part is put out,
// unchanged samples must cancel exactly, so the gain is then 0 dB.
constexpr float declipHeadroomDb = -6.0f;

// A host or a saved state may hand over any float; the stages take it within the
// sliders' range, and NaN as the middle.
float SliderPosition(float value) {
    if (std::isnan(value)) return defaultParamValue;
    return std::clamp(value, 0.0f, 1.0f);
}

float ReductionDb(float amount) {
    return 6.0f + 24.0f * SliderPosition(amount);
}
float SensitivityDb(float sensitivity) {
    return 12.0f * (SliderPosition(sensitivity) - 0.5f);
}
float DetectionLevelDb(float sensitivity) {
    return -15.0f * SliderPosition(sensitivity);
}

std::vector<FloatParam<Restoration>> FloatParams() {
    std::vector<FloatParam<Restoration>> params;
    auto add = [&](const char* name, float (Restoration::*getter)() const,
                   void (Restoration::*setter)(float)) {
        params.emplace_back(name, "", ParamRange<float>{0.0f, 1.0f}, defaultParamValue, getter,
                            setter, displayCode, true, savedInState, auxCode);
    };
    add("Reduction Amount", &Restoration::GetReductionAmount, &Restoration::SetReductionAmount);
    add("Reduction Sensitivity", &Restoration::GetReductionSensitivity,
        &Restoration::SetReductionSensitivity);
    add("Declick Sensitivity", &Restoration::GetDeclickSensitivity,
        &Restoration::SetDeclickSensitivity);
    return params;
}

std::vector<BoolParam<Restoration>> BoolParams() {
    std::vector<BoolParam<Restoration>> params;
    auto add = [&](const char* name, bool defaultValue, bool automatable,
                   bool (Restoration::*getter)() const, void (Restoration::*setter)(bool)) {
        params.emplace_back(name, "", defaultValue, getter, setter, displayCode, automatable,
                            savedInState, auxCode);
    };
    add("Restoration Bypass", false, false, &Restoration::GetBypass, &Restoration::SetBypass);
    add("Enable Reduction", true, true, &Restoration::GetReductionEnabled,
        &Restoration::SetReductionEnabled);
    add("Enable Declicking", true, true, &Restoration::GetDeclickEnabled,
        &Restoration::SetDeclickEnabled);
    add("Enable declipping", true, true, &Restoration::GetDeclipEnabled,
        &Restoration::SetDeclipEnabled);
    add("Train", false, true, &Restoration::GetTraining, &Restoration::SetTraining);
    add("Restoration: Keep only noise", false, false, &Restoration::GetKeepOnlyNoise,
        &Restoration::SetKeepOnlyNoise);
    return params;
}

bool HoldsCustomState(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return offset < bytes.size() && bytes.size() - offset == Restoration::customStateSize;
}

// Before a block reaches a stage, the stage is set up for the block's channel count and,
// when the block is longer than the stage was set up for, for its length: Declip and
// Declick do not grow by themselves. Growing restarts the stage from silence, but a
// stream never needs it: the block adapter hands over blocks of exactly blockSize
// frames, which is also the one length Denoise accepts.
void Prepare(AudioProcessor& stage, int channels, int rate, int frames) {
    if (stage.channelCount != channels) {
        stage.Setup(channels, rate, frames);
    } else if (stage.maxBlockSize < frames) {
        stage.SetMaxBlockSize(frames);
    }
}

bool LevelsAreFinite(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    for (std::size_t at = offset; at < bytes.size(); at += sizeof(float)) {
        if (!std::isfinite(LittleEndian::GetFloat(bytes.data() + at))) return false;
    }
    return true;
}

} // namespace

// The reduction defaults go through the same mapping as any later value, so that 0.5
// means 18 dB whether or not the slider has ever moved, and a loaded state sounds the
// same as the values it shows.
Restoration::Restoration(Plugin& owner)
    : ComponentImpl(owner, "Restoration::Restoration", 0), lock("Restoration::Restoration") {
    const auto floats = FloatParams();
    const auto bools = BoolParams();
    RegisterParams(this, &floats, &bools, nullptr, nullptr);
    denoise.reductionDb = ReductionDb(reductionAmount);
    denoise.sensitivityDb = SensitivityDb(reductionSensitivity);
    denoise.UpdateCurves();
    declick.detectionLevel = DetectionLevelDb(declickSensitivity);
    declip.quality = 0.0f;
    declick.quality = 0.0f;
    SetFormat(blockSize, 2, 2);
}

// The block size is read before `lock` is taken: it takes the component lock. A block of
// another channel count than the plug-in's sets the stages up again.
void Restoration::SetSampleRate(std::uint32_t rate) {
    const int frames = int(GetBlockSize());
    const int channels = int(Owner().Engine().ProcessingChannels());
    LockHolder hold(lock);
    sampleRate = int(rate);
    denoiseStreamer.Setup(channels, sampleRate, frames);
    declip.Setup(channels, sampleRate, frames);
    declick.Setup(channels, sampleRate, frames);
}

void Restoration::ResetProcessing() {
    LockHolder hold(lock);
    denoiseStreamer.Reset();
    declip.Reset();
    declick.Reset();
    dryLine.Reset();
}

std::uint32_t Restoration::GetProcessingLatency() const {
    return std::uint32_t((declipEnabled ? declip.latency : 0) +
                         (declickEnabled ? declick.latency : 0) +
                         (reductionEnabled ? denoiseStreamer.latency : 0));
}

int Restoration::ChainLatency() const {
    return (declipEnabled ? declip.latency : 0) + (declickEnabled ? declick.latency : 0) +
           (reductionEnabled && !training ? denoiseStreamer.latency : 0);
}

// keep-only-noise is read once, so that a switch from another thread never splits a block.
int Restoration::Process(int frames, float* channel0, float* channel1) {
    LockHolder hold(lock);
    const int channels = channel1 != nullptr ? 2 : 1;
    float* const block[] = {channel0, channel1};
    blockDropouts = DSP::GuardInput(block, channels, frames);
    const bool onlyNoise = keepOnlyNoise;
    if (onlyNoise) FeedDryLine(block, channels, frames, ChainLatency());
    RunChain(block, channels, frames, onlyNoise);
    if (onlyNoise) SubtractDryLine(block, channels, frames);
    return frames;
}

// A change of the delay starts the line over with that many frames of silence.
void Restoration::FeedDryLine(float* const* block, int channels, int frames, int delay) {
    if (dryLine.tailLength != delay || dryLine.maxBlockSize < frames ||
        dryLine.channelCount != channels) {
        dryLine.Allocate(channels, sampleRate, frames, delay, true);
    }
    dryLine.Append(block, frames, 0);
}

void Restoration::RunChain(float* const* block, int channels, int frames, bool onlyNoise) {
    if (declipEnabled) {
        Prepare(declip, channels, sampleRate, frames);
        declip.outputGainDb = onlyNoise ? 0.0f : declipHeadroomDb;
        declip.Process(block, frames, nullptr);
    }
    if (declickEnabled) {
        Prepare(declick, channels, sampleRate, frames);
        declick.Process(block, frames, nullptr);
    }
    if (!reductionEnabled && !training) return;
    Prepare(denoiseStreamer, channels, sampleRate, frames);
    if (training) {
        ExcludeDropoutsFromTraining();
        denoise.TrainBlock(block, frames);
    } else {
        denoiseStreamer.Process(block, frames, nullptr);
    }
}

// The dropouts of this block reach the learning after the delay of the stages before it.
void Restoration::ExcludeDropoutsFromTraining() {
    if (blockDropouts.count == 0) return;
    const int delay = (declipEnabled ? declip.latency : 0) + (declickEnabled ? declick.latency : 0);
    denoise.ExcludeFromTraining(blockDropouts.firstFrame + delay, blockDropouts.lastFrame + delay);
}

// What is left is the processed signal minus the input it came from: the negative of
// what the stages removed.
void Restoration::SubtractDryLine(float* const* block, int channels, int frames) {
    for (int c = 0; c < channels; ++c) {
        const float* dry = dryLine.buffers[std::size_t(c)];
        float* out = block[c];
        for (int i = 0; i < frames; ++i)
            out[i] -= dry[i];
    }
    dryLine.AdvanceKeepingTail(frames);
}

void Restoration::SetReductionAmount(float value) {
    if (value == reductionAmount) return;
    LockHolder hold(lock);
    reductionAmount = value;
    denoise.reductionDb = ReductionDb(value);
    denoise.UpdateCurves();
}

void Restoration::SetReductionSensitivity(float value) {
    if (value == reductionSensitivity) return;
    LockHolder hold(lock);
    reductionSensitivity = value;
    denoise.sensitivityDb = SensitivityDb(value);
    denoise.UpdateCurves();
}

void Restoration::SetDeclickSensitivity(float value) {
    if (value == declickSensitivity) return;
    LockHolder hold(lock);
    declickSensitivity = value;
    declick.detectionLevel = DetectionLevelDb(value);
}

// The engine may recompute the latency at once, so the value is stored first.
void Restoration::SetStageSwitch(std::atomic<bool>& field, bool value) {
    if (field == value) return;
    {
        LockHolder hold(lock);
        field = value;
    }
    Owner().InvalidateLatency(*this);
}

void Restoration::SetTraining(bool value) {
    LockHolder hold(lock);
    if (training == value) return;
    training = value;
    if (value) {
        denoise.StartTraining();
    } else {
        denoise.FinishTraining();
    }
}

// Without `lock`, like the other readers, so that a save never waits for a block: saves
// run under the plug-in's state lock, which keeps loads out. A host that ends a learning
// pass while it saves may save either profile.
void Restoration::SaveCustomState(std::vector<std::uint8_t>& bytes, std::size_t offset) const {
    if (!HoldsCustomState(bytes, offset)) return;
    std::uint8_t* at = bytes.data() + offset;
    for (const std::vector<float>& row : denoise.noiseProfile) {
        for (float level : row) {
            LittleEndian::PutFloat(at, level);
            at += sizeof(float);
        }
    }
}

// A profile that holds a non-finite level cannot come from learning; it is ignored like
// one of the wrong size, since its curves would turn every block into NaN.
void Restoration::LoadCustomState(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    if (!HoldsCustomState(bytes, offset) || !LevelsAreFinite(bytes, offset)) return;
    LockHolder hold(lock);
    const std::uint8_t* at = bytes.data() + offset;
    for (std::vector<float>& row : denoise.noiseProfile) {
        for (float& level : row) {
            level = LittleEndian::GetFloat(at);
            at += sizeof(float);
        }
    }
    denoise.UpdateCurves();
}

void Restoration::SaveDefaultCustomState(std::vector<std::uint8_t>& bytes,
                                         std::size_t offset) const {
    if (!HoldsCustomState(bytes, offset)) return;
    for (std::size_t at = offset; at < bytes.size(); at += sizeof(float))
        LittleEndian::PutFloat(bytes.data() + at, Denoise::defaultProfileDb);
}

} // namespace DSP::Restoration
