#include "dsp/LogAmplitudeDenoise.h"

#include "dsp/Decibels.h"
#include "dsp/Denoise.h"
#include "dsp/NoiseProfileScale.h"
#include "primitives/Vec.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The a priori SNR never goes below -25 dB, which bounds how deep the estimator itself cuts.
constexpr float smallestPrioriSnr = 0.00316f;
// Smoothing over time of the a priori SNR that decides whether a bin holds signal, and the
// range (dB) over which that smoothed SNR moves the bin from "noise only" to "signal likely".
constexpr float presenceSmoothing = 0.7f;
constexpr float presenceLowDb = -6.0f;
constexpr float presenceHighDb = 3.0f;
// The same over the mean of 2 presenceBandHalf + 1 bins around: a lone cluster of noise
// bins that happen to stand out does not lift a whole band.
constexpr int presenceBandHalf = 15;
constexpr float bandLowDb = -7.0f;
constexpr float bandHighDb = -3.0f;
// The smoothed clean power of a bin stays below this many times its own, so that a strong
// neighbour does not open the gain of a weak bin beside it.
constexpr float peakLimit = 3.0f;
// Below this probability of signal presence the mixed gain lies within 0.02 dB of the floor
// at any amount, and the bin takes the floor.
constexpr float unlikelyPresence = 1e-3f;
// The largest a priori probability that a bin holds no signal.
constexpr float largestAbsence = 0.9999f;

// exp(E1(v) / 2) sampled at `tableSteps` points per octave of v from 2^tableLowest to
// 2^tableHighest; above that E1 is below 1e-28 and the factor is 1.
constexpr int tableLowest = -20;
constexpr int tableHighest = 6;
constexpr int tableSteps = 32;
constexpr int tableSize = (tableHighest - tableLowest) * tableSteps + 1;

// The exponential integral E1(x) for x > 0: its power series up to 1, a continued fraction
// beyond.
double ExponentialIntegral(double x) {
    if (x <= 1.0) {
        double sum = 0.0;
        double term = 1.0;
        for (int k = 1; k < 40; ++k) {
            term *= -x / k;
            sum -= term / k;
        }
        return -std::numbers::egamma - std::log(x) + sum;
    }
    double b = x + 1.0;
    double c = 1e300;
    double d = 1.0 / b;
    double h = d;
    for (int i = 1; i < 200; ++i) {
        const double a = -double(i) * i;
        b += 2.0;
        d = 1.0 / (a * d + b);
        c = b + a / c;
        const double delta = c * d;
        h *= delta;
        if (std::fabs(delta - 1.0) < 1e-15) break;
    }
    return h * std::exp(-x);
}

// 0 below lowDb, 1 above highDb, linear in dB between. The bounds come as power ratios too,
// so that most bins, which lie outside them, need no logarithm.
struct Ramp {
    float lowDb;
    float highDb;
    float low = std::pow(10.0f, lowDb / 10.0f);
    float high = std::pow(10.0f, highDb / 10.0f);

    float operator()(float snr) const {
        if (snr <= low) return 0.0f;
        if (snr >= high) return 1.0f;
        return (10.0f * std::log10(snr) - lowDb) / (highDb - lowDb);
    }
};

// present^p floor^(1 - p), the gain under signal presence probability p; where signal is
// certain, without logarithms.
float MixedGain(float p, float present, float logFloor) {
    if (p >= 1.0f) return present;
    return std::exp(p * std::log(std::max(present, 1e-20f)) + (1.0f - p) * logFloor);
}

const std::vector<float>& HalfExpIntegralExpTable() {
    static const std::vector<float> table = [] {
        std::vector<float> values(tableSize);
        for (int i = 0; i < tableSize; ++i) {
            const double v = std::exp2(tableLowest + double(i) / tableSteps);
            values[i] = float(std::exp(0.5 * ExponentialIntegral(v)));
        }
        return values;
    }();
    return table;
}

} // namespace

LogAmplitudeDenoise::LogAmplitudeDenoise() {
    for (std::vector<float>& row : noiseProfile)
        row.assign(Denoise::profileBins, Denoise::defaultProfileDb);
    Setup(2, 44100, 16);
}

float LogAmplitudeDenoise::HalfExpIntegralExp(float v) {
    static const std::vector<float>& table = HalfExpIntegralExpTable();
    const float position = (std::log2(std::max(v, 1e-30f)) - float(tableLowest)) * tableSteps;
    if (position <= 0.0f) return table[0];
    if (position >= float(tableSize - 1)) return 1.0f;
    const int index = int(position);
    const float fraction = position - float(index);
    return table[index] + fraction * (table[index + 1] - table[index]);
}

