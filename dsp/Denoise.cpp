#include "dsp/Denoise.h"

#include "dsp/Decibels.h"
#include "dsp/DenoiseKernels.h"
#include "primitives/SimdDispatch.h"
#include "primitives/Vec.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace {

using DSP::DbToAmplitude;

// Frequencies at which the time-frequency smoothing doubles its width.
constexpr float smoothingBreakpoints[] = {1000.0f, 3000.0f, 8000.0f};
constexpr int smoothingStartWidth = 25;
constexpr float smoothingRatioStep = 0.03f;

// Frames the queues keep in front of each block.
constexpr int spectraTailFrames = 3;
constexpr int rawGainTailFrames = 2;

// The widest soft-maximum kernel, reached at 0 dB of reduction.
int LargestKernelHalf() {
    return int(std::floor(15.0f * 3.0f * Denoise::softSmoothing * Denoise::softSmoothing + 0.5f));
}

} // namespace

const DenoiseKernels& DenoiseKernelsFor(SimdLevel level) {
    static const PerSimdLevel<const DenoiseKernels& (*)()> tables{
        DenoiseKernelsSse2, DenoiseKernelsAvx2, DenoiseKernelsAvx512};
    return tables.For(level)();
}

Denoise::Denoise() {
    for (std::vector<float>& row : noiseProfile)
        row.assign(profileBins, defaultProfileDb);
    EnsureKernels(LargestKernelHalf());
    Setup(2, 44100, 16);
}

int Denoise::FrameSizeForRate(int rate) {
    if (rate >= 120001) return 8192;
    if (rate >= 60001) return 4096;
    if (rate >= 33001) return 2048;
    if (rate >= 17001) return 1024;
    return 512;
}

const std::vector<float>& Denoise::ProfileRow(int channel) const {
    return noiseProfile[std::min<std::size_t>(channel, noiseProfile.size() - 1)];
}

void Denoise::Setup(int channels, int rate, int maxFrames) {
    AudioProcessor::Setup(channels, rate, maxFrames);
    loops = &DenoiseKernelsFor(ActiveSimdLevel());
    frameSize = FrameSizeForRate(rate);
    hop = frameSize / 4;
    binCount = frameSize / 2 + 1;
    framesPerBlock = maxFrames / hop;
    lookAhead = 3 * frameSize / 4;
    filterbank.Setup(channels, rate, maxFrames);
    filterbank.Configure(frameSize, hop, 3.0f);
    AllocateQueues();
    AllocateTraining();
    Reset();
    UpdateCurves();
    latency = frameSize - hop;
}

void Denoise::AllocateQueues() {
    const int K = binCount;
    const int blockValues = framesPerBlock * K;
    scratch.resize(std::size_t(framesPerBlock + 2) * K);
    levels.resize(K);
    spectra.Allocate(channelCount, sampleRate, 2 * blockValues, spectraTailFrames * 2 * K, false);
    rawGain.Allocate(channelCount, sampleRate, blockValues, rawGainTailFrames * K, false);
    smoothedGainDb.Allocate(channelCount, sampleRate, blockValues, K, false);
    finalGainDb.Allocate(channelCount, sampleRate, blockValues, K, false);
    for (auto* curves : {&reductionCurveDb, &floorCurveDb, &offsetCurveDb, &gateMagnitude,
                         &noiseMagnitude, &floorGain}) {
        curves->resize(channelCount);
        for (std::vector<float>& curve : *curves)
            curve.resize(K);
    }
    energyPrefix.assign(std::size_t(framesPerBlock) * (K + 1), 0.0);
    roughness.assign(framesPerBlock, 0.0f);
    // The time-frequency smoothing doubles its width at the bin of each breakpoint.
    smoothingBandStart.assign(1, 0);
    for (int k = 0; k < K; ++k) {
        for (float breakpoint : smoothingBreakpoints) {
            if (filterbank.bandLow[k] <= breakpoint && breakpoint < filterbank.bandHigh[k])
                smoothingBandStart.push_back(k);
        }
    }
    smoothingBandStart.push_back(K);
    // Low frequencies are allowed less reduction: 7 dB per factor e below 3 kHz.
    tilt.resize(K);
    for (int k = 0; k < K; ++k) {
        const float high = filterbank.bandHigh[k];
        tilt[k] = high <= 3000.0f ? 7.0f * std::log(3000.0f / high) : 0.0f;
    }
    bandFactor.resize(K);
    for (int k = 0; k < K; ++k) {
        const float high = filterbank.bandHigh[k];
        bandFactor[k] = high > 5000.0f   ? 5
                        : high > 2000.0f ? 4
                        : high > 500.0f  ? 3
                        : high > 300.0f  ? 2
                        : high > 150.0f  ? 1
                                         : 0;
    }
}

