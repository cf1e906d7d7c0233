#pragma once
// The interface of every restoration stage: set up for a channel count, a sample
// rate and a largest block length, then transform blocks of planar float audio,
// in place (output == nullptr) or into separate output buffers.

namespace DSP {

class AudioProcessor {
public:
    virtual ~AudioProcessor() = default;

    virtual void Setup(int channels, int rate, int maxFrames) {
        channelCount = channels;
        sampleRate = rate;
        maxBlockSize = maxFrames;
    }
    // The base grows the set-up block length when a longer block arrives.
    virtual void Process(float* const* input, int frames, float* const* output) {
        (void)input;
        (void)output;
        if (frames > maxBlockSize) SetMaxBlockSize(frames);
    }
    virtual void Reset() {}
    virtual void SetMaxBlockSize(int frames) { Setup(channelCount, sampleRate, frames); }

    int maxBlockSize = 0;
    int channelCount = 0;
    int sampleRate = 0;
    // Frames between a sample entering Process and the matching sample leaving it.
    int latency = 0;
    // Input frames beyond the current block that the processor needs to see.
    int lookAhead = 0;
};

} // namespace DSP
