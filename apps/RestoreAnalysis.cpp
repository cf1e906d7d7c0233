#include "apps/RestoreAnalysis.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

namespace {

constexpr double silentDb = -300.0;

} // namespace

RestoreAnalysis::RestoreAnalysis(const AnalysisSetup& setup)
    : setup(setup), outputMatch(float(std::pow(10.0, -setup.outputGainDb / 20.0))),
      axis(lowestHz, setup.rate / 2.0, setup.rows, true),
      spectrograms{Sonogram(setup.frames, setup.rate, fftSize / 2 + 1, setup.columns, axis),
                   Sonogram(setup.frames, setup.rate, fftSize / 2 + 1, setup.columns, axis),
                   Sonogram(setup.frames, setup.rate, fftSize / 2 + 1, setup.columns, axis)},
      longTerm{LongTermLevels(setup.noiseFrameSize, setup.frames),
               LongTermLevels(setup.noiseFrameSize, setup.frames)},
      hop(std::clamp<std::int64_t>(setup.frames / setup.columns, 1, fftSize / 2)), window(fftSize),
      frame(fftSize), inSpectrum(fftSize + 2), outSpectrum(fftSize + 2),
      longFrames(std::size_t(setup.channels * setup.noiseFrameSize)) {
    const int longest = std::max(fftSize, setup.noiseFrameSize);
    const std::size_t ringSize = std::bit_ceil(std::size_t(2 * longest));
    for (History& history : histories)
        history.ring.assign(ringSize, 0.0f);
    chunkLimit = int(ringSize) - longest;
    for (std::vector<float>& column : peaks)
        column.assign(std::size_t(setup.columns), 0.0f);
    for (std::vector<float>& bins : power)
        bins.resize(fftSize / 2 + 1);
    fft.Init(fftSize);
    for (int i = 0; i < fftSize; ++i)
        window[std::size_t(i)] = float(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / fftSize));
}

void RestoreAnalysis::History::Append(const float* samples, int count, std::int64_t position) {
    const std::size_t size = ring.size();
    std::size_t at = std::size_t(position) & (size - 1);
    for (int done = 0; done < count;) {
        const int piece = int(std::min<std::size_t>(std::size_t(count - done), size - at));
        if (samples)
            std::copy_n(samples + done, piece, ring.begin() + std::ptrdiff_t(at));
        else
            std::fill_n(ring.begin() + std::ptrdiff_t(at), piece, 0.0f);
        done += piece;
        at = 0;
    }
}

void RestoreAnalysis::History::Copy(std::int64_t start, int count, float* to) const {
    const int before = int(std::clamp<std::int64_t>(-start, 0, count));
    std::fill_n(to, before, 0.0f);
    const std::size_t size = ring.size();
    std::size_t at = std::size_t(start + before) & (size - 1);
    for (int done = before; done < count;) {
        const int piece = int(std::min<std::size_t>(std::size_t(count - done), size - at));
        std::copy_n(ring.begin() + std::ptrdiff_t(at), piece, to + done);
        done += piece;
        at = 0;
    }
}

void RestoreAnalysis::Add(int frames, const float* const* input, const float* const* output) {
    for (int done = 0; done < frames;) {
        const int chunk = std::min(chunkLimit, frames - done);
        std::array<const float*, 2> in{};
        std::array<const float*, 2> out{};
        for (int c = 0; c < setup.channels; ++c) {
            in[std::size_t(c)] = input[c] + done;
            out[std::size_t(c)] = output[c] + done;
        }
        AddChunk(chunk, in.data(), out.data());
        done += chunk;
    }
}

void RestoreAnalysis::AddChunk(int frames, const float* const* input, const float* const* output) {
    Measure(frames, input, output);
    std::vector<float>& scaled = longFrames;
    for (int c = 0; c < setup.channels; ++c) {
        HistoryOf(0, c).Append(input[c], frames, received);
        // Level-matched output, a piece at a time through the long-term frame buffer.
        for (int done = 0; done < frames;) {
            const int piece = std::min<int>(int(scaled.size()), frames - done);
            for (int i = 0; i < piece; ++i)
                scaled[std::size_t(i)] = output[c][done + i] * outputMatch;
            HistoryOf(1, c).Append(scaled.data(), piece, received + done);
            done += piece;
        }
    }
    received += frames;
    AnalyseReady();
}

