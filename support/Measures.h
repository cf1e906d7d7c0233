#pragma once
// How close a processed signal comes to a clean reference, for the demo, the tests and
// the benchmarks: energies summed over any number of stretches and channels, and the
// signal-to-error ratio in dB.

#include <cstddef>
#include <vector>

// 10 log10 of an energy, at least -300 dB.
double EnergyDb(double energy);
// Sum of the squared samples.
double Energy(const float* signal, std::size_t count);

class ErrorEnergy {
public:
    // Adds count samples: the reference's energy and that of signalGain * signal minus
    // the reference.
    void Add(const float* reference, const float* signal, std::size_t count,
             double signalGain = 1.0);
    // Reference energy over error energy, in dB.
    double SnrDb() const { return EnergyDb(reference) - EnergyDb(error); }
    // The mean error power per sample in dB (full scale 0 dB), for where the reference is
    // silent and only the damage is left.
    double ErrorLevelDb() const { return EnergyDb(error / double(samples)); }
    double ReferenceEnergy() const { return reference; }

private:
    double reference = 0.0;
    double error = 0.0;
    std::size_t samples = 0;
};

// The ratio over two whole mono signals of the reference's length.
double SnrDb(const std::vector<float>& reference, const std::vector<float>& signal);
