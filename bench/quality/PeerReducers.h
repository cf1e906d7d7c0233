#pragma once
// The free peers' noise reducers run on a hiss file, each at its best setting: ffmpeg's
// `afftdn` given the noise floor measured on the noise stretch, and SoX `noisered` with a
// profile from the same stretch. Files go through a private temporary folder as 32-bit
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

private:
    bool Run(const std::vector<std::string>& command);
    std::string folder;
};
