#include "dsp/InputGuard.h"

#include <algorithm>
#include <cmath>

namespace DSP {

namespace {

// Both loops are branch-free so that they vectorise on the clean blocks that are
// nearly all of them.
int CountNonFinite(const float* samples, int frames) {
    int count = 0;
    for (int i = 0; i < frames; ++i)
        count += std::isfinite(samples[i]) ? 0 : 1;
    return count;
}

void Sanitise(float* samples, int frames) {
    for (int i = 0; i < frames; ++i) {
        const float x = samples[i];
        samples[i] =
            std::isfinite(x) ? std::clamp(x, -largestInputLevel, largestInputLevel) : 0.0f;
    }
}

void LocateDropouts(const float* samples, int frames, Dropouts& found) {
    for (int i = 0; i < frames; ++i) {
        if (std::isfinite(samples[i])) continue;
        if (found.firstFrame < 0 || i < found.firstFrame) found.firstFrame = i;
        found.lastFrame = std::max(found.lastFrame, i);
    }
}

} // namespace

Dropouts GuardInput(float* const* block, int channels, int frames) {
    Dropouts found;
    for (int c = 0; c < channels; ++c) {
        const int bad = CountNonFinite(block[c], frames);
        if (bad > 0) LocateDropouts(block[c], frames, found);
        found.count += bad;
        Sanitise(block[c], frames);
    }
    return found;
}

} // namespace DSP
