#include "support/Signals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

namespace {

constexpr double pi = 3.14159265358979323846;

// xorshift64*: small, fast and the same everywhere, unlike the standard distributions.
class Random {
public:
    explicit Random(std::uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}

    // Uniform in [0, 1).
    double Uniform() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return double((state * 0x2545F4914F6CDD1Dull) >> 11) * 0x1.0p-53;
    }
    double Between(double low, double high) { return low + (high - low) * Uniform(); }
    double Gaussian() {
        const double u = 1.0 - Uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * pi * Uniform());
    }

private:
    std::uint64_t state;
};

struct Voice {
    int harmonics;
    double rolloff;  // harmonic k has amplitude 1 / k^rolloff
    double attack;   // seconds
    double decay;    // seconds for the level to fall by 1/e
    double loudness; // relative level
    double pan;      // 0 left … 1 right
};

constexpr Voice melodyVoice{5, 2.2, 0.008, 0.35, 0.9, 0.35};
constexpr Voice bassVoice{4, 2.5, 0.01, 0.6, 1.0, 0.6};
constexpr Voice chordVoice{3, 2.0, 0.08, 2.5, 0.35, 0.5};

double Frequency(int midiNote) {
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

// Adds one note of `length` seconds starting at `start`, with a short release after it.
void AddNote(StereoSignal& s, const Voice& v, int midiNote, double start, double length) {
    constexpr double release = 0.05;
    const double f = Frequency(midiNote);
    const auto first = std::size_t(start * s.rate);
    const auto end = std::min(s.Frames(), std::size_t((start + length + release) * s.rate));
    const double gainLeft = v.loudness * std::cos(v.pan * pi / 2);
    const double gainRight = v.loudness * std::sin(v.pan * pi / 2);
    std::vector<double> amplitudes;
    for (int k = 1; k <= v.harmonics && k * f < 0.45 * s.rate; ++k)
        amplitudes.push_back(1.0 / std::pow(k, v.rolloff));
    for (std::size_t i = first; i < end; ++i) {
        const double t = double(i - first) / s.rate;
        double level = std::min(1.0, t / v.attack) * std::exp(-t / v.decay);
        if (t > length) level *= 1.0 - (t - length) / release;
        double sample = 0.0;
        for (std::size_t k = 0; k < amplitudes.size(); ++k)
            sample += amplitudes[k] * std::sin(2.0 * pi * double(k + 1) * f * t);
        s.left[i] += float(gainLeft * level * sample);
        s.right[i] += float(gainRight * level * sample);
    }
}

// C, A minor, F, G: root and the chord tones above it.
constexpr std::array<std::array<int, 3>, 4> progression{{
    {60, 64, 67},
    {57, 60, 64},
    {53, 57, 60},
    {55, 59, 62},
}};
// Which chord tone (3 = the root an octave up) each eighth note of the melody plays.
constexpr std::array<int, 6> melodyPattern{0, 1, 2, 3, 2, 1};

void AddChord(StereoSignal& s, const std::array<int, 3>& chord, double start, double length) {
    constexpr double eighth = 0.25;
    AddNote(s, bassVoice, chord[0] - 24, start, length / 2);
    AddNote(s, bassVoice, chord[0] - 12, start + length / 2, length / 2);
    for (const int note : chord)
        AddNote(s, chordVoice, note, start, length);
    for (std::size_t step = 0; step < melodyPattern.size(); ++step) {
        const int tone = melodyPattern[step];
        const int note = tone < 3 ? chord[std::size_t(tone)] + 12 : chord[0] + 24;
        AddNote(s, melodyVoice, note, start + step * eighth, eighth);
    }
}

void Scale(StereoSignal& s, float peak) {
    float largest = 0.0f;
    for (std::size_t i = 0; i < s.Frames(); ++i)
        largest = std::max({largest, std::fabs(s.left[i]), std::fabs(s.right[i])});
    if (largest == 0.0f) return;
    for (std::size_t i = 0; i < s.Frames(); ++i) {
        s.left[i] *= peak / largest;
        s.right[i] *= peak / largest;
    }
}

} // namespace

StereoSignal SynthesiseMusic(double silence, double seconds, std::uint32_t rate, float peak) {
    constexpr double chordLength = 1.5;
    StereoSignal s;
    s.rate = rate;
    s.left.assign(std::size_t((silence + seconds) * rate), 0.0f);
    s.right = s.left;
    for (int n = 0; n * chordLength < seconds; ++n)
        AddChord(s, progression[std::size_t(n) % progression.size()], silence + n * chordLength,
                 chordLength);
    Scale(s, peak);
    return s;
}

void AddCrackle(StereoSignal& s, double clicksPerSecond, std::uint64_t seed) {
    Random random(seed);
    double at = 0.0;
    while (true) {
        at += -std::log(1.0 - random.Uniform()) / clicksPerSecond;
        const auto first = std::size_t(at * s.rate);
        if (first >= s.Frames()) return;
        // Sizes spread evenly in dB from faint ticks to loud pops.
        const double size = 0.05 * std::pow(20.0, random.Uniform());
        const double sides[] = {size * random.Between(0.5, 1.0), size * random.Between(0.5, 1.0)};
        const int length = 1 + int(random.Uniform() * 12);
        for (int i = 0; i < length && first + std::size_t(i) < s.Frames(); ++i) {
            const double shape = std::exp(-3.0 * i / length) * random.Between(-1.0, 1.0);
            s.left[first + std::size_t(i)] += float(sides[0] * shape);
            s.right[first + std::size_t(i)] += float(sides[1] * shape);
        }
    }
}

void AddHiss(StereoSignal& s, float levelDb, std::uint64_t seed) {
    Random random(seed);
    const double rms = std::pow(10.0, levelDb / 20.0);
    for (std::size_t i = 0; i < s.Frames(); ++i) {
        s.left[i] += float(rms * random.Gaussian());
        s.right[i] += float(rms * random.Gaussian());
    }
}

void Clip(StereoSignal& s, float level) {
    for (std::size_t i = 0; i < s.Frames(); ++i) {
        s.left[i] = std::clamp(s.left[i], -level, level);
        s.right[i] = std::clamp(s.right[i], -level, level);
    }
}

std::vector<float> WhiteNoise(std::size_t frames, float deviation, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<float> normal(0.0f, deviation);
    std::vector<float> noise(frames);
    for (float& x : noise)
        x = normal(random);
    return noise;
}

void AddClicks(std::vector<float>& signal, int rate, double perSecond) {
    std::mt19937 rng(1234);
    const int count = static_cast<int>(perSecond * signal.size() / rate);
    std::uniform_int_distribution<int> position(0, static_cast<int>(signal.size()) - 25);
    std::uniform_int_distribution<int> length(1, 24);
    std::uniform_real_distribution<float> amplitude(0.05f, 0.5f);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int k = 0; k < count; ++k) {
        const int start = position(rng);
        const int frames = length(rng);
        const float level = amplitude(rng);
        for (int i = 0; i < frames; ++i)
            signal[start + i] += level * unit(rng);
    }
}

std::vector<float> Driven(const std::vector<float>& signal, float peak) {
    float largest = 0.0f;
    for (float v : signal)
        largest = std::max(largest, std::abs(v));
    std::vector<float> driven(signal);
    for (float& v : driven)
        v *= peak / largest;
    return driven;
}

void ClipAtFullScale(std::vector<float>& signal) {
    for (float& v : signal)
        v = std::clamp(v, -1.0f, 1.0f);
}
