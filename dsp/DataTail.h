#pragma once
// A multi-channel sample FIFO that keeps a fixed number of old frames (the tail) in
// front of the newest data. Used for histories, delay lines and queues of frames.
//
// The held frames are always positions 0 ... fillCount - 1 of every buffer. Owners
// may read and write `buffers` and `fillCount` directly; `maxBlockSize` is the
// capacity beyond the tail.

#include "dsp/AudioProcessor.h"

#include <vector>

namespace DSP {

class DataTail : public AudioProcessor {
public:
    DataTail() = default;
    DataTail(int channels, int capacity);
    DataTail(const DataTail&) = delete;
    DataTail& operator=(const DataTail&) = delete;

    // Re-creates the buffers: channels arrays of capacity + tail floats (capacity
    // becomes 1 when capacity + tail < 1). Clears through Reset when clear is true.
    void Allocate(int channels, int rate, int capacity, int tail, bool clear);

    // Starts over with `tail` frames of silence in the storage already allocated, which
    // must hold them; the capacity beyond the tail shrinks accordingly. Allocates nothing.
    void Restart(int tail);
    // Allocates without a tail.
    void Setup(int channels, int rate, int maxFrames) override;
    void Reset() override;
    // Changes the capacity, keeping the first tailLength frames (cleared if there is no tail).
    void SetMaxBlockSize(int frames) override;

    // fillCount = tailLength and every position of every channel = value.
    void Fill(float value);
    // Copies frames values from sources[c] + sourceOffset behind the held frames.
    // The owner guarantees room.
    void Append(const float* const* sources, int frames, int sourceOffset);
    // Consumes frames processed frames and keeps the tailLength frames that follow them
    // at the front, so the tail again precedes the next block.
    void AdvanceKeepingTail(int frames);
    // Drops the oldest frames (all of them if frames >= fillCount).
    void Discard(int frames);

    int Capacity() const { return maxBlockSize + tailLength; }

    // One pointer per channel into owned storage of Capacity() floats each.
    std::vector<float*> buffers;
    int tailLength = 0;
    int fillCount = 0;

private:
    std::vector<float> storage;
};

} // namespace DSP
