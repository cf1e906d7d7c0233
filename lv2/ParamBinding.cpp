#include "lv2/ParamBinding.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/Component.h"
#include "core/Plugin.h"

namespace Lv2 {

ParamBinding::ParamBinding(const Plugin& plugin, const char* name, bool isSwitch)
    : isSwitch(isSwitch) {
    for (DSP::Component* c : plugin.Components()) {
        const std::uint32_t count = isSwitch ? c->GetNumBoolParams() : c->GetNumFloatParams();
        for (std::uint32_t i = 0; i < count; ++i) {
            const SharedString& found = isSwitch ? c->GetBoolParamName(i) : c->GetFloatParamName(i);
            if (found.Text() != std::string_view(name)) continue;
            component = c;
            index = i;
            return;
        }
    }
    throw std::logic_error(std::string("the effect has no parameter \"") + name + "\"");
}

void ParamBinding::Set(float value) const {
    if (isSwitch) {
        component->SetBoolParam(index, value > 0.5f);
    } else {
        component->SetFloatParam(index, std::clamp(value, Minimum(), Maximum()));
    }
}

float ParamBinding::Get() const {
    if (isSwitch) return component->GetBoolParam(index) ? 1.0f : 0.0f;
    return component->GetFloatParam(index);
}

float ParamBinding::Default() const {
    if (isSwitch) return component->GetBoolParamDefault(index) ? 1.0f : 0.0f;
    return component->GetFloatParamDefault(index);
}

float ParamBinding::Minimum() const {
    return isSwitch ? 0.0f : component->GetFloatParamRange(index).minimum;
}

float ParamBinding::Maximum() const {
    return isSwitch ? 1.0f : component->GetFloatParamRange(index).maximum;
}

} // namespace Lv2
