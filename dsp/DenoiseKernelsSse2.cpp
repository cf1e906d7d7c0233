// The reducer's per-bin loops for the Sse2 level; CMakeLists.txt gives this file its
// target flags.
#include "dsp/DenoiseLoops.inl"

const DenoiseKernels& DenoiseKernelsSse2() {
    return kKernels;
}
