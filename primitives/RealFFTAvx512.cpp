// The real FFT's passes for the Avx512 level; CMakeLists.txt gives this file its target flags.
#include "primitives/RealFFTPasses.inl"

const RealFFTKernels& RealFFTKernelsAvx512() {
    static constexpr RealFFTKernels kernels{Forward, Inverse};
    return kernels;
}
