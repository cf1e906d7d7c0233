#pragma once
// The whole restoration chain on real music: combined damage (mild clipping, crackle and
// hiss, with a noise-only stretch to learn from), its run through RestorationChain with the
// high-quality reducer and click detection (as `sonavel restore --quality high` runs it) and
// the knobs at 0.5, and the chain's speed.

#include "bench/quality/HissDamage.h"

#include <vector>

// The music driven to a peak of `drivenPeak` (above full scale), a silent stretch inserted at
// `where`, clipped at full scale, crackle of `clicksPerSecond` added, then white hiss at
// `levelDbfs`. `clean` is the driven music before clipping.
HissFile MakeCombinedFile(const std::string& name, const std::vector<float>& music, int rate,
                          double where, double stretchSeconds, float drivenPeak,
                          double clicksPerSecond, float levelDbfs);

// The mono file through declip, declick and the high-quality reducer in blocks of 4096
// frames, aligned with the input. With `train` the chain first learns the noise on the file's
// stretch; otherwise the reducer keeps the default profile (nothing learnt).
std::vector<float> RunChain(const HissFile& file, bool train);

// How many times faster than real time the whole chain with the high-quality reducer runs on
// the mono music duplicated to stereo, in processor time (best of three passes).
double ChainTimesRealTime(const std::vector<float>& music, int rate);
