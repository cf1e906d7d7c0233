#pragma once
// Writing the benchmarks' synthesised stereo signals to WAV files for the command line
// and the peer tools to read.

#include <filesystem>

#include "support/Signals.h"

// The signal `repeats` times over, in libsndfile's WAV subformat `subformat` (16-bit
// PCM by default). False when the file cannot be written whole.
bool WriteStereoWave(const std::filesystem::path& path, const StereoSignal& s, int repeats = 1,
                     int subformat = 0x0002);
