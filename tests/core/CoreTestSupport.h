#pragma once
// A plug-in without a host whose engine runs one fixed-block stage, and a component
// that records what reaches Process.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/ComponentImpl.h"
#include "core/Plugin.h"
#include "core/TransformBase.h"
#include "primitives/Vec.h"

// Doubles the signal in blocks of blockSize frames, so its latency is blockSize - 1
// plus what it reports. onProcess runs at the start of every block.
class Stage : public DSP::ComponentImpl<Stage> {
public:
    Stage(Plugin& owner, std::uint32_t blockSize) : ComponentImpl(owner, "Stage", 0) {
        RegisterParams(this, nullptr, nullptr, nullptr, nullptr);
        SetFormat(blockSize, 2, 2);
    }
    bool IsActive() const override { return active; }
    void ResetProcessing() override {}
    std::uint32_t GetProcessingLatency() const override { return reported; }
    int Process(int frames, float* channel0, float* channel1) override {
        if (onProcess) onProcess();
        VecMulC(frames, channel0, 2.0f);
        VecMulC(frames, channel1, 2.0f);
        return frames;
    }

    std::atomic<bool> active{true};
    std::atomic<std::uint32_t> reported{0};
    std::function<void()> onProcess;
};

class StageEngine : public DSP::TransformBase {
public:
    StageEngine(Plugin& plugin, std::uint32_t blockSize)
        : TransformBase(plugin), stage(plugin, blockSize) {}
    static EngineFactory Factory(std::uint32_t blockSize) {
        return [blockSize](Plugin& plugin) {
            return std::make_unique<StageEngine>(plugin, blockSize);
        };
    }

    Stage stage;

protected:
    int Run(int frames, float* inL, float* inR, float* outL, float* outR, int zipper) override {
        VecCopy(frames, inL, outL);
        VecCopy(frames, inR, outR);
        return stage.ProcessStream(SampleRate(), BlockTime(), zipper, EditorFlag(), frames, outL,
                                   inR != nullptr ? outR : nullptr, false);
    }
};

class TestPlugin : public Plugin {
public:
    explicit TestPlugin(const EngineFactory& buildEngine = StageEngine::Factory(0),
                        std::int32_t latencyMode = 0)
        : Plugin(latencyMode, 2, buildEngine) {}
    void OnLatencyChanged() override { ++latencyChanges; }
    void OnGlobalSettingChanged() override { ++globalSettingChanges; }
    std::uint32_t GetExtraLatency() const override { return extraLatency; }
    void OnParameterChanged(ChangePhase, DSP::Component&, std::uint32_t,
                            const ParamValue&) override {}

    StageEngine& TestEngine() { return static_cast<StageEngine&>(Engine()); }

    int globalSettingChanges = 0, latencyChanges = 0;
    std::uint32_t extraLatency = 0;
};

// Codes of the editor messages posted to window since the last call.
inline std::vector<WPARAM> TakeEditorMessages(HWND window) {
    const UINT message = RegisterWindowMessageA("QxAudio_WM_QX_AUDIO_CUSTOM");
    std::vector<WPARAM> codes;
    MSG posted;
    while (PeekMessageA(&posted, window, message, message, PM_REMOVE)) {
        codes.push_back(posted.wParam);
    }
    return codes;
}

// Float "Gain" (saved), bool "Switch" (saved), unsigned "Block Size" (not saved), all
// automatable, plus a non-automatable float row "Band" served by one bound accessor.
// Setting "Block Size" reframes the component. Process fills the first channel with
// the gain.
class Recorder : public DSP::ComponentImpl<Recorder> {
public:
    struct Call {
        int frames;
        float gain;
        bool stereo;
        const float* samples;
    };

    explicit Recorder(Plugin& owner, std::uint32_t ownBuffers = 0)
        : ComponentImpl(owner, "Recorder", ownBuffers) {
        Register();
    }
    void Register() {
        using namespace DSP;
        std::vector<FloatParam<Recorder>> floats;
        floats.emplace_back("Gain", "", ParamRange<float>{0.0f, 1.0f}, 0.5f, &Recorder::GetGain,
                            &Recorder::SetGain, 1, true, 0, 0);
        floats.emplace_back("Band", "dB", ParamRange<float>{-1.0f, 1.0f}, 0.0f, &Recorder::GetBand,
                            &Recorder::SetBand, 1, false, 2, 0);
        floats.back().setter.plain = &Recorder::SetGain;
        floats.back().boundArgs = {2, 0, 0};
        std::vector<BoolParam<Recorder>> bools;
        bools.emplace_back("Switch", "", false, &Recorder::GetSwitch, &Recorder::SetSwitch, 1, true,
                           0, 0);
        std::vector<UIntParam<Recorder>> uints;
        uints.emplace_back("Block Size", "", ParamRange<std::uint32_t>{0, 8192}, 0,
                           &Recorder::GetBlockSizeParam, &Recorder::SetBlockSizeParam, 1, true, 2,
                           0);
        RegisterParams(this, &floats, &bools, &uints, nullptr);
    }

    bool IsActive() const override { return true; }
    void ResetProcessing() override {}
    int Process(int frames, float* channel0, float* channel1) override {
        calls.push_back({frames, gain, channel1 != nullptr, channel0});
        std::fill(channel0, channel0 + frames, gain);
        return frames;
    }

    float GetGain() const { return gain; }
    void SetGain(float value) { gain = value; }
    float GetBand(std::int32_t band) const { return bands[std::size_t(band)]; }
    void SetBand(std::int32_t band, float value) { bands[std::size_t(band)] = value; }
    bool GetSwitch() const { return on; }
    void SetSwitch(bool value) { on = value; }
    std::uint32_t GetBlockSizeParam() const { return blockSize; }
    void SetBlockSizeParam(std::uint32_t value) {
        blockSize = value;
        SetFormat(value, 2, 2);
    }

    std::vector<Call> calls;
    float gain = 0.5f;
    float bands[4] = {};
    bool on = false;
    std::uint32_t blockSize = 0;
};

inline MP_ENVELOPE_SEGMENT Segment(REFERENCE_TIME start, REFERENCE_TIME end, float from, float to,
                                   MP_CURVE_TYPE curve = MP_CURVE_LINEAR) {
    return {start, end, from, to, curve, 0};
}
