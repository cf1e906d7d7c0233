#pragma once
// Learning the noise without being told where it is: a first pass over the input
// hands a sample of it to DSP::NoiseFinder, which learns from the noise-only stretches
// it finds or, without any, estimates the floor from the quietest moments of each band.
//
// Memory stays bounded for long files: a file of up to sampleSeconds is read whole;
// a longer one as evenly spaced excerpts that add up to that length, the first at the
// start (lead-in) and the last at the end (run-out). Stretches are reported in the
// file's own time and never span two excerpts.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dsp/NoiseFinder.h"

class AudioReader;
class HostPlugin;

struct AutoTrainResult {
    DSP::LearntNoise noise;
    // Where each stretch lies in the file, in frames.
    std::vector<DSP::NoiseStretch> stretchesInFile;
};

class AutoTrain {
public:
    static constexpr double sampleSeconds = 180.0;
    static constexpr double excerptSeconds = 10.0;
    // Stretches named one by one in Describe; the rest are counted.
    static constexpr std::size_t shownStretches = 5;

    // Reads `file` from its start; non-finite samples are read as silence.
    static AutoTrainResult Learn(AudioReader& file);
    // The learnt levels into the plug-in, as a loaded profile would set them.
    static void Load(const DSP::LearntNoise& noise, HostPlugin& plugin);
    // "learnt the noise from 0:00.0-0:01.5, 2:03.0-2:05.1" (then "and N more stretches
    // (T s in all)") or the floor estimate's line.
    static std::string Describe(const AutoTrainResult& result, std::uint32_t rate);
};
