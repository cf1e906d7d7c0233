#include "dsp/NoiseProfileScale.h"

#include "dsp/Decibels.h"
#include "dsp/KaiserWindow.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace DSP {

namespace {

constexpr double trainingWindowBeta = 8.0;

// E|X|^2 / (mean |X| as the profile counts it)^2: 1/pi for a Rayleigh bin counted twice,
// pi/2 for a half-normal end bin.
double PowerPerSquaredMean(int bin, int frameSize) {
    const bool end = bin == 0 || bin == frameSize / 2;
    return end ? std::numbers::pi / 2.0 : 1.0 / std::numbers::pi;
}

} // namespace

NoiseProfileScale::NoiseProfileScale(int size) : frameSize(size) {
    const std::vector<double> window = KaiserWindow(size, trainingWindowBeta);
    double sum = 0.0;
    double squares = 0.0;
    for (double w : window) {
        sum += w;
        squares += w * w;
    }
    // The training scales the window to a mean of 1.
    const double scale = size / sum;
    windowEnergy = squares * scale * scale;
}

float NoiseProfileScale::Variance(float db, int bin) const {
    const double mean = DbToAmplitude(db);
    return float(mean * mean * PowerPerSquaredMean(bin, frameSize) / windowEnergy);
}

float NoiseProfileScale::ProfileDb(float variance, int bin) const {
    const double power = double(variance) * windowEnergy;
    return AmplitudeToDb(float(std::sqrt(power / PowerPerSquaredMean(bin, frameSize))));
}

} // namespace DSP
