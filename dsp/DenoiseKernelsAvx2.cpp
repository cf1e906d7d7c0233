// The reducer's per-bin loops for the Avx2 level; CMakeLists.txt gives this file its
// target flags.
#include "dsp/DenoiseLoops.inl"

const DenoiseKernels& DenoiseKernelsAvx2() {
    return kKernels;
}