void Denoise::Reset() {
    spectra.Fill(0.0f);
    rawGain.Fill(0.01f);
    smoothedGainDb.Fill(-50.0f);
    finalGainDb.Fill(-50.0f);
}

void Denoise::SetReductionDb(float db) {
    reductionDb = std::max(0.0f, db);
    curvesOutdated = true;
}

void Denoise::SetSensitivityDb(float db) {
    sensitivityDb = db;
    curvesOutdated = true;
}

void Denoise::UpdateCurves() {
    for (int c = 0; c < channelCount; ++c)
        UpdateCurves(c);
    curvesOutdated = false;
}

void Denoise::UpdateCurves(int channel) {
    const int K = binCount;
    const float A = reductionDb;
    const float flatOffset = sensitivityDb - 7.0f;
    const float w = profileWeight;
    const std::vector<float>& P = ProfileRow(channel);
    std::vector<float>& R = reductionCurveDb[channel];
    std::vector<float>& O = offsetCurveDb[channel];

    // Shape the reduction like the tilted noise: full amount where it is loudest.
    float lowest = std::numeric_limits<float>::max();
    for (int k = 0; k < K; ++k)
        lowest = std::min(lowest, tilt[k] - P[k]);
    double sum = 0.0;
    for (int k = 0; k < K; ++k) {
        R[k] = P[k] - tilt[k] + lowest + A;
        sum += R[k];
    }
    const float mean = float(sum / K);
    const float centre = 0.3f * A + 0.7f * mean;
    for (int k = 0; k < K; ++k) {
        float offset = flatOffset;
        if (centre < R[k]) offset += 4.0f * (R[k] - centre) / (A - mean);
        const float reduction = std::max(0.0f, R[k] + 0.5f * (A - mean));
        R[k] = (1.0f - w) * A + w * reduction;
        O[k] = (1.0f - w) * flatOffset + w * offset;
        floorCurveDb[channel][k] = 1.5f * R[k];
    }
    for (int k = 0; k < K; ++k) {
        const float floorDb = floorCurveDb[channel][k];
        gateMagnitude[channel][k] = DbToAmplitude(P[k] + O[k] - floorDb);
        noiseMagnitude[channel][k] = DbToAmplitude(P[k] + O[k]);
        floorGain[channel][k] = DbToAmplitude(-floorDb);
    }
}

void Denoise::Process(float* const* input, int frames, float* const* output) {
    AudioProcessor::Process(input, frames, output);
    assert(frames <= maxBlockSize);
    if (curvesOutdated) UpdateCurves();
    if (output == nullptr) output = input;
    const int blockValues = framesPerBlock * binCount;
    for (DSP::DataTail* queue : {&rawGain, &smoothedGainDb, &finalGainDb})
        queue->fillCount += blockValues;
    filterbank.Analyze(input, frames, spectra.buffers.data(), lookAhead, spectra.fillCount);
    spectra.fillCount += 2 * blockValues;
    for (int c = 0; c < channelCount; ++c) {
        ComputeRawGain(c);
        SmoothTimeFrequency(c);
        if (softSmoothing != 0.0f) SmoothSoftMaximum(c);
        LimitAndRelease(c);
        ApplyGain(c);
    }
    filterbank.Synthesize(output, frames, spectra.buffers.data(), 0, 0);
    for (DSP::DataTail* queue : {&rawGain, &smoothedGainDb, &finalGainDb})
        queue->AdvanceKeepingTail(blockValues);
    spectra.AdvanceKeepingTail(2 * blockValues);
}

// Spectral subtraction with exponent 1.5 against the noise magnitude, floored; bins that do
// not clear the gate get the floor at once.
void Denoise::ComputeRawGain(int channel) {
    const int K = binCount;
    const float* gate = gateMagnitude[channel].data();
    const float* noise = noiseMagnitude[channel].data();
    const float* floorG = floorGain[channel].data();
    for (int f = 0; f < framesPerBlock; ++f) {
        const float* spectrum = spectra.buffers[channel] + (spectraTailFrames + f) * 2 * K;
        float* gain = rawGain.buffers[channel] + (rawGainTailFrames + f) * K;
        loops->rawGain(K, spectrum, noise, gate, floorG, gain);
    }
}

