#pragma once
// Window designs shared by the filter bank and the noise reducer's training.

#include <vector>

namespace DSP {

// Modified Bessel function of the first kind, order zero.
double BesselI0(double x);

// Kaiser-Bessel-derived window of the given (even) length and parameter alpha.
// Its two halves satisfy w[j]^2 + w[j + length/2]^2 = 1, so the squared window sums to
// length / 2 and overlapping copies at a quarter or half of its length add up flat.
std::vector<double> KaiserBesselDerivedWindow(int length, double alpha);

// Kaiser window w[i] = I0(beta * sqrt(1 - ((i - c) / c)^2)) / I0(beta), c = (length - 1) / 2.
std::vector<double> KaiserWindow(int length, double beta);

} // namespace DSP
