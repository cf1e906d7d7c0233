#pragma once
// The plug-ins' control ports, after the audio ports (inputs, then outputs), in the same
// order in the stereo and the mono plug-in; "mono" exists only in the stereo one. Each
// control port drives the effect's parameter of the name the command line shows, except
// "enabled" (the host's bypass), "latency" (an output) and "quality" (the reducer's
// quality, an option of the host: 0 standard, 1 high).

#include <array>
#include <cstddef>
#include <cstdint>

namespace Lv2 {

enum class Control : std::uint32_t {
    amount,
    sensitivity,
    declickSensitivity,
    denoise,
    declick,
    declip,
    noiseOnly,
    train,
    enabled,
    latency,
    quality,
    mono,
};
inline constexpr std::size_t controlCount = 12;

struct ControlPort {
    const char* symbol;
    // The effect's parameter; null for enabled, latency and quality.
    const char* param;
    bool isSwitch;
};

inline constexpr std::array<ControlPort, controlCount> controlPorts{{
    {"amount", "Reduction Amount", false},
    {"sensitivity", "Reduction Sensitivity", false},
    {"declick_sensitivity", "Declick Sensitivity", false},
    {"denoise", "Enable Reduction", true},
    {"declick", "Enable Declicking", true},
    {"declip", "Enable declipping", true},
    {"noise_only", "Restoration: Keep only noise", true},
    {"train", "Train", true},
    {"enabled", nullptr, true},
    {"latency", nullptr, false},
    {"quality", nullptr, false},
    {"mono", "Global: Process As Mono", true},
}};

constexpr std::size_t Index(Control control) {
    return std::size_t(control);
}

// Control ports of a plug-in with this many channels, and the index of the first.
constexpr std::uint32_t ControlPortCount(std::uint32_t channels) {
    return std::uint32_t(channels == 2 ? controlCount : controlCount - 1);
}
constexpr std::uint32_t FirstControlPort(std::uint32_t channels) {
    return 2 * channels;
}

} // namespace Lv2