// Each new frame t is judged against the energy of its neighbourhood: frames t ... t + 2 of
// the raw gain and a band of bins that widens with frequency. Above 1 kHz, how far a bin
// stands out of that neighbourhood shifts its level between its own gain and the floor.
void Denoise::SmoothTimeFrequency(int channel) {
    const int K = binCount;
    const float* raw = rawGain.buffers[channel];
    float* squares = scratch.data();
    VecMul((framesPerBlock + 2) * K, raw, raw, squares);
    ComputeEnergyPrefixes(squares);
    float* levelsDb = levels.data();
    const float* floorDb = floorCurveDb[channel].data();
    for (int t = 0; t < framesPerBlock; ++t) {
        const float* gain = raw + (t + 1) * K;
        float* out = smoothedGainDb.buffers[channel] + (t + 1) * K;
        ComputeSmoothingRatios(gain, energyPrefix.data() + t * (K + 1), out);
        AmplitudesToDb(K, gain, levelsDb);
        loops->smoothLevels(K, levelsDb, floorDb, out);
    }
}

// Per frame t of the block, the running sum over the bins of the energy of frames
// t ... t + 2 (rows of squares), K + 1 values from 0. The sums of a few frames run side by
// side: each is a chain of dependent additions, which alone would leave the processor
// waiting.
void Denoise::ComputeEnergyPrefixes(const float* squares) {
    int t = 0;
    for (; t + 4 <= framesPerBlock; t += 4)
        EnergyPrefixes<4>(squares, t);
    for (; t < framesPerBlock; ++t)
        EnergyPrefixes<1>(squares, t);
}

template <int frames> void Denoise::EnergyPrefixes(const float* squares, int first) {
    const int K = binCount;
    double running[frames] = {};
    double* prefix = energyPrefix.data() + first * (K + 1);
    for (int j = 0; j < K; ++j) {
        for (int u = 0; u < frames; ++u) {
            const float* rows = squares + (first + u) * K + j;
            running[u] += double(rows[0]) + rows[K] + rows[2 * K];
            prefix[u * (K + 1) + j + 1] = running[u];
        }
    }
}

// ratio[k] = q * gain[k] / rms of the neighbourhood: 3 frames by W bins around k (from the
// frame's energy prefix), divided by 2W. W and q step at the breakpoints.
void Denoise::ComputeSmoothingRatios(const float* gain, const double* prefix, float* ratio) {
    const int K = binCount;
    for (std::size_t band = 0; band + 1 < smoothingBandStart.size(); ++band) {
        const int width = smoothingStartWidth << band;
        const int half = width / 2;
        const float q = -smoothingRatioStep * float(band);
        const float perEnergy = 1.0f / (2.0f * float(width));
        const int start = smoothingBandStart[band], end = smoothingBandStart[band + 1];
        // Bins whose neighbourhood lies inside the spectrum form a run without clamps,
        // which vectorises; the few at the edges clamp it.
        const int inner = std::clamp(half, start, end);
        const int innerEnd = std::clamp(K - half - 1, inner, end);
        const auto ratioAt = [&](int k, double energy) {
            const float rms = std::sqrt(float(energy) * perEnergy);
            const float scaled = gain[k] / rms * q;
            ratio[k] = rms > 0.0f ? scaled : 10.0f;
        };
        for (int k = start; k < inner; ++k)
            ratioAt(k, prefix[std::min(K, k + half + 1)] - prefix[std::max(0, k - half)]);
        for (int k = inner; k < innerEnd; ++k)
            ratioAt(k, prefix[k + half + 1] - prefix[k - half]);
        for (int k = innerEnd; k < end; ++k)
            ratioAt(k, prefix[std::min(K, k + half + 1)] - prefix[std::max(0, k - half)]);
    }
}

// A soft maximum across frequency: ln of a Gaussian-weighted sum of e^x, wider where the
// frame is rough and at higher frequencies, narrower at large reduction amounts.
void Denoise::SmoothSoftMaximum(int channel) {
    const int K = binCount;
    const float widthScale = 3.0f * softSmoothing / (0.05f * reductionDb + 1.0f);
    const int maxHalf = int(std::floor(15.0f * widthScale * softSmoothing + 0.5f));
    assert(maxHalf < int(kernels.size()));
    float* frames = smoothedGainDb.buffers[channel];
    int first = 0;
    for (; first + 4 <= framesPerBlock; first += 4)
        MeasureRoughness<4>(frames, first);
    for (; first < framesPerBlock; ++first)
        MeasureRoughness<1>(frames, first);
    for (int f = 0; f < framesPerBlock; ++f) {
        float* x = frames + f * K;
        const float roughnessFactor = std::atan(roughness[f] / K - 3.0f) + 1.6f;
        float* frameExp = scratch.data();
        VecExp(K, x, frameExp);
        SmoothFrameSoftMaximum(x, frameExp, widthScale * roughnessFactor * softSmoothing, maxHalf);
    }
}

