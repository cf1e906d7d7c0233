#pragma once
// What the user chose for the plug-in's parameters on the command line, and the table
// that ties each option to the parameter it sets. A choice left unset keeps the value
// the plug-in already has (its default, or what a loaded profile gave it).

#include <array>
#include <optional>
#include <string_view>

class Plugin;

namespace ParamName {
inline constexpr const char* reductionAmount = "Reduction Amount";
inline constexpr const char* reductionSensitivity = "Reduction Sensitivity";
inline constexpr const char* declickSensitivity = "Declick Sensitivity";
inline constexpr const char* bypass = "Restoration Bypass";
inline constexpr const char* enableReduction = "Enable Reduction";
inline constexpr const char* enableDeclicking = "Enable Declicking";
inline constexpr const char* enableDeclipping = "Enable declipping";
inline constexpr const char* train = "Train";
inline constexpr const char* keepOnlyNoise = "Restoration: Keep only noise";
inline constexpr const char* processAsMono = "Global: Process As Mono";
} // namespace ParamName

struct Settings {
    std::optional<float> amount;
    std::optional<float> sensitivity;
    std::optional<float> declickSensitivity;
    std::optional<bool> denoise;
    std::optional<bool> declick;
    std::optional<bool> declip;
    std::optional<bool> noiseOnly;
    std::optional<bool> mono;
};

// A slider: the option takes a value from 0 to 1.
struct SliderOption {
    std::string_view option;
    const char* param;
    std::optional<float> Settings::*field;
    const char* help;
};

// A switch: the option alone sets the parameter to `value`.
struct SwitchOption {
    std::string_view option;
    const char* param;
    bool value;
    std::optional<bool> Settings::*field;
    const char* help;
};

inline constexpr std::array<SliderOption, 3> sliderOptions{{
    {"--amount", ParamName::reductionAmount, &Settings::amount,
     "noise reduction amount, 0 to 1 (default 0.5)"},
    {"--sensitivity", ParamName::reductionSensitivity, &Settings::sensitivity,
     "noise reduction sensitivity, 0 to 1 (default 0.5)"},
    {"--declick-sensitivity", ParamName::declickSensitivity, &Settings::declickSensitivity,
     "click detection sensitivity, 0 to 1 (default 0.5)"},
}};

inline constexpr std::array<SwitchOption, 5> switchOptions{{
    {"--no-denoise", ParamName::enableReduction, false, &Settings::denoise,
     "switch noise reduction off"},
    {"--no-declick", ParamName::enableDeclicking, false, &Settings::declick,
     "switch declicking off"},
    {"--no-declip", ParamName::enableDeclipping, false, &Settings::declip, "switch declipping off"},
    {"--noise-only", ParamName::keepOnlyNoise, true, &Settings::noiseOnly,
     "output only what the stages removed"},
    {"--mono", ParamName::processAsMono, true, &Settings::mono, "process stereo as mono"},
}};

// Writes every choice that is set into the plug-in's parameters.
void ApplySettings(const Settings& settings, Plugin& plugin);
