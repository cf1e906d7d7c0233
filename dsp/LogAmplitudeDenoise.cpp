#include "dsp/LogAmplitudeDenoise.h"

#include "dsp/Decibels.h"
#include "dsp/Denoise.h"
#include "dsp/NoiseProfileScale.h"
#include "primitives/Vec.h"
#include "primitives/VecLogAmplitude.h"

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

// The rows of LogAmplitudeDenoise::work, binCount values each, in the order the gain steps
// fill them; the last windowLevels rows hold the partial sums of WindowSums.
enum WorkRow {
    timeSumRow,
    xiRow,
    bandRow,
    windowRow,
    windowLevels = 4,
    rowCount = windowRow + windowLevels,
};
constexpr int bandWidth = 2 * presenceBandHalf + 1;
static_assert(bandWidth < 2 << windowLevels, "WindowSums needs more rows for this band");

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

// dst[j] = src[j] + src[j + 1] + ... + src[j + width - 1] for j = 0 ... n - width, built from
// sums over 2, 4, 8, ... neighbours (each level the sum of two neighbours of the level below)
// that the bits of width pick. `levels` holds one row of n values per doubling below width.
void WindowSums(int n, const float* src, int width, float* levels, float* dst) {
    const int count = n - width + 1;
    VecZero(count, dst);
    const float* level = src;
    int offset = 0;
    for (int span = 1; span <= width; span *= 2) {
        if ((width & span) != 0) {
            VecAdd(count, level + offset, dst);
            offset += span;
        }
        if (2 * span > width) break;
        float* next = levels;
        levels += n;
        for (int j = 0; j + 2 * span <= n; ++j)
            next[j] = level[j] + level[j + span];
        level = next;
    }
}

} // namespace

LogAmplitudeDenoise::LogAmplitudeDenoise() {
    for (std::vector<float>& row : noiseProfile)
        row.assign(Denoise::profileBins, Denoise::defaultProfileDb);
    Setup(2, 44100, 16);
}

float LogAmplitudeDenoise::HalfExpIntegralExp(float v) {
    static const std::vector<float>& table = HalfExpIntegralExpTable();
    const float position =
        std::clamp((std::log2(std::max(v, 1e-30f)) - float(tableLowest)) * tableSteps, 0.0f,
                   float(tableSize - 1));
    const int index = std::min(int(position), tableSize - 2);
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
    gainSettings = {.binLowDb = presenceLowDb,
                    .binHighDb = presenceHighDb,
                    .bandLowDb = bandLowDb,
                    .bandHighDb = bandHighDb,
                    .largestAbsence = largestAbsence,
                    .unlikelyPresence = unlikelyPresence,
                    .floorGain = gainSettings.floorGain,
                    .table = HalfExpIntegralExpTable().data(),
                    .tableSize = tableSize,
                    .tableLowest = tableLowest,
                    .tableSteps = tableSteps};
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
    gain.resize(binCount);
    work.resize(std::size_t(rowCount) * std::size_t(binCount));
    channels.resize(channelCount_);
    for (Channel& channel : channels) {
        channel.input.resize(frameSize);
        channel.accumulator.resize(frameSize);
        channel.ready.resize(hop);
        channel.cleanPower.resize(binCount);
        for (std::vector<float>& row : channel.refinedPower)
            row.resize(binCount);
        channel.spectrum.resize(frameSize + 2);
        channel.power.resize(binCount);
        channel.delayedSpectrum.resize(frameSize + 2);
        channel.delayedPower.resize(binCount);
        channel.presence.resize(binCount);
        channel.inverseNoise.resize(binCount);
    }
    Reset();
    UpdateNoise();
}

void LogAmplitudeDenoise::Reset() {
    hopFill = 0;
    for (Channel& channel : channels) {
        for (auto* values :
             {&channel.input, &channel.accumulator, &channel.ready, &channel.cleanPower,
              &channel.refinedPower[0], &channel.refinedPower[1], &channel.refinedPower[2],
              &channel.spectrum, &channel.power, &channel.delayedSpectrum, &channel.delayedPower,
              &channel.presence})
            std::fill(values->begin(), values->end(), 0.0f);
    }
}

