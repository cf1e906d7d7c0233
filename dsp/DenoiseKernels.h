#pragma once
// The reducer's per-bin loops, compiled once per instruction-set level
// (DenoiseKernelsSse2.cpp, DenoiseKernelsAvx2.cpp and DenoiseKernelsAvx512.cpp from the
// same DenoiseLoops.inl); Denoise picks one table at Setup through SimdDispatch. Every
// loop treats each bin alike with correctly rounded operations and no contracted
// multiply-adds, so all levels give the same bits.

// From SimdDispatch.h, which the wide translation units need not see.
enum class SimdLevel;

struct DenoiseKernels {
    // Spectral subtraction with exponent 1.5 of the noise magnitude from the magnitude of
    // each bin of the CCS spectrum (2 count floats), floored; bins that do not clear the
    // gate get the floor.
    void (*rawGain)(int count, const float* spectrum, const float* noise, const float* gate,
                    const float* floorGain, float* gain);
    // The smoothed level of each bin in dB from its ratio to the neighbourhood (in
    // ratioDb, overwritten), its own level gainDb and its floor.
    void (*smoothLevels)(int count, const float* gainDb, const float* floorDb, float* ratioDb);
    // y = the level limited to -reduction ... 0 dB and to at most `step` dB below previous.
    void (*limitAndRelease)(int count, const float* x, const float* reduction,
                            const float* previous, float step, float* y);
    // 20 log10 from ln: db = ln * 20 / ln 10, -400 dB where the amplitude is below 1e-20.
    void (*lnToDb)(int count, const float* amplitude, float* db);
    // The exponent e^x of 10^(db / 20).
    void (*dbToExponent)(int count, const float* db, float* exponent);
    // Both floats of each bin of a CCS spectrum times the bin's gain.
    void (*applyGain)(int count, const float* gain, float* spectrum);
};

const DenoiseKernels& DenoiseKernelsSse2();
const DenoiseKernels& DenoiseKernelsAvx2();
const DenoiseKernels& DenoiseKernelsAvx512();

// The table for `level` (the nearest one below on builds without it).
const DenoiseKernels& DenoiseKernelsFor(SimdLevel level);
