#include "apps/HostPlugin.h"

#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/Restoration.h"
#include "core/RestorationEngine.h"
#include "core/TransformBase.h"

namespace {

using NameGetter = const SharedString& (DSP::Component::*)(std::uint32_t) const;

// The first component, in the plug-in's order, that has a parameter of this name.
std::pair<DSP::Component*, std::uint32_t> Find(const Plugin& plugin, std::string_view name,
                                               std::uint32_t (DSP::Component::*count)() const,
                                               NameGetter nameOf, const char* family) {
    for (DSP::Component* component : plugin.Components()) {
        for (std::uint32_t i = 0; i < (component->*count)(); ++i) {
            if ((component->*nameOf)(i).Text() == name) return {component, i};
        }
    }
    throw std::logic_error("the plug-in has no " + std::string(family) + " parameter \"" +
                           std::string(name) + "\"");
}

} // namespace

// The settings a DirectShow host gives the filter: no extra latency, buffers for two blocks.
HostPlugin::HostPlugin() : Plugin(0, 2) {}

// Switching a stage reports the latency change to the engine, which recomputes it at
// once while no block is being processed.
std::uint32_t HostPlugin::LatencyWith(std::initializer_list<SwitchSetting> switches) {
    std::vector<std::pair<BoolParamRef, bool>> previous;
    for (const SwitchSetting& setting : switches) {
        const BoolParamRef param(*this, setting.name);
        previous.emplace_back(param, param.Get());
        param.Set(setting.value);
    }
    const std::uint32_t latency = Engine().Latency();
    for (const auto& [param, value] : previous)
        param.Set(value);
    return latency;
}

bool HostPlugin::HighQuality() {
    return RestorationComponent().GetHighQuality();
}

void HostPlugin::SetHighQuality(bool on) {
    RestorationComponent().SetHighQuality(on);
}

DSP::Restoration::Restoration& HostPlugin::RestorationComponent() {
    return dynamic_cast<DSP::RestorationEngine&>(Engine()).GetRestoration();
}

FloatParamRef::FloatParamRef(const Plugin& plugin, std::string_view name) {
    std::tie(component, index) = Find(plugin, name, &DSP::Component::GetNumFloatParams,
                                      &DSP::Component::GetFloatParamName, "float");
}

BoolParamRef::BoolParamRef(const Plugin& plugin, std::string_view name) {
    std::tie(component, index) = Find(plugin, name, &DSP::Component::GetNumBoolParams,
                                      &DSP::Component::GetBoolParamName, "switch");
}

void HostPlugin::ListenForRepairs(DSP::RepairObserver* observer) {
    for (DSP::Component* component : Components()) {
        if (auto* restoration = dynamic_cast<DSP::Restoration::Restoration*>(component))
            restoration->SetRepairObserver(observer);
    }
}