void LogAmplitudeDenoise::UpdateNoise() {
    // The analysis window's squares sum to N / 2.
    const float windowEnergy = 0.5f * float(frameSize);
    // A power ratio of sensitivityDb / 2 dB.
    const float offset = DSP::DbToAmplitude(sensitivityDb);
    gainSettings.floorGain = DSP::DbToAmplitude(-reductionDb);
    for (std::size_t c = 0; c < channels.size(); ++c) {
        const std::vector<float>& row = noiseProfile[std::min<std::size_t>(c, 1)];
        for (int k = 0; k < binCount; ++k) {
            const float variance = profileScale.Variance(row[k], k);
            channels[c].inverseNoise[k] = 1.0f / std::max(variance * windowEnergy * offset, 1e-30f);
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
    float* spectrum = channel.spectrum.data();
    VecMul(N, channel.input.data(), analysisWindow.data(), frame.data());
    fft.Forward(frame.data(), spectrum);
    spectrum[1] = spectrum[N + 1] = 0.0f;
    EstimateCleanPower(channel);
    ComputeGains(channel);
    float* delayed = channel.delayedSpectrum.data();
    for (int k = 0; k < binCount; ++k) {
        delayed[2 * k] *= gain[k];
        delayed[2 * k + 1] *= gain[k];
    }
    fft.Inverse(delayed, frame.data());
    // The newest frame is the delayed one of the next.
    std::swap(channel.spectrum, channel.delayedSpectrum);
    std::swap(channel.power, channel.delayedPower);
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
    const float* spectrum = channel.spectrum.data();
    const float* inverseNoise = channel.inverseNoise.data();
    float* clean = channel.cleanPower.data();
    float* power = channel.power.data();
    // The oldest of the three refined rows leaves; the newest is written last.
    std::swap(channel.refinedPower[0], channel.refinedPower[1]);
    std::swap(channel.refinedPower[1], channel.refinedPower[2]);
    float* newest = channel.refinedPower[2].data();
    for (int k = 0; k < K; ++k)
        power[k] = spectrum[2 * k] * spectrum[2 * k] + spectrum[2 * k + 1] * spectrum[2 * k + 1];
    for (int k = 0; k < K; ++k) {
        const float gamma = power[k] * inverseNoise[k];
        const float xi = std::max(alpha * clean[k] * inverseNoise[k] +
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
    SmoothPrioriSnr(channel);
    BandPresence(channel);
    const LogAmplitudeGainRows rows{Row(xiRow), channel.delayedPower.data(),
                                    channel.inverseNoise.data(), channel.presence.data(),
                                    Row(bandRow)};
    VecLogAmplitudeGains(binCount, rows, gainSettings, gain.data());
    // The end bins are real: their power scatters twice as widely as the others' (one degree
    // of freedom, not two), so their own test rings with false alarms; they follow their
    // neighbours, which hold nothing of their own at 0 Hz and at the Nyquist frequency.
    const int K = binCount;
    gain[0] = gain[1];
    gain[K - 1] = gain[K - 2];
}

// The smoothed a priori SNR per bin (xiRow), and the presence SNR that follows it over time.
void LogAmplitudeDenoise::SmoothPrioriSnr(Channel& channel) {
    const int K = binCount;
    const float* oldest = channel.refinedPower[0].data();
    const float* own = channel.refinedPower[1].data();
    const float* newest = channel.refinedPower[2].data();
    const float* inverseNoise = channel.inverseNoise.data();
    float* timeSum = Row(timeSumRow);
    float* xi = Row(xiRow);
    for (int k = 0; k < K; ++k)
        timeSum[k] = oldest[k] + own[k] + newest[k];
    // The end bins count themselves in place of their missing neighbour.
    const auto smoothed = [&](int k, float left, float right) {
        const float mean = std::min((left + timeSum[k] + right) / 9.0f, peakLimit * own[k]);
        return std::max(mean * inverseNoise[k], smallestPrioriSnr);
    };
    xi[0] = smoothed(0, timeSum[0], timeSum[1]);
    for (int k = 1; k < K - 1; ++k)
        xi[k] = smoothed(k, timeSum[k - 1], timeSum[k + 1]);
    xi[K - 1] = smoothed(K - 1, timeSum[K - 2], timeSum[K - 1]);
    float* presence = channel.presence.data();
    for (int k = 0; k < K; ++k)
        presence[k] = presenceSmoothing * presence[k] + (1.0f - presenceSmoothing) * xi[k];
}

// The band mean of the presence SNR around each bin (bandRow); the bands of the end bins stop
// at the ends and reach further inwards.
void LogAmplitudeDenoise::BandPresence(const Channel& channel) {
    const int K = binCount;
    const int half = presenceBandHalf;
    float* band = Row(bandRow);
    WindowSums(K, channel.presence.data(), bandWidth, Row(windowRow), band + half);
    std::fill(band, band + half, band[half]);
    std::fill(band + K - half, band + K, band[K - half - 1]);
    VecMulC(K, band, 1.0f / float(bandWidth));
}
