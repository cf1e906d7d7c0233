#pragma once
// The unprocessed input delayed by a chosen number of frames, for a bypass that keeps
// the latency the host compensates. Storage is sized once; Push and Read allocate nothing.

#include <cstdint>
#include <vector>

namespace Lv2 {

class DryDelay {
public:
    // Holds delays up to maxDelay for pieces of up to maxFrames.
    void Prepare(std::uint32_t maxDelay, int maxFrames);
    void Clear();
    // Appends the newest frames of one channel; call Advance after every channel.
    void Push(int channel, const float* in, int frames);
    void Advance(int frames);
    // The frames pushed last (frames of them), delayed by `delay`, into out.
    void Read(int channel, std::uint32_t delay, int frames, float* out) const;

private:
    std::size_t size = 0;
    std::size_t head = 0;
    std::vector<float> rings[2];
};

} // namespace Lv2
