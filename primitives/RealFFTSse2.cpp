// The real FFT's passes for the baseline level (SSE2, which every x86-64 has).
#include "primitives/RealFFTPasses.inl"

const RealFFTKernels& RealFFTKernelsSse2() {
    static constexpr RealFFTKernels kernels{Forward, Inverse};
    return kernels;
}
