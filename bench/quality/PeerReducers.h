#pragma once
// The free peers' noise reducers run on a hiss file, each at its best setting: ffmpeg's
// `afftdn` given the noise floor measured on the noise stretch, and SoX `noisered` with a
// profile from the same stretch, and ffmpeg's repair chain ending in that afftdn. Files go through a private temporary folder as 32-bit
// float WAV.

#include "bench/quality/HissDamage.h"

#include <string>
#include <vector>

struct PeerResult {
    bool ran = false;
    std::vector<float> output;
    std::string setting; // the best setting, for the table
    double snrDb = 0.0;
};

class PeerReducers {
public:
    PeerReducers();
    ~PeerReducers();
    PeerReducers(const PeerReducers&) = delete;
    PeerReducers& operator=(const PeerReducers&) = delete;

    PeerResult BestAfftdn(const HissFile& file);
    PeerResult BestNoisered(const HissFile& file);
    // ffmpeg's repair chain `adeclip,adeclick,afftdn`, afftdn as in BestAfftdn.
    PeerResult BestChain(const HissFile& file);

private:
    // afftdn after the filters in `before` (empty or ending in a comma), at its best nr.
    PeerResult BestFfmpeg(const HissFile& file, const std::string& before);
    bool Run(const std::vector<std::string>& command);
    std::string folder;
};
