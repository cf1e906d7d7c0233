#pragma once
// Example audio made from nothing, for the demo, the tests and the benchmarks: a stereo
// passage of notes, the damage a record transfer suffers (crackle, hiss, clipping, clicks)
// and white noise. Everything is deterministic, so the same call gives the same samples
// every time.

#include <cstdint>
#include <vector>

struct StereoSignal {
    std::uint32_t rate = 44100;
    std::vector<float> left;
    std::vector<float> right;

    std::size_t Frames() const { return left.size(); }
};

// Melody, bass and chords over a four-chord progression, `seconds` long, starting after
// `silence` seconds of silence, scaled so that the largest sample is `peak`.
StereoSignal SynthesiseMusic(double silence, double seconds, std::uint32_t rate, float peak);

// Vinyl crackle: short impulses of random size at random moments, on both channels.
void AddCrackle(StereoSignal& signal, double clicksPerSecond, std::uint64_t seed);
// White noise of the given RMS level in dB below full scale, independent per channel.
void AddHiss(StereoSignal& signal, float levelDb, std::uint64_t seed);
// Hard clipping at ±level, as an overdriven converter does.
void Clip(StereoSignal& signal, float level);

// Gaussian white noise of the given standard deviation (standard library generator, so
// the samples are those of this machine's library).
std::vector<float> WhiteNoise(std::size_t frames, float deviation, unsigned seed);
// Adds `perSecond` clicks per second at random positions to a mono signal: bursts of 1 to
// 24 samples of random values within a random amplitude of 0.05 to 0.5. Fixed seed.
void AddClicks(std::vector<float>& signal, int rate, double perSecond);
// The signal scaled so that its peak is `peak`.
std::vector<float> Driven(const std::vector<float>& signal, float peak);
void ClipAtFullScale(std::vector<float>& signal);
