#include "apps/Settings.h"

#include "apps/HostPlugin.h"

void ApplySettings(const Settings& settings, Plugin& plugin) {
    for (const SliderOption& slider : sliderOptions) {
        if (const auto& value = settings.*slider.field)
            FloatParamRef(plugin, slider.param).Set(*value);
    }
    for (const SwitchOption& option : switchOptions) {
        if (const auto& value = settings.*option.field)
            BoolParamRef(plugin, option.param).Set(*value);
    }
}
