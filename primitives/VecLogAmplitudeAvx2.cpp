// The log-spectral amplitude gains for the Avx2 level; CMakeLists.txt gives this file its
// target flags.
#include "primitives/VecLogAmplitude.inl"

LogAmplitudeGainsKernel LogAmplitudeGainsAvx2() {
    return LogAmplitudeGains;
}
