// The hot vector loops for the baseline level (SSE2, which every x86-64 has).
#include "primitives/VecLoops.inl"

const VecKernels& VecKernelsSse2() {
    return kKernels;
}
