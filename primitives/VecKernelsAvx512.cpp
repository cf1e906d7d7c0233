// The hot vector loops for the Avx512 level; CMakeLists.txt gives this file its target flags.
#include "primitives/VecLoops.inl"

const VecKernels& VecKernelsAvx512() {
    return kKernels;
}
