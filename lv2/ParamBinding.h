#pragma once
// One of the effect's parameters found by its name, seen as an LV2 control value: a
// float for a slider, 0 or 1 for a switch.

#include <cstdint>

class Plugin;

namespace DSP {
class Component;
}

namespace Lv2 {

class ParamBinding {
public:
    ParamBinding() = default;
    // Throws std::logic_error when no component has a parameter of that name and kind.
    ParamBinding(const Plugin& plugin, const char* name, bool isSwitch);

    bool Bound() const { return component != nullptr; }
    // A slider value is clamped to its range; a switch is on above 0.5.
    void Set(float value) const;
    float Get() const;
    float Default() const;
    float Minimum() const;
    float Maximum() const;

private:
    DSP::Component* component = nullptr;
    std::uint32_t index = 0;
    bool isSwitch = false;
};

} // namespace Lv2
