#pragma once
// The work of RealFFT's Forward and Inverse, compiled once per instruction-set
// level (RealFFTSse2.cpp and RealFFTAvx2.cpp from the same RealFFTPasses.inl);
// RealFFT picks one table at Init through SimdDispatch. AVX-512 runs the AVX2
// passes: 16-lane passes were slower at 8192 and 16384 points on this hardware.
// Every level computes the same transform with the same roundings (nothing is
// contracted into fused multiply-adds), whatever the optimisation level.

#include <cstddef>

// From SimdDispatch.h, which the wide translation units need not see.
enum class SimdLevel;

// The plan RealFFT::Init prepares, as the kernels see it.
struct RealFFTTables {
    // N and M = N / 2.
    int size;
    int half;
    // Radix-4 passes with twiddles before the closing radix-8, radix-4 or radix-2 pass.
    int twiddledPasses;
    // Per twiddled pass of 4m-point sub-transforms: rows w^p, w^2p, w^3p (p < m),
    // each m re values followed by m im values.
    const float* twiddles;
    // cos and -sin of 2 pi k / N for k < M.
    const float* postCos;
    const float* postSin;
    // Four arrays of M floats, `workStride` apart.
    float* work;
    std::size_t workStride;
};

struct RealFFTKernels {
    void (*forward)(const RealFFTTables& tables, const float* src, float* dst);
    void (*inverse)(const RealFFTTables& tables, const float* src, float* dst);
};

const RealFFTKernels& RealFFTKernelsSse2();
const RealFFTKernels& RealFFTKernelsAvx2();

// The table for `level` (the nearest one below on builds without it).
const RealFFTKernels& RealFFTKernelsFor(SimdLevel level);
