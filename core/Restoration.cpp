#include "core/Restoration.h"

#include <cassert>
#include <cmath>

#include "core/Plugin.h"
#include "core/TransformBase.h"
#include "dsp/LittleEndian.h"

namespace DSP::Restoration {

namespace {

constexpr std::uint32_t displayCode = 1;
constexpr std::uint32_t savedInState = 0;
constexpr std::uint32_t auxCode = 0;

std::vector<FloatParam<Restoration>> FloatParams() {
    std::vector<FloatParam<Restoration>> params;
    auto add = [&](const char* name, float (Restoration::*getter)() const,
                   void (Restoration::*setter)(float)) {
        params.emplace_back(name, "", ParamRange<float>{0.0f, 1.0f}, defaultSetting, getter, setter,
                            displayCode, true, savedInState, auxCode);
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
    chain.SetReductionDb(ReductionDb(reductionAmount));
    chain.SetSensitivityDb(SensitivityDb(reductionSensitivity));
    chain.SetDetectionLevelDb(DetectionLevelDb(declickSensitivity));
    SetFormat(blockSize, 2, 2);
}

// The block size is read before `lock` is taken: it takes the component lock. A block of
// another channel count than the plug-in's sets the stages up again.
void Restoration::SetSampleRate(std::uint32_t rate) {
    const int frames = int(GetBlockSize());
    const int channels = int(Owner().Engine().ProcessingChannels());
    LockHolder hold(lock);
    sampleRate = int(rate);
    chain.Setup(channels, sampleRate, frames);
}

void Restoration::ResetProcessing() {
    LockHolder hold(lock);
    chain.Reset();
}

ChainSwitches Restoration::Switches() const {
    return {declipEnabled, declickEnabled, reductionEnabled, training, keepOnlyNoise, highQuality};
}

std::uint32_t Restoration::GetProcessingLatency() const {
    return std::uint32_t(chain.ReportedLatency(Switches()));
}

int Restoration::Process(int frames, float* channel0, float* channel1) {
    assert(frames <= int(blockSize));
    LockHolder hold(lock);
    const int channels = channel1 != nullptr ? 2 : 1;
    float* const block[] = {channel0, channel1};
    chain.Process(block, channels, frames, Switches());
    return frames;
}

void Restoration::SetReductionAmount(float value) {
    if (value == reductionAmount) return;
    LockHolder hold(lock);
    reductionAmount = value;
    chain.SetReductionDb(ReductionDb(value));
}

void Restoration::SetReductionSensitivity(float value) {
    if (value == reductionSensitivity) return;
    LockHolder hold(lock);
    reductionSensitivity = value;
    chain.SetSensitivityDb(SensitivityDb(value));
}

void Restoration::SetDeclickSensitivity(float value) {
    if (value == declickSensitivity) return;
    LockHolder hold(lock);
    declickSensitivity = value;
    chain.SetDetectionLevelDb(DetectionLevelDb(value));
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

void Restoration::SetRepairObserver(RepairObserver* observer) {
    LockHolder hold(lock);
    chain.SetRepairObserver(observer);
}

void Restoration::SetTraining(bool value) {
    LockHolder hold(lock);
    if (training == value) return;
    training = value;
    if (value) {
        chain.StartTraining();
    } else {
        chain.FinishTraining();
    }
}

// Without `lock`, like the other readers, so that a save never waits for a block: saves
// run under the plug-in's state lock, which keeps loads out. A host that ends a learning
// pass while it saves may save either profile.
void Restoration::SaveCustomState(std::vector<std::uint8_t>& bytes, std::size_t offset) const {
    if (!HoldsCustomState(bytes, offset)) return;
    chain.SaveProfile(bytes.data() + offset);
}

// A profile that holds a non-finite level cannot come from learning; it is ignored like
// one of the wrong size, since its curves would turn every block into NaN.
void Restoration::LoadCustomState(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    if (!HoldsCustomState(bytes, offset) || !LevelsAreFinite(bytes, offset)) return;
    LockHolder hold(lock);
    chain.LoadProfile(bytes.data() + offset);
}

void Restoration::SaveDefaultCustomState(std::vector<std::uint8_t>& bytes,
                                         std::size_t offset) const {
    if (!HoldsCustomState(bytes, offset)) return;
    RestorationChain::SaveDefaultProfile(bytes.data() + offset);
}

} // namespace DSP::Restoration
