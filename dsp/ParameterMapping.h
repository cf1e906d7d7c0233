#pragma once
// How the effect's float parameters (0 ... 1, as a host's sliders set them) map to the
// settings of the restoration stages. The plug-in component, the command line, tests
// and benchmarks all go through these, so no one restates a mapping.

#include <algorithm>
#include <cmath>

namespace DSP::Restoration {

// Every float parameter starts at the middle of its range.
inline constexpr float defaultSetting = 0.5f;

// A host or a saved state may hand over any float; the stages take it within the
// sliders' range, and NaN as the middle.
inline float SliderPosition(float value) {
    if (std::isnan(value)) return defaultSetting;
    return std::clamp(value, 0.0f, 1.0f);
}

// "Reduction Amount": 6 ... 30 dB of largest attenuation.
inline float ReductionDb(float amount) {
    return 6.0f + 24.0f * SliderPosition(amount);
}
// "Reduction Sensitivity": the noise threshold moves by -6 ... +6 dB.
inline float SensitivityDb(float sensitivity) {
    return 12.0f * (SliderPosition(sensitivity) - 0.5f);
}
// "Declick Sensitivity": clicks are detected from 0 ... -15 dB above the local error.
inline float DetectionLevelDb(float sensitivity) {
    return -15.0f * SliderPosition(sensitivity);
}

} // namespace DSP::Restoration
