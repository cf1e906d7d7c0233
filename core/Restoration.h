#pragma once
// The effect's audio component: binds the restoration chain (dsp/RestorationChain.h) to
// the plug-in's parameters, its lock and its saved state. It runs the chain on every
// block, reports the summed latency of the enabled stages to the engine and saves the
// learnt noise profile with the plug-in's state.
//
// The reducer's quality is an option of the host, neither a parameter nor saved: standard
// is the built-in Denoise (the DirectShow filter never changes it), high the chain's
// LogAmplitudeDenoise, fed from the same profile and the same "Reduction" settings.
//
// Locks: the component lock (taken by ProcessStream) comes before `lock`, and code that
// holds `lock` takes no other lock. Setters hold `lock` only to store a value; the heavy
// work they cause (the noise reducer's curves) happens at the next block boundary.

#include <atomic>
#include <cstdint>
#include <vector>

#include "Util/NamedLock.h"
#include "core/ComponentImpl.h"
#include "dsp/ParameterMapping.h"
#include "dsp/RestorationChain.h"

namespace DSP::Restoration {

class Restoration : public ComponentImpl<Restoration> {
public:
    enum FloatIndex : std::uint32_t {
        reductionAmountParam,
        reductionSensitivityParam,
        declickSensitivityParam,
    };
    enum BoolIndex : std::uint32_t {
        bypassParam,
        reductionEnabledParam,
        declickEnabledParam,
        declipEnabledParam,
        trainParam,
        keepOnlyNoiseParam,
    };
    // The noise profile: two channels of Denoise::profileBins levels in dB, as floats.
    static constexpr std::uint32_t customStateSize = RestorationChain::profileBytes;
    static constexpr std::uint32_t blockSize = 4096;

    explicit Restoration(Plugin& owner);

    // Sets the stages up for the rate, the component's block size and the plug-in's
    // channel count (one while it processes as mono).
    void SetSampleRate(std::uint32_t rate) override;
    bool IsActive() const override { return true; }
    std::uint32_t GetCustomStateSize() const override { return customStateSize; }
    std::uint32_t GetCustomStateStorage() const override { return 1; }
    void SaveCustomState(std::vector<std::uint8_t>& bytes, std::size_t offset) const override;
    void LoadCustomState(const std::vector<std::uint8_t>& bytes, std::size_t offset) override;
    // The profile of a plug-in that never learnt one: -50 dB in every bin.
    void SaveDefaultCustomState(std::vector<std::uint8_t>& bytes,
                                std::size_t offset) const override;
    // The chain, in place; channel1 is null for one channel. frames must not exceed the
    // block size. Real-time: allocates nothing (but on a change of the channel count) and
    // takes only the component lock (held by the caller) and `lock`.
    int Process(int frames, float* channel0, float* channel1) override;
    void ResetProcessing() override;
    // The enabled stages' delays; learning does not count.
    std::uint32_t GetProcessingLatency() const override;

    float GetReductionAmount() const { return reductionAmount; }
    // 0 ... 1: 6 ... 30 dB of largest attenuation.
    void SetReductionAmount(float value);
    float GetReductionSensitivity() const { return reductionSensitivity; }
    // 0 ... 1: the noise threshold moves by -6 ... +6 dB.
    void SetReductionSensitivity(float value);
    float GetDeclickSensitivity() const { return declickSensitivity; }
    // 0 ... 1: clicks are detected from 0 ... -15 dB above the local error level.
    void SetDeclickSensitivity(float value);

    // Stored only: the engine skips the component while it is on.
    bool GetBypass() const { return bypass; }
    void SetBypass(bool value) { bypass = value; }
    bool GetReductionEnabled() const { return reductionEnabled; }
    void SetReductionEnabled(bool value) { SetStageSwitch(reductionEnabled, value); }
    bool GetDeclickEnabled() const { return declickEnabled; }
    void SetDeclickEnabled(bool value) { SetStageSwitch(declickEnabled, value); }
    bool GetDeclipEnabled() const { return declipEnabled; }
    void SetDeclipEnabled(bool value) { SetStageSwitch(declipEnabled, value); }
    bool GetTraining() const { return training; }
    // On starts a learning pass; off turns what was heard into the noise profile.
    void SetTraining(bool value);
    // Chooses the reducer for the next block and reports the latency change like a
    // stage switch. Allocates nothing.
    void SetHighQuality(bool value) { SetStageSwitch(highQuality, value); }
    bool GetHighQuality() const { return highQuality; }
    bool GetKeepOnlyNoise() const { return keepOnlyNoise; }
    void SetKeepOnlyNoise(bool value) { keepOnlyNoise = value; }
    // For a host that shows what was repaired (RestorationChain::SetRepairObserver);
    // the observer is called from the audio thread and must outlive its use.
    void SetRepairObserver(RepairObserver* observer);

private:
    // Stores a stage switch, then reports the latency change outside `lock`.
    void SetStageSwitch(std::atomic<bool>& field, bool value);
    // The switches as they stand; keep-only-noise is read once, so that a switch from
    // another thread never splits a block.
    ChainSwitches Switches() const;

    mutable NamedLock lock;
    // Guarded by `lock`.
    int sampleRate = 44100;
    std::atomic<bool> bypass{false};
    std::atomic<bool> keepOnlyNoise{false};
    std::atomic<bool> reductionEnabled{true};
    std::atomic<bool> training{false};
    std::atomic<float> reductionAmount{defaultSetting};
    std::atomic<float> reductionSensitivity{defaultSetting};
    std::atomic<bool> declickEnabled{true};
    std::atomic<float> declickSensitivity{defaultSetting};
    std::atomic<bool> declipEnabled{true};
    std::atomic<bool> highQuality{false};
    RestorationChain chain;
};

} // namespace DSP::Restoration
