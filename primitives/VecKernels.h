#pragma once
// The hot vector operations of Vec.h, compiled once per instruction-set level
// (VecKernelsSse2.cpp, VecKernelsAvx2.cpp and VecKernelsAvx512.cpp from the same
// VecLoops.inl; every operation treats each element alike, so all levels give the same
// bits, and 16 lanes take the exp and log of a spectrum in half the time). Vec.h's
// functions call the table chosen through SimdDispatch at their first use; tests
// call the tables directly to compare the levels. Null pointers and counts of 0
// or less are handled by Vec.h, not here.

// From SimdDispatch.h, which the wide translation units need not see.
enum class SimdLevel;

struct VecKernels {
    void (*add)(int n, const float* src, float* srcDst);
    void (*addProduct)(int n, const float* a, const float* b, float* srcDst);
    void (*addScaled)(int n, const float* src, float* srcDst, float c);
    void (*mul)(int n, const float* a, const float* b, float* dst);
    void (*exp)(int n, const float* src, float* dst);
    void (*log)(int n, const float* src, float* dst);
    void (*correlate)(int n, const float* src, const float* taps, float* dst, int tapCount);
    void (*convolve)(int n, const float* src, const float* taps, float* dst, int tapCount);
    void (*lagProducts)(int n, const double* src, int maxLag, double* dst);
};

const VecKernels& VecKernelsSse2();
const VecKernels& VecKernelsAvx2();
const VecKernels& VecKernelsAvx512();
const VecKernels& VecKernelsFor(SimdLevel level);