// The summed magnitude of each frame's second difference across the bins. The sums of a
// few frames run side by side: each is a chain of dependent additions, which alone would
// leave the processor waiting.
template <int count> void Denoise::MeasureRoughness(const float* frames, int first) {
    const int K = binCount;
    float sums[count] = {};
    for (int k = 1; k < K - 1; ++k) {
        for (int u = 0; u < count; ++u) {
            const float* x = frames + (first + u) * K;
            sums[u] += std::fabs(x[k - 1] + x[k + 1] - 2.0f * x[k]);
        }
    }
    for (int u = 0; u < count; ++u)
        roughness[std::size_t(first + u)] = sums[u];
}

void Denoise::SmoothFrameSoftMaximum(float* x, const float* frameExp, float widthScale,
                                     int maxHalf) {
    const int K = binCount;
    int halfForFactor[6];
    for (int b = 0; b < 6; ++b)
        halfForFactor[b] = int(std::floor(widthScale * b + 0.5f));
    auto halfAt = [&](int k) {
        int half = halfForFactor[bandFactor[k]];
        if (half > k) half = k - 1;
        if (half > maxHalf) half = maxHalf;
        if (K - k <= half) half = K - k - 2;
        return half;
    };
    // Runs of bins with the same half width share one kernel; the sum runs along the bins.
    for (int start = 0; start < K;) {
        const int half = halfAt(start);
        int end = start + 1;
        while (end < K && halfAt(end) == half)
            ++end;
        if (half < 0) {
            // An empty kernel: ln 0, below every limit.
            std::fill(x + start, x + end, -std::numeric_limits<float>::infinity());
        } else if (half > 0) {
            float* sums = levels.data();
            WeightedSums(kernels[half].data(), half, frameExp, start, end, sums);
            VecLog(end - start, sums, x + start);
        }
        start = end;
    }
}

// sums[i] = sum over j = -half ... half of kernel[half + j] * source[start + i + j], for i
// in [0, end - start).
void Denoise::WeightedSums(const float* kernel, int half, const float* source, int start, int end,
                           float* sums) {
    VecCorrelate(end - start, source + start - half, kernel, sums, 2 * half + 1);
}

void Denoise::EnsureKernels(int maxHalf) {
    for (int half = int(kernels.size()); half <= maxHalf; ++half) {
        std::vector<float> kernel(2 * half + 1, 1.0f);
        double sum = 1.0;
        for (int j = 1; j <= half; ++j) {
            const double w = std::exp(-double(j * j) / (half * half));
            kernel[half + j] = kernel[half - j] = float(w);
            sum += 2.0 * w;
        }
        VecMulC(2 * half + 1, kernel.data(), float(1.0 / sum));
        kernels.push_back(std::move(kernel));
    }
}

// The gain lies in -R[k] ... 0 dB and may deepen by at most `step` dB per frame.
void Denoise::LimitAndRelease(int channel) {
    const int K = binCount;
    const float step = hop * 0.5f * releaseBase * (1.0f + reductionDb / 30.0f) / sampleRate;
    const float* R = reductionCurveDb[channel].data();
    for (int f = 0; f < framesPerBlock; ++f) {
        const float* x = smoothedGainDb.buffers[channel] + f * K;
        const float* previous = finalGainDb.buffers[channel] + f * K;
        float* y = finalGainDb.buffers[channel] + (f + 1) * K;
        loops->limitAndRelease(K, x, R, previous, step, y);
    }
}

// 20 log10 of each amplitude, -400 dB below 1e-20, as AmplitudeToDb but a frame at once.
void Denoise::AmplitudesToDb(int count, const float* amplitude, float* db) const {
    VecLog(count, amplitude, db);
    loops->lnToDb(count, amplitude, db);
}

// 10^(db / 20) of each level, as DbToAmplitude but a frame at once.
void Denoise::DbToAmplitudes(int count, const float* db, float* amplitude) {
    float* exponents = levels.data();
    loops->dbToExponent(count, db, exponents);
    VecExp(count, exponents, amplitude);
}

void Denoise::ApplyGain(int channel) {
    const int K = binCount;
    float* gain = scratch.data();
    for (int f = 0; f < framesPerBlock; ++f) {
        const float* gainDb = finalGainDb.buffers[channel] + f * K;
        float* spectrum = spectra.buffers[channel] + f * 2 * K;
        DbToAmplitudes(K, gainDb, gain);
        loops->applyGain(K, gain, spectrum);
    }
}
