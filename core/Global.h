#pragma once
// The plug-in-wide settings: bypass, mono processing, delay compensation, the
// automation sub-block length, the behaviour on preset changes, a buffer-size choice
// and the editor's preferences. None of them is automatable or saved with the state.
// The audio engine reads the processing settings through the getters at every block.

#include <atomic>
#include <cstdint>

#include "core/ComponentImpl.h"

namespace DSP {

class Global : public ComponentImpl<Global> {
public:
    enum FloatIndex : std::uint32_t { fpsParam, opacityParam, automationZipperSamplesParam };
    enum BoolIndex : std::uint32_t {
        bypassParam,
        renderingThreadParam,
        delayCompensationParam,
        meterEnableParam,
        animationEnableParam,
        animatedFocusEnableParam,
        processAsMonoParam,
        showBackgroundGridParam,
    };
    enum UIntIndex : std::uint32_t {
        historyDepthParam,
        automationHighlightParam,
        presetChangeModeParam,
        globalBufferSizeParam,
    };

    explicit Global(Plugin& owner);

    bool IsActive() const override { return false; }
    void ResetProcessing() override {}

    float GetFps() const { return fps; }
    // Clamped to 5..60 fps; the editor's redraw timing changes with it.
    void SetFps(float value);
    // Milliseconds between editor redraws, from the frame rate.
    std::int32_t GetFramePeriod() const { return framePeriod; }
    float GetOpacity() const { return opacity; }
    void SetOpacity(float value) { opacity = value; }
    float GetAutomationZipperSamples() const { return automationZipperSamples; }
    // Clamped to 10..600 frames.
    void SetAutomationZipperSamples(float value);

    bool GetBypass() const { return bypass; }
    // Switching bypass on clears the processing history of every component.
    void SetBypass(bool value);
    bool GetRenderingThread() const { return renderingThread; }
    void SetRenderingThread(bool value);
    bool GetDelayCompensation() const { return delayCompensation; }
    void SetDelayCompensation(bool value);
    bool GetMeterEnable() const { return meterEnable; }
    // Copied into every component's meter flag; activity is re-read.
    void SetMeterEnable(bool value);
    bool GetAnimationEnable() const { return animationEnable; }
    void SetAnimationEnable(bool value) { animationEnable = value; }
    bool GetAnimatedFocusEnable() const { return animatedFocusEnable; }
    void SetAnimatedFocusEnable(bool value) { animatedFocusEnable = value; }
    bool GetProcessAsMono() const { return processAsMono; }
    void SetProcessAsMono(bool value) { processAsMono = value; }
    bool GetShowBackgroundGrid() const { return showBackgroundGrid; }
    void SetShowBackgroundGrid(bool value);

    std::uint32_t GetHistoryDepth() const { return historyDepth; }
    void SetHistoryDepth(std::uint32_t value) { historyDepth = value; }
    std::uint32_t GetAutomationHighlight() const { return automationHighlight; }
    // Recolours the parameters of every component that carry envelopes.
    void SetAutomationHighlight(std::uint32_t value);
    // 0 "Realtime", 1 "Bypass", 2 "Mute".
    std::uint32_t GetPresetChangeMode() const { return presetChangeMode; }
    void SetPresetChangeMode(std::uint32_t value) { presetChangeMode = value; }
    std::uint32_t GetGlobalBufferSize() const { return globalBufferSize; }
    // At most 6 ("Auto"); the plug-in's latency is recomputed.
    void SetGlobalBufferSize(std::uint32_t value);

private:
    std::atomic<float> fps{30.0f};
    std::atomic<float> opacity{100.0f};
    std::atomic<std::int32_t> framePeriod{33};
    std::atomic<bool> bypass{false};
    std::atomic<bool> renderingThread{false};
    std::atomic<bool> delayCompensation{false};
    std::atomic<bool> meterEnable{true};
    std::atomic<bool> animationEnable{true};
    std::atomic<bool> animatedFocusEnable{true};
    std::atomic<bool> processAsMono{false};
    std::atomic<bool> showBackgroundGrid{true};
    std::atomic<std::uint32_t> presetChangeMode{1};
    std::atomic<std::uint32_t> globalBufferSize{6};
    std::atomic<std::uint32_t> historyDepth{1};
    std::atomic<std::uint32_t> automationHighlight{noHighlight};
    std::atomic<float> automationZipperSamples{50.0f};
};

// One further editor preference, "Global: ALT-Solo Q".
class GlobalDerived : public ComponentImpl<GlobalDerived> {
public:
    explicit GlobalDerived(Plugin& owner);

    bool IsActive() const override { return false; }
    void ResetProcessing() override {}

    float GetAltSoloQ() const { return altSoloQ; }
    void SetAltSoloQ(float value) { altSoloQ = value; }

private:
    std::atomic<float> altSoloQ{18.0f};
};

} // namespace DSP
