#pragma once
// The ceiling of short-time spectral gain reducers on a hiss file: the Wiener gain
// |S|^2 / (|S|^2 + P) per bin and frame, computed from the clean music's own spectrum S and
// the true noise's mean power P per bin, applied to the noisy file. No reducer can know S;
// this one does, so a real reducer's SNR gain beyond it is not to be expected.

#include "bench/quality/HissDamage.h"

#include <vector>

// The noisy file through the oracle gain, frames of `frameSize` with a quarter-frame hop and
// square-root Hann windows (as the high-quality reducer at 44.1 kHz), aligned with the input.
std::vector<float> OracleWiener(const HissFile& file, int frameSize);
