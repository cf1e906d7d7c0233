#include "dsp/DataTail.h"

#include "primitives/Vec.h"

#include <cassert>
#include <cstddef>

namespace DSP {

DataTail::DataTail(int channels, int capacity) {
    Allocate(channels, 0, capacity, 0, true);
}

void DataTail::Allocate(int channels, int rate, int capacity, int tail, bool clear) {
    maxBlockSize = capacity + tail < 1 ? 1 : capacity;
    channelCount = channels;
    sampleRate = rate;
    tailLength = tail;
    fillCount = 0;
    const std::size_t perChannel = static_cast<std::size_t>(Capacity());
    storage = std::vector<float>(perChannel * static_cast<std::size_t>(channels));
    buffers.resize(static_cast<std::size_t>(channels));
    for (int c = 0; c < channels; ++c)
        buffers[c] = storage.data() + perChannel * static_cast<std::size_t>(c);
    if (clear) Reset();
}

void DataTail::Restart(int tail) {
    const int perChannel = Capacity();
    assert(tail <= perChannel);
    tailLength = tail;
    maxBlockSize = perChannel - tail;
    Reset();
}

void DataTail::Setup(int channels, int rate, int maxFrames) {
    Allocate(channels, rate, maxFrames, 0, true);
}

void DataTail::Reset() {
    Fill(0.0f);
}

void DataTail::SetMaxBlockSize(int frames) {
    const int size = tailLength + frames < 1 ? 1 : frames;
    if (tailLength == 0) {
        Allocate(channelCount, sampleRate, size, 0, true);
        return;
    }
    DataTail saved(channelCount, tailLength);
    saved.Append(buffers.data(), tailLength, 0);
    Allocate(channelCount, sampleRate, size, tailLength, true);
    fillCount = 0;
    Append(saved.buffers.data(), tailLength, 0);
}

void DataTail::Fill(float value) {
    fillCount = tailLength;
    for (float* buffer : buffers)
        VecSet(Capacity(), buffer, value);
}

void DataTail::Append(const float* const* sources, int frames, int sourceOffset) {
    if (frames == 0) return;
    for (int c = 0; c < channelCount; ++c)
        VecCopy(frames, sources[c] + sourceOffset, buffers[c] + fillCount);
    fillCount += frames;
}

void DataTail::AdvanceKeepingTail(int frames) {
    if (frames == 0) return;
    int keep = tailLength;
    if (tailLength + frames > fillCount) keep = fillCount - frames;
    if (keep + frames > Capacity()) keep = Capacity() - frames;
    if (keep > 0) {
        for (float* buffer : buffers)
            VecMove(keep, buffer + frames, buffer);
    }
    fillCount = keep;
}

void DataTail::Discard(int frames) {
    if (frames == 0 || fillCount == 0) return;
    if (frames > fillCount) frames = fillCount;
    const int remaining = fillCount - frames;
    for (float* buffer : buffers)
        VecMove(remaining, buffer + frames, buffer);
    fillCount = remaining;
}

} // namespace DSP
