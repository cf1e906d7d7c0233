#pragma once
// Autoregressive modelling of a signal segment. Convention: the prediction of x[n]
// is a1·x[n−1] + … + ap·x[n−p]; a coefficient array holds a0 … ap with a0 = 1.

#include "primitives/RealFFT.h"

#include <cstdint>
#include <vector>

// Autocorrelation of a segment with the DC term removed:
// r[k] = Σ x[n]·x[n+k] − (Σ x[n])² / fftSize. A few lags are summed directly; many go
// through a zero-padded real FFT of at least twice the segment's length, so that every
// lag below that length is free of wrap-around.
class Autocorrelator {
public:
    // Prepares for segments of length samples; allocates everything Compute needs.
    void Configure(int length);
    // Writes r[0 … maxLag] of count samples. count −1 means `length`, maxLag −1 means
    // count − 1. Requires count <= fftSize and maxLag < fftSize.
    void Compute(const float* samples, float* result, int maxLag = -1, int count = -1);

    std::uint32_t length = 0;
    std::uint32_t fftSize = 0;
    std::uint32_t binCount = 0;
    RealFFT fft;
    std::vector<float> timeBuffer;
    std::vector<float> spectrum;
    // The segment in double and the direct sums of its first lags.
    std::vector<double> segment;
    std::vector<double> lagSums;

private:
    void ComputeDirectly(const float* samples, float* result, int maxLag, int count);
};

// Levinson-Durbin recursion in double precision: AR coefficients a[0 … order] from the
// autocorrelation r[0 … order]. A silent segment (r0 = 0) gives a0 = 1 and zeros.
// work is scratch storage that grows to 2·(order + 1) values and is kept by the caller.
void EstimateAR(int order, const float* autocorrelation, float* coefficients,
                std::vector<double>& work);
