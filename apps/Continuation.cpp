#include "apps/Continuation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// About 46 ms at 44.1 kHz: long enough for a model of order 32 to resolve notes,
// short enough to describe only the sound at the very end.
constexpr int historyFrames = 2048;
constexpr int order = 32;
// The same file gives the same output on every run.
constexpr std::uint32_t randomSeed = 5489;

} // namespace

Continuation::Continuation(int channelCount, int maxFrames)
    : channels(std::size_t(channelCount)), forward(historyFrames), backward(historyFrames),
      model(order + 1), random(randomSeed) {
    for (Channel& channel : channels) {
        channel.history.assign(std::size_t(historyFrames + maxFrames), 0.0f);
        channel.coefficients.assign(order + 1, 0.0f);
    }
}

void Continuation::Remember(int frames, const float* left, const float* right) {
    const float* sources[] = {left, right};
    for (std::size_t c = 0; c < channels.size(); ++c) {
        std::vector<float>& history = channels[c].history;
        const int kept = std::min(frames, historyFrames);
        const float* newest = sources[c] + (frames - kept);
        std::copy(history.begin() + kept, history.begin() + historyFrames, history.begin());
        std::transform(newest, newest + kept, history.begin() + (historyFrames - kept),
                       [](float x) { return std::isfinite(x) ? x : 0.0f; });
    }
}

void Continuation::Continue(int frames, float* left, float* right) {
    if (!fitted) {
        for (Channel& channel : channels)
            Fit(channel);
        fitted = true;
    }
    float* outputs[] = {left, right};
    for (std::size_t c = 0; c < channels.size(); ++c) {
        Predict(channels[c], frames, outputs[c]);
    }
}

// Burg's method on the last stretch, in double: it fits the stretch without assuming
// anything outside it, so tones go on at their level, and its reflection coefficients
// never exceed 1, so the continuation does not grow. A stretch it cannot describe
// (silence, or levels beyond what the arithmetic holds) continues as silence.
void Continuation::Fit(Channel& channel) {
    std::copy(channel.history.begin(), channel.history.begin() + historyFrames, forward.begin());
    std::copy(channel.history.begin(), channel.history.begin() + historyFrames, backward.begin());
    std::fill(model.begin(), model.end(), 0.0);
    model[0] = 1.0;
    const int n = historyFrames;
    for (int k = 0; k < order; ++k) {
        double numerator = 0.0;
        double denominator = 0.0;
        for (int i = 0; i < n - k - 1; ++i) {
            numerator += forward[std::size_t(i + k + 1)] * backward[std::size_t(i)];
            denominator += forward[std::size_t(i + k + 1)] * forward[std::size_t(i + k + 1)] +
                           backward[std::size_t(i)] * backward[std::size_t(i)];
        }
        const double reflection = denominator > 0.0 ? -2.0 * numerator / denominator : 0.0;
        for (int i = 0; i <= (k + 1) / 2; ++i) {
            const double low = model[std::size_t(i)];
            const double high = model[std::size_t(k + 1 - i)];
            model[std::size_t(i)] = low + reflection * high;
            model[std::size_t(k + 1 - i)] = high + reflection * low;
        }
        for (int i = 0; i < n - k - 1; ++i) {
            const double f = forward[std::size_t(i + k + 1)];
            const double b = backward[std::size_t(i)];
            forward[std::size_t(i + k + 1)] = f + reflection * b;
            backward[std::size_t(i)] = b + reflection * f;
        }
    }
    const bool usable =
        std::all_of(model.begin(), model.end(), [](double a) { return std::isfinite(a); });
    for (int j = 1; j <= order; ++j)
        channel.coefficients[std::size_t(j)] = usable ? float(-model[std::size_t(j)]) : 0.0f;
    channel.excitation = usable ? ResidualLevel(channel) : 0.0;
}

// The RMS of what the model does not predict over the last stretch: the level of the
// noise that drives the continuation, so that it goes on as noisy as the signal was.
double Continuation::ResidualLevel(const Channel& channel) const {
    const float* x = channel.history.data();
    double sum = 0.0;
    for (int n = order; n < historyFrames; ++n) {
        double error = x[n];
        for (int j = 1; j <= order; ++j)
            error -= double(channel.coefficients[std::size_t(j)]) * x[n - j];
        sum += error * error;
    }
    const double level = std::sqrt(sum / (historyFrames - order));
    return std::isfinite(level) ? level : 0.0;
}

// x[n] = a1·x[n−1] + … + ap·x[n−p] + e[n], with e white noise at the residual level,
// run on past the history, which then moves on by the frames made.
void Continuation::Predict(Channel& channel, int frames, float* out) {
    float* x = channel.history.data();
    for (int n = historyFrames; n < historyFrames + frames; ++n) {
        double prediction = 0.0;
        for (int j = 1; j <= order; ++j)
            prediction += double(channel.coefficients[std::size_t(j)]) * x[n - j];
        x[n] = float(prediction + channel.excitation * noise(random));
    }
    std::copy(x + historyFrames, x + historyFrames + frames, out);
    std::copy(x + frames, x + historyFrames + frames, x);
}
