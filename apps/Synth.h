#pragma once
// Example audio made from nothing: a stereo passage of notes, and the damage a record
// transfer suffers (crackle, hiss, clipping). Everything is deterministic, so the same
// call gives the same samples on every machine.

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
