// The reducer's per-bin loops for the Avx512 level; CMakeLists.txt gives this file its
// target flags.
#include "dsp/DenoiseLoops.inl"

const DenoiseKernels& DenoiseKernelsAvx512() {
    return kKernels;
}
