// The real FFT's passes for the Avx2 level; CMakeLists.txt gives this file its target flags.
#include "primitives/RealFFTPasses.inl"

const RealFFTKernels& RealFFTKernelsAvx2() {
    static constexpr RealFFTKernels kernels{Forward, Inverse};
    return kernels;
}
