#include "apps/LongTermLevels.h"

#include <algorithm>
#include <cmath>

#include "dsp/Decibels.h"
#include "dsp/KaiserWindow.h"

namespace {

constexpr double windowBeta = 8.0;

} // namespace

LongTermLevels::LongTermLevels(int size, std::int64_t streamFrames)
    : size(size), hop(std::max<std::int64_t>(size / 2, streamFrames / maxFrames)),
      window(std::size_t(size)), frame(std::size_t(size)), spectrum(std::size_t(size) + 2),
      sum(std::size_t(size / 2 + 1), 0.0) {
    fft.Init(size);
    const std::vector<double> kaiser = DSP::KaiserWindow(size, windowBeta);
    double total = 0.0;
    for (double w : kaiser)
        total += w;
    for (int i = 0; i < size; ++i)
        window[std::size_t(i)] = float(kaiser[std::size_t(i)] * size / total);
}

void LongTermLevels::Add(const std::vector<const float*>& channelFrames) {
    const int half = size / 2;
    for (const float* samples : channelFrames) {
        for (int i = 0; i < size; ++i)
            frame[std::size_t(i)] = samples[i] * window[std::size_t(i)];
        fft.Forward(frame.data(), spectrum.data());
        sum[0] += std::fabs(spectrum[0]);
        for (int k = 1; k < half; ++k)
            sum[std::size_t(k)] +=
                2.0 * std::hypot(spectrum[std::size_t(2 * k)], spectrum[std::size_t(2 * k + 1)]);
        sum[std::size_t(half)] += std::fabs(spectrum[std::size_t(size)]);
        ++measured;
    }
    nextStart += hop;
}

std::vector<float> LongTermLevels::LevelsDb() const {
    std::vector<float> levels(sum.size());
    for (std::size_t k = 0; k < sum.size(); ++k)
        levels[k] = DSP::AmplitudeToDb(measured ? float(sum[k] / double(measured)) : 0.0f);
    return levels;
}