void RestoreAnalysis::Measure(int frames, const float* const* input, const float* const* output) {
    const std::int64_t total = std::max<std::int64_t>(setup.frames, 1);
    const std::int64_t columns = setup.columns;
    for (int i = 0; i < frames;) {
        const std::int64_t position = received + i;
        const std::int64_t column = std::min(position * columns / total, columns - 1);
        const std::int64_t boundary = ((column + 1) * total + columns - 1) / columns;
        const int run = int(std::clamp<std::int64_t>(boundary - position, 1, frames - i));
        const FrameRange stretch = setup.noiseStretch.value_or(FrameRange{0, 0});
        for (int c = 0; c < setup.channels; ++c) {
            for (int j = i; j < i + run; ++j) {
                const float x = input[c][j];
                const float y = output[c][j];
                peaks[0][std::size_t(column)] =
                    std::max(peaks[0][std::size_t(column)], std::fabs(x));
                peaks[1][std::size_t(column)] =
                    std::max(peaks[1][std::size_t(column)], std::fabs(y * outputMatch));
                whole.input += double(x) * x;
                whole.output += double(y) * y;
                const std::int64_t at = received + j;
                if (at < stretch.first || at >= stretch.last) continue;
                noise.input += double(x) * x;
                noise.output += double(y) * y;
                ++noise.samples;
            }
        }
        whole.samples += std::int64_t(run) * setup.channels;
        i += run;
    }
}

void RestoreAnalysis::AnalyseReady() {
    while (nextCentre < setup.frames && nextCentre + fftSize / 2 <= received) {
        AnalyseSpectrogramFrame();
        nextCentre += hop;
    }
    for (int signal = 0; signal < 2; ++signal) {
        LongTermLevels& spectrum = longTerm[std::size_t(signal)];
        while (spectrum.NextStart() + spectrum.Size() <= std::min(received, setup.frames))
            AnalyseLongTerm(signal);
    }
}

void RestoreAnalysis::AnalyseSpectrogramFrame() {
    const std::int64_t start = nextCentre - fftSize / 2;
    // A full-scale sine on a bin centre reads a power of 1.
    const float scale = 16.0f / (float(fftSize) * float(fftSize));
    for (int c = 0; c < setup.channels; ++c) {
        for (auto [signal, spectrum] : {std::pair{0, &inSpectrum}, std::pair{1, &outSpectrum}}) {
            HistoryOf(signal, c).Copy(start, fftSize, frame.data());
            for (int i = 0; i < fftSize; ++i)
                frame[std::size_t(i)] *= window[std::size_t(i)];
            fft.Forward(frame.data(), spectrum->data());
        }
        for (int k = 0; k <= fftSize / 2; ++k) {
            const float inRe = inSpectrum[std::size_t(2 * k)],
                        inIm = inSpectrum[std::size_t(2 * k + 1)];
            const float outRe = outSpectrum[std::size_t(2 * k)],
                        outIm = outSpectrum[std::size_t(2 * k + 1)];
            const float dRe = inRe - outRe, dIm = inIm - outIm;
            const std::array<float, 3> values{(inRe * inRe + inIm * inIm) * scale,
                                              (outRe * outRe + outIm * outIm) * scale,
                                              (dRe * dRe + dIm * dIm) * scale};
            for (std::size_t s = 0; s < 3; ++s) {
                float& bin = power[s][std::size_t(k)];
                bin = c == 0 ? values[s] : std::max(bin, values[s]);
            }
        }
    }
    for (std::size_t s = 0; s < 3; ++s)
        spectrograms[s].Add(nextCentre, power[s].data());
}

void RestoreAnalysis::AnalyseLongTerm(int signal) {
    LongTermLevels& spectrum = longTerm[std::size_t(signal)];
    std::vector<const float*> channels;
    for (int c = 0; c < setup.channels; ++c) {
        float* to = longFrames.data() + std::size_t(c * spectrum.Size());
        HistoryOf(signal, c).Copy(spectrum.NextStart(), spectrum.Size(), to);
        channels.push_back(to);
    }
    spectrum.Add(channels);
}

void RestoreAnalysis::Finish() {
    while (nextCentre < setup.frames) {
        for (int c = 0; c < setup.channels; ++c)
            for (int signal = 0; signal < 2; ++signal)
                HistoryOf(signal, c).Append(nullptr, chunkLimit, received);
        received += chunkLimit;
        AnalyseReady();
    }
    for (Sonogram& spectrogram : spectrograms)
        spectrogram.Finish();
}

LevelPair RestoreAnalysis::LevelsOf(const Energy& energy) {
    const auto db = [&](double sum) {
        return sum > 0.0 ? 10.0 * std::log10(sum / double(energy.samples)) : silentDb;
    };
    return {db(energy.input), db(energy.output)};
}

std::optional<LevelPair> RestoreAnalysis::NoiseStretchLevels() const {
    if (noise.samples == 0) return std::nullopt;
    return LevelsOf(noise);
}