void LogAmplitudeDenoise::Setup(int channelCount_, int rate, int maxFrames) {
    AudioProcessor::Setup(channelCount_, rate, maxFrames);
    frameSize = Denoise::FrameSizeForRate(rate);
    hop = frameSize / 4;
    binCount = frameSize / 2 + 1;
    latency = frameSize + hop;
    lookAhead = 0;
    profileScale = DSP::NoiseProfileScale(frameSize);
    // The gain's shared table is built here, never on the first processed frame.
    HalfExpIntegralExp(1.0f);
    fft.Init(frameSize);
    // Square-root periodic Hann windows on both sides: their product, a Hann window,
    // overlap-adds to 2 at a quarter-frame hop, hence the 1/2 on synthesis.
    analysisWindow.resize(frameSize);
    synthesisWindow.resize(frameSize);
    for (int i = 0; i < frameSize; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / frameSize);
        analysisWindow[i] = float(std::sqrt(hann));
        synthesisWindow[i] = float(0.5 * std::sqrt(hann));
    }
    frame.resize(frameSize);
    spectrum.resize(frameSize + 2);
    gain.resize(binCount);
    timeSum.resize(binCount);
    newestPower.resize(binCount);
    bandSum.assign(binCount + 1, 0.0);
    snr.resize(binCount);
    channels.resize(channelCount_);
    for (Channel& channel : channels) {
        channel.input.resize(frameSize);
        channel.accumulator.resize(frameSize);
        channel.ready.resize(hop);
        channel.cleanPower.resize(binCount);
        channel.refinedPower.resize(3 * binCount);
        channel.delayedSpectrum.resize(frameSize + 2);
        channel.delayedPower.resize(binCount);
        channel.presence.resize(binCount);
        channel.noisePower.resize(binCount);
    }
    Reset();
    UpdateNoise();
}

void LogAmplitudeDenoise::Reset() {
    hopFill = 0;
    for (Channel& channel : channels) {
        for (auto* values : {&channel.input, &channel.accumulator, &channel.ready,
                             &channel.cleanPower, &channel.refinedPower, &channel.delayedSpectrum,
                             &channel.delayedPower, &channel.presence})
            std::fill(values->begin(), values->end(), 0.0f);
    }
}

void LogAmplitudeDenoise::UpdateNoise() {
    // The analysis window's squares sum to N / 2.
    const float windowEnergy = 0.5f * float(frameSize);
    // A power ratio of sensitivityDb / 2 dB.
    const float offset = DSP::DbToAmplitude(sensitivityDb);
    floorGain = DSP::DbToAmplitude(-reductionDb);
    for (std::size_t c = 0; c < channels.size(); ++c) {
        const std::vector<float>& row = noiseProfile[std::min<std::size_t>(c, 1)];
        for (int k = 0; k < binCount; ++k) {
            const float variance = profileScale.Variance(row[k], k);
            channels[c].noisePower[k] = std::max(variance * windowEnergy * offset, 1e-30f);
        }
    }
}

void LogAmplitudeDenoise::Process(float* const* input, int frames, float* const* output) {
    if (output == nullptr) output = input;
    for (int done = 0; done < frames;) {
        const int count = std::min(hop - hopFill, frames - done);
        for (std::size_t c = 0; c < channels.size(); ++c) {
            Channel& channel = channels[c];
            VecCopy(count, input[c] + done, channel.input.data() + frameSize - hop + hopFill);
            VecCopy(count, channel.ready.data() + hopFill, output[c] + done);
        }
        hopFill += count;
        done += count;
        if (hopFill < hop) break;
        for (Channel& channel : channels)
            ProcessFrame(channel);
        hopFill = 0;
    }
}

// Analyses the newest frame, then computes the gains of the frame before it (whose
// neighbours on both sides are now known) and synthesises that one.
void LogAmplitudeDenoise::ProcessFrame(Channel& channel) {
    const int N = frameSize;
    VecMul(N, channel.input.data(), analysisWindow.data(), frame.data());
    fft.Forward(frame.data(), spectrum.data());
    spectrum[1] = spectrum[N + 1] = 0.0f;
    EstimateCleanPower(channel);
    ComputeGains(channel);
    float* delayed = channel.delayedSpectrum.data();
    for (int k = 0; k < binCount; ++k) {
        delayed[2 * k] *= gain[k];
        delayed[2 * k + 1] *= gain[k];
    }
    fft.Inverse(delayed, frame.data());
    VecCopy(N + 2, spectrum.data(), delayed);
    VecCopy(binCount, newestPower.data(), channel.delayedPower.data());
    VecAddProduct(N, frame.data(), synthesisWindow.data(), channel.accumulator.data());
    float* accumulator = channel.accumulator.data();
    VecCopy(hop, accumulator, channel.ready.data());
    VecMove(N - hop, accumulator + hop, accumulator);
    VecZero(hop, accumulator + N - hop);
    VecMove(N - hop, channel.input.data() + hop, channel.input.data());
}

