#pragma once
// The presets that come with the effect. There is one, "Default": every parameter at its
// default value, with the noise profile learnt so far kept.

#include <cstdint>

#include "Util/SharedString.h"

class Plugin;

namespace Preset {

constexpr std::uint32_t builtInCount = 1;

// Empty outside 0 ... builtInCount - 1.
SharedString BuiltInName(std::uint32_t index);
// Applies the preset and tells an attached editor that the state changed. False, with
// nothing changed, outside the range.
bool ApplyBuiltIn(Plugin& plugin, std::uint32_t index);

} // namespace Preset
