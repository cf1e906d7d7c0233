// The hot vector loops for the Avx2 level; CMakeLists.txt gives this file its target flags.
#include "primitives/VecLoops.inl"

const VecKernels& VecKernelsAvx2() {
    return kKernels;
}
