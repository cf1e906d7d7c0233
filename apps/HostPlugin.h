#pragma once
// The plug-in as the command line hosts it: the whole effect with the host-facing
// hooks left empty (there is no editor and no host automation to tell), and access
// to its parameters by their names, wherever in its components they live.

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "core/Component.h"
#include "core/Plugin.h"
#include "dsp/RepairObserver.h"

namespace DSP::Restoration {
class Restoration;
}

// A switch by its parameter name, and the value it is to take.
struct SwitchSetting {
    const char* name;
    bool value;
};

class HostPlugin : public Plugin {
public:
    HostPlugin();

    void OnParameterChanged(ChangePhase, DSP::Component&, std::uint32_t,
                            const ParamValue&) override {}

    // The latency in frames, at the rate streaming last started with, that the effect
    // has with these switches set; they are put back afterwards.
    std::uint32_t LatencyWith(std::initializer_list<SwitchSetting> switches);

    // The reducer's quality, an option of the host that the saved state does not hold:
    // high is the log-spectral reducer, standard the DirectShow filter's.
    void SetHighQuality(bool on);
    bool HighQuality();
    // The restoration component, for what is not a parameter (the learnt noise levels).
    DSP::Restoration::Restoration& RestorationComponent();
    // Tells `observer` (null: no one) of every repair from now on, at the input frame
    // where it began; it must outlive its use.
    void ListenForRepairs(DSP::RepairObserver* observer);
};

class FloatParamRef {
public:
    // Throws std::logic_error when no component has a float parameter of that name.
    FloatParamRef(const Plugin& plugin, std::string_view name);

    float Get() const { return component->GetFloatParam(index); }
    void Set(float value) const { component->SetFloatParam(index, value); }
    float Default() const { return component->GetFloatParamDefault(index); }
    DSP::ParamRange<float> Range() const { return component->GetFloatParamRange(index); }

private:
    DSP::Component* component;
    std::uint32_t index;
};

class BoolParamRef {
public:
    // Throws std::logic_error when no component has a bool parameter of that name.
    BoolParamRef(const Plugin& plugin, std::string_view name);

    bool Get() const { return component->GetBoolParam(index); }
    void Set(bool value) const { component->SetBoolParam(index, value); }
    bool Default() const { return component->GetBoolParamDefault(index); }

private:
    DSP::Component* component;
    std::uint32_t index;
};
