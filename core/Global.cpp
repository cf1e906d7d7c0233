#include "core/Global.h"

#include <algorithm>
#include <cmath>

#include "core/Plugin.h"

namespace DSP {

namespace {

// The global settings are editor preferences: shown with display code 2, kept out of
// the saved state (storage 2) and marked with aux code 1. Bypass differs in the last two.
constexpr std::uint32_t globalDisplayCode = 2;
constexpr std::uint32_t zipperDisplayCode = 0;
constexpr std::uint32_t globalStorage = 2;
constexpr std::uint32_t bypassStorage = 1;
constexpr std::uint32_t globalAuxCode = 1;
constexpr std::uint32_t bypassAuxCode = 0;
constexpr bool notAutomatable = false;

constexpr std::uint32_t largestBufferSize = 6; // "Auto"

// NaN falls to the minimum.
float Clamp(float value, float minimum, float maximum) {
    return std::min(maximum, std::max(minimum, value));
}

std::vector<FloatParam<Global>> GlobalFloatParams() {
    std::vector<FloatParam<Global>> params;
    params.reserve(3);
    params.emplace_back("Global: FPS", "fps", ParamRange<float>{5.0f, 60.0f}, 30.0f,
                        &Global::GetFps, &Global::SetFps, globalDisplayCode, notAutomatable,
                        globalStorage, globalAuxCode);
    params.emplace_back("Global: Opacity", "%", ParamRange<float>{20.0f, 100.0f}, 100.0f,
                        &Global::GetOpacity, &Global::SetOpacity, globalDisplayCode, notAutomatable,
                        globalStorage, globalAuxCode);
    params.emplace_back("Global: Automation Zipper Samples", "", ParamRange<float>{10.0f, 600.0f},
                        50.0f, &Global::GetAutomationZipperSamples,
                        &Global::SetAutomationZipperSamples, zipperDisplayCode, notAutomatable,
                        globalStorage, globalAuxCode);
    return params;
}

std::vector<BoolParam<Global>> GlobalBoolParams() {
    std::vector<BoolParam<Global>> params;
    params.reserve(8);
    params.emplace_back("Global: Bypass", "", false, &Global::GetBypass, &Global::SetBypass,
                        globalDisplayCode, notAutomatable, bypassStorage, bypassAuxCode);
    params.back().labels = {"Unbypassed\nUNBPS\nUB\nU", "Bypassed\nBYPS\nGBP\nB"};
    auto add = [&](const char* name, bool defaultValue, bool (Global::*getter)() const,
                   void (Global::*setter)(bool)) {
        params.emplace_back(name, "", defaultValue, getter, setter, globalDisplayCode,
                            notAutomatable, globalStorage, globalAuxCode);
    };
    add("Global: Rendering Thread", false, &Global::GetRenderingThread,
        &Global::SetRenderingThread);
    add("Global: Delay Compensation", false, &Global::GetDelayCompensation,
        &Global::SetDelayCompensation);
    add("Global: Meter Enable", true, &Global::GetMeterEnable, &Global::SetMeterEnable);
    add("Global: Animation Enable", true, &Global::GetAnimationEnable, &Global::SetAnimationEnable);
    add("Global: Animated Focus Enable", true, &Global::GetAnimatedFocusEnable,
        &Global::SetAnimatedFocusEnable);
    add("Global: Process As Mono", false, &Global::GetProcessAsMono, &Global::SetProcessAsMono);
    add("Global: Show Background Grid", true, &Global::GetShowBackgroundGrid,
        &Global::SetShowBackgroundGrid);
    return params;
}

std::vector<UIntParam<Global>> GlobalUIntParams() {
    std::vector<UIntParam<Global>> params;
    params.reserve(4);
    auto add = [&](const char* name, std::uint32_t maximum, std::uint32_t defaultValue,
                   std::uint32_t (Global::*getter)() const, void (Global::*setter)(std::uint32_t),
                   std::vector<SharedString> labels) {
        params.emplace_back(name, "", ParamRange<std::uint32_t>{0, maximum}, defaultValue, getter,
                            setter, globalDisplayCode, notAutomatable, globalStorage,
                            globalAuxCode);
        params.back().labels = std::move(labels);
    };
    add("Global: History Depth", 3, 1, &Global::GetHistoryDepth, &Global::SetHistoryDepth,
        {"50", "100", "500", "Unlimited"});
    add("Global: DX Automation Highlight", 4, noHighlight, &Global::GetAutomationHighlight,
        &Global::SetAutomationHighlight, {"Red", "Blue", "Green", "Yellow", "None"});
    add("Global: Preset Change Mode", 2, 1, &Global::GetPresetChangeMode,
        &Global::SetPresetChangeMode, {"Realtime", "Bypass", "Mute"});
    add("Global: Global Buffer Size", largestBufferSize, largestBufferSize,
        &Global::GetGlobalBufferSize, &Global::SetGlobalBufferSize,
        {"32", "64", "128", "256", "512", "1024", "Auto"});
    return params;
}

} // namespace

Global::Global(Plugin& owner) : ComponentImpl(owner, "Global", 0) {
    const auto floats = GlobalFloatParams();
    const auto bools = GlobalBoolParams();
    const auto uints = GlobalUIntParams();
    RegisterParams(this, &floats, &bools, &uints, nullptr);
}

void Global::SetFps(float value) {
    if (value == fps) return;
    const float clamped = Clamp(value, 5.0f, 60.0f);
    fps = clamped;
    framePeriod = std::int32_t(std::lround(1000.0f / clamped));
    if (!renderingThread) Owner().NotifyEditor(EditorNotification::RedrawTimingChanged);
}

void Global::SetAutomationZipperSamples(float value) {
    automationZipperSamples = Clamp(value, 10.0f, 600.0f);
}

void Global::SetBypass(bool value) {
    if (value == bypass) return;
    bypass = value;
    if (value) Owner().ResetState();
}

void Global::SetRenderingThread(bool value) {
    if (value == renderingThread) return;
    renderingThread = value;
    Owner().NotifyEditor(EditorNotification::RedrawTimingChanged);
}

void Global::SetDelayCompensation(bool value) {
    if (value == delayCompensation) return;
    delayCompensation = value;
    Owner().OnGlobalSettingChanged();
}

void Global::SetMeterEnable(bool value) {
    if (value == meterEnable) return;
    meterEnable = value;
    for (Component* component : Owner().Components())
        component->SetMeterFlag(value);
    if (!Owner().PresetChanging()) Owner().InvalidateAll(*this);
}

void Global::SetShowBackgroundGrid(bool value) {
    if (value == showBackgroundGrid) return;
    showBackgroundGrid = value;
    Owner().NotifyEditor(EditorNotification::BackgroundGridChanged);
}

void Global::SetAutomationHighlight(std::uint32_t value) {
    if (value == automationHighlight) return;
    automationHighlight = value;
    for (Component* component : Owner().Components()) {
        component->ApplyAutomationHighlight(std::int32_t(value));
    }
}

void Global::SetGlobalBufferSize(std::uint32_t value) {
    globalBufferSize = std::min(value, largestBufferSize);
    if (!Owner().PresetChanging()) Owner().InvalidateLatency(*this);
}

GlobalDerived::GlobalDerived(Plugin& owner) : ComponentImpl(owner, "GlobalDerived", 0) {
    std::vector<FloatParam<GlobalDerived>> floats;
    floats.emplace_back("Global: ALT-Solo Q", "", ParamRange<float>{1.2f, 100.0f}, 18.0f,
                        &GlobalDerived::GetAltSoloQ, &GlobalDerived::SetAltSoloQ, globalDisplayCode,
                        notAutomatable, globalStorage, globalAuxCode);
    RegisterParams(this, &floats, nullptr, nullptr, nullptr);
}

} // namespace DSP
