#include "core/Presets.h"

#include "core/Plugin.h"

namespace Preset {

SharedString BuiltInName(std::uint32_t index) {
    return index == 0 ? SharedString("Default") : SharedString();
}

bool ApplyBuiltIn(Plugin& plugin, std::uint32_t index) {
    if (index >= builtInCount) return false;
    plugin.ApplyState(plugin.MakeDefaultState(), true);
    plugin.NotifyEditor(EditorNotification::StateChanged);
    return true;
}

} // namespace Preset
