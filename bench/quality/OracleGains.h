#pragma once
// Ceilings of short-time spectral gain reducers on a hiss file, computed from what no reducer
// can know: the clean music's own spectrum S per bin and frame, and the true noise's mean
// power P per bin. The Wiener oracle applies |S|^2 / (|S|^2 + P) to the noisy spectrum Y; the
// clean-magnitude oracle puts |S| itself on the noisy phase, what a reducer would give that
// estimated the music's spectrum without error. A real reducer's SNR gain beyond the first is
// not to be expected, and near the second only with an estimate of the spectrum that no
// noisy frame allows.

#include "bench/quality/HissDamage.h"

#include <vector>

enum class OracleKind { wiener, cleanMagnitude };

// The noisy file through the oracle, frames of `frameSize` with a quarter-frame hop and
// square-root Hann windows (as the high-quality reducer at 44.1 kHz), aligned with the input.
std::vector<float> OracleOutput(const HissFile& file, int frameSize,
                                OracleKind kind = OracleKind::wiener);
