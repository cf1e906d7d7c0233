#include "support/Measures.h"

#include <algorithm>
#include <cmath>

double EnergyDb(double energy) {
    return 10.0 * std::log10(std::max(energy, 1e-30));
}

double Energy(const float* signal, std::size_t count) {
    double energy = 0.0;
    for (std::size_t i = 0; i < count; ++i)
        energy += double(signal[i]) * signal[i];
    return energy;
}

void ErrorEnergy::Add(const float* cleanSamples, const float* signal, std::size_t count,
                      double signalGain) {
    for (std::size_t i = 0; i < count; ++i) {
        reference += double(cleanSamples[i]) * cleanSamples[i];
        const double difference = signalGain * signal[i] - cleanSamples[i];
        error += difference * difference;
    }
    samples += count;
}

double SnrDb(const std::vector<float>& reference, const std::vector<float>& signal) {
    ErrorEnergy energy;
    energy.Add(reference.data(), signal.data(), reference.size());
    return energy.SnrDb();
}
