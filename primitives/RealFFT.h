#pragma once
// Real FFT of power-of-two size with the packed "CCS" spectrum layout:
//   dst[0] = Re X0, dst[1] = 0, dst[2k], dst[2k+1] = Re Xk, Im Xk (1 <= k < N/2),
//   dst[N] = Re X(N/2), dst[N+1] = 0.
// Forward is unscaled; Inverse reads the same layout (ignoring indices 1 and N+1)
// and scales by 1/N, so Forward followed by Inverse is the identity.

#include "primitives/RealFFTKernels.h"

#include <cstdint>
#include <vector>

class RealFFT {
public:
    RealFFT() = default;
    RealFFT(const RealFFT&) = delete;
    RealFFT& operator=(const RealFFT&) = delete;
    ~RealFFT() = default;

    // Prepares a transform of N points (N a power of two, N >= 2), replacing any earlier one.
    void Init(int size);
    int Size() const { return size; }

    // src: N floats, dst: N + 2 floats (CCS).
    void Forward(const float* src, float* dst);
    // src: N + 2 floats (CCS), dst: N floats scaled by 1/N.
    void Inverse(const float* src, float* dst);

private:
    int size = 0;
    // Length M = N / 2 of the complex transform the real one is built on.
    int half = 0;
    int twiddledPasses = 0;
    // Storage of the tables' arrays, each starting at a cache-line boundary within:
    // per radix-4 pass the three twiddle rows of its butterflies, re and im apart; cos and
    // sin of 2 pi k / N for k < M, used to split and join the half-size spectrum; and two
    // complex vectors of M points, re and im apart (four padded arrays), that the passes
    // alternate between.
    std::vector<float> twiddleStorage;
    std::vector<float> postCosStorage;
    std::vector<float> postSinStorage;
    std::vector<float> workStorage;
    RealFFTTables tables{};
    // The passes for the instruction set chosen at Init.
    const RealFFTKernels* kernels = nullptr;
};
