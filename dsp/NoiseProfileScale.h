#pragma once
// Conversions between the noise reducer's learnt profile and noise power.
//
// A profile value is 20 log10 of the mean amplitude that Denoise's training measures in one
// bin of a frame of N samples: a Kaiser window (beta 8) scaled to a mean of 1, the one-sided
// amplitude 2|X_k| for 0 < k < N/2 and |X_k| at both ends. For Gaussian noise |X_k| is
// Rayleigh distributed inside the spectrum and half-normal at the ends, which ties the mean
// amplitude to the noise variance per sample in that bin (its power spectral density):
// E|X_k|^2 = variance * sum of w^2 over the window.

namespace DSP {

class NoiseProfileScale {
public:
    explicit NoiseProfileScale(int frameSize);

    // Noise variance per sample in bin k of the profile value `db`.
    float Variance(float db, int bin) const;
    // The profile value that noise of `variance` per sample in bin k trains to.
    float ProfileDb(float variance, int bin) const;

    int frameSize;
    // Sum of the squared training window.
    double windowEnergy;
};

} // namespace DSP
