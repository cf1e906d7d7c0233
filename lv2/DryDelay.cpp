#include "lv2/DryDelay.h"

#include <algorithm>

namespace Lv2 {

void DryDelay::Prepare(std::uint32_t maxDelay, int maxFrames) {
    size = std::size_t(maxDelay) + std::size_t(maxFrames);
    for (auto& ring : rings)
        ring.assign(size, 0.0f);
    head = 0;
}

void DryDelay::Clear() {
    for (auto& ring : rings)
        std::fill(ring.begin(), ring.end(), 0.0f);
    head = 0;
}

void DryDelay::Push(int channel, const float* in, int frames) {
    std::vector<float>& ring = rings[channel];
    for (int i = 0; i < frames; ++i)
        ring[(head + std::size_t(i)) % size] = in[i];
}

void DryDelay::Advance(int frames) {
    head = (head + std::size_t(frames)) % size;
}

// The newest frame sits just before head; frame i of the last piece lies at
// head - frames + i, and `delay` frames before that. A delay beyond the prepared one
// reads the oldest frames held.
void DryDelay::Read(int channel, std::uint32_t delay, int frames, float* out) const {
    const std::vector<float>& ring = rings[channel];
    const std::size_t back = std::min(std::size_t(frames) + delay, size);
    const std::size_t start = (head + size - back % size) % size;
    for (int i = 0; i < frames; ++i)
        out[i] = ring[(start + std::size_t(i)) % size];
}

} // namespace Lv2
