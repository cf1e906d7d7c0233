#include "primitives/VecLogAmplitude.h"

#include "primitives/SimdDispatch.h"

LogAmplitudeGainsKernel LogAmplitudeGainsFor(SimdLevel level) {
    static const PerSimdLevel<LogAmplitudeGainsKernel (*)()> tables{LogAmplitudeGainsSse2,
                                                                    LogAmplitudeGainsAvx2};
    return tables.For(level)();
}

void VecLogAmplitudeGains(int n, const LogAmplitudeGainRows& rows,
                          const LogAmplitudeGainSettings& settings, float* gain) {
    static const LogAmplitudeGainsKernel chosen = LogAmplitudeGainsFor(ActiveSimdLevel());
    if (n <= 0) return;
    chosen(n, rows, settings, gain);
}
