#pragma once
// Hiss damage on real music and the measures of its removal: a noise-only stretch of silence
// is inserted into the music, then white or pink-tilted Gaussian hiss at a given level is
// added to the whole file.

#include <string>
#include <vector>

enum class HissColour { white, pink };

struct HissFile {
    std::string name;
    int rate = 0;
    std::vector<float> clean; // music with the silent stretch
    std::vector<float> noisy;
    // The noise-only stretch, in samples.
    int stretchBegin = 0;
    int stretchEnd = 0;
};

// Inserts `stretchSeconds` of silence at `where` (0 start, 0.5 middle, 1 end) of the music and
// adds hiss of RMS `levelDbfs` over everything. Fixed seed per colour and level.
HissFile MakeHissFile(const std::string& name, const std::vector<float>& music, int rate,
                      double where, double stretchSeconds, HissColour colour, float levelDbfs);

// SNR of `signal` against `clean` in dB outside the noise stretch, after scaling `signal` by
// the gain that minimises the error.
double AlignedSnrDb(const HissFile& file, const std::vector<float>& signal);

// Musical noise: natural log of the kurtosis of the short-time power spectrum values of
// `signal` over that of the noisy input, on the inside of the noise stretch (half a second
// from either end). 0 for a residual that is the input noise scaled.
double LogKurtosisRatio(const HissFile& file, const std::vector<float>& signal);

// RMS level of the noisy input on the noise stretch, dBFS.
double StretchLevelDbfs(const HissFile& file);
