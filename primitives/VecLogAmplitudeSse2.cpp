// The log-spectral amplitude gains for the baseline level (SSE2).
#include "primitives/VecLogAmplitude.inl"

LogAmplitudeGainsKernel LogAmplitudeGainsSse2() {
    return LogAmplitudeGains;
}