// For the newest frame: the decision-directed a priori SNR xi from the previous frame's clean
// power and the a posteriori SNR gamma, its Wiener gain g, and the refined clean power
// (g^2 gamma)^2 / (1 + g^2 gamma)^2 * |Y|^2 that the same frame's gain implies.
void LogAmplitudeDenoise::EstimateCleanPower(Channel& channel) {
    const int K = binCount;
    const float alpha = decisionDirectedWeight;
    const float* noise = channel.noisePower.data();
    float* clean = channel.cleanPower.data();
    float* refined = channel.refinedPower.data();
    // The oldest of the three refined rows leaves; the newest is written last.
    VecMove(2 * K, refined + K, refined);
    float* newest = refined + 2 * K;
    float* power = newestPower.data();
    for (int k = 0; k < K; ++k)
        power[k] = spectrum[2 * k] * spectrum[2 * k] + spectrum[2 * k + 1] * spectrum[2 * k + 1];
    for (int k = 0; k < K; ++k) {
        const float inverseNoise = 1.0f / noise[k];
        const float gamma = power[k] * inverseNoise;
        const float xi = std::max(alpha * clean[k] * inverseNoise +
                                      (1.0f - alpha) * std::max(gamma - 1.0f, 0.0f),
                                  smallestPrioriSnr);
        const float g = xi / (1.0f + xi);
        clean[k] = g * g * power[k];
        const float xiRefined = g * g * gamma;
        const float gRefined = xiRefined / (1.0f + xiRefined);
        newest[k] = gRefined * gRefined * power[k];
    }
}

// For the delayed frame: the refined clean power averaged over 3 frames by 3 bins (but at
// most `peakLimit` times its own), the a priori SNR xi it gives, the a posteriori SNR gamma,
// the log-spectral amplitude gain G1 if signal is present and the probability p that it is.
// The gain applied is G1^p * floor^(1 - p), never below the floor.
void LogAmplitudeDenoise::ComputeGains(Channel& channel) {
    const int K = binCount;
    const float logFloor = std::log(floorGain);
    static const Ramp binRamp{presenceLowDb, presenceHighDb};
    static const Ramp bandRamp{bandLowDb, bandHighDb};
    const float* noise = channel.noisePower.data();
    const float* refined = channel.refinedPower.data();
    const float* own = refined + K;
    float* presence = channel.presence.data();
    for (int k = 0; k < K; ++k)
        timeSum[k] = refined[k] + own[k] + refined[2 * K + k];
    // First the smoothed a priori SNR per bin, kept in `presence` over time.
    float* smoothedSnr = snr.data();
    for (int k = 0; k < K; ++k) {
        const float left = timeSum[std::max(k - 1, 0)];
        const float right = timeSum[std::min(k + 1, K - 1)];
        const float smoothed = std::min((left + timeSum[k] + right) / 9.0f, peakLimit * own[k]);
        smoothedSnr[k] = std::max(smoothed / noise[k], smallestPrioriSnr);
    }
    for (int k = 0; k < K; ++k)
        presence[k] = presenceSmoothing * presence[k] + (1.0f - presenceSmoothing) * smoothedSnr[k];
    // Signal is likely where the bin and the wide band around it both stand out.
    double running = 0.0;
    for (int k = 0; k < K; ++k) {
        running += presence[k];
        bandSum[k + 1] = running;
    }
    for (int k = 0; k < K; ++k) {
        const int low = std::clamp(k - presenceBandHalf, 0, K - 2 * presenceBandHalf - 1);
        const int high = low + 2 * presenceBandHalf + 1;
        const float band = float((bandSum[high] - bandSum[low]) / (high - low));
        const float xi = smoothedSnr[k];
        const float power = channel.delayedPower[k];
        const float gamma = power / noise[k];
        const float v = xi * gamma / (1.0f + xi);
        const float likely = binRamp(presence[k]) * bandRamp(band);
        // The likelihood ratio of absence over presence, weighted by the prior odds.
        const float absence = std::min(1.0f - likely, largestAbsence);
        const float odds = absence <= 0.0f ? 0.0f
                                           : absence / (1.0f - absence) * (1.0f + xi) *
                                                 std::exp(-std::min(v, 80.0f));
        const float p = 1.0f / (1.0f + odds);
        if (p < unlikelyPresence) {
            gain[k] = floorGain;
            continue;
        }
        const float present = std::min(1.0f, xi / (1.0f + xi) * HalfExpIntegralExp(v));
        gain[k] = std::max(MixedGain(p, present, logFloor), floorGain);
    }
    // The end bins are real: their power scatters twice as widely as the others' (one degree
    // of freedom, not two), so their own test rings with false alarms; they follow their
    // neighbours, which hold nothing of their own at 0 Hz and at the Nyquist frequency.
    gain[0] = gain[1];
    gain[K - 1] = gain[K - 2];
}
