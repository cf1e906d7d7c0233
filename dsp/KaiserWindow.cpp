#include "dsp/KaiserWindow.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace DSP {

double BesselI0(double x) {
    // Power series sum of ((x/2)^k / k!)^2; converges for every finite x.
    const double quarterSquare = 0.25 * x * x;
    double term = 1.0;
    double sum = 1.0;
    for (int k = 1; term > 1e-17 * sum; ++k) {
        term *= quarterSquare / (double(k) * k);
        sum += term;
    }
    return sum;
}

std::vector<double> KaiserBesselDerivedWindow(int length, double alpha) {
    const int half = length / 2;
    std::vector<double> kernel(half + 1);
    for (int j = 0; j <= half; ++j) {
        const double t = 4.0 * j / length - 1.0;
        kernel[j] = BesselI0(std::numbers::pi * alpha * std::sqrt(std::max(0.0, 1.0 - t * t)));
    }
    std::vector<double> runningSum(half);
    double sum = 0.0;
    for (int j = 0; j < half; ++j) {
        sum += kernel[j];
        runningSum[j] = sum;
    }
    const double total = sum + kernel[half];
    std::vector<double> window(length, 0.0);
    for (int j = 0; j < half; ++j) {
        window[j] = std::sqrt(runningSum[j] / total);
        window[length - 1 - j] = window[j];
    }
    return window;
}

std::vector<double> KaiserWindow(int length, double beta) {
    const double centre = 0.5 * (length - 1);
    const double scale = 1.0 / BesselI0(beta);
    std::vector<double> window(length);
    for (int i = 0; i < length; ++i) {
        const double t = (i - centre) / centre;
        window[i] = BesselI0(beta * std::sqrt(std::max(0.0, 1.0 - t * t))) * scale;
    }
    return window;
}

} // namespace DSP
