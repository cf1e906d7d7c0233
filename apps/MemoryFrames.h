#pragma once
// Audio held in memory as a frame source or sink: the demo and the tests play a
// synthesised signal through the stream runner without a file.

#include <algorithm>
#include <cstddef>

#include "apps/Frames.h"
#include "support/Signals.h"

// Plays a stereo signal from its start; the signal must outlive the source.
class MemorySource : public FrameSource {
public:
    explicit MemorySource(const StereoSignal& signal) : signal(signal) {}
    int Read(int frames, float* left, float* right) override {
        const std::size_t n = std::min(std::size_t(frames), signal.Frames() - position);
        std::copy_n(signal.left.begin() + std::ptrdiff_t(position), n, left);
        std::copy_n(signal.right.begin() + std::ptrdiff_t(position), n, right);
        position += n;
        return int(n);
    }

private:
    const StereoSignal& signal;
    std::size_t position = 0;
};

// Keeps every stereo frame written to it.
class MemorySink : public FrameSink {
public:
    void Write(int frames, const float* left, const float* right) override {
        signal.left.insert(signal.left.end(), left, left + frames);
        signal.right.insert(signal.right.end(), right, right + frames);
    }

    StereoSignal signal;
};

// Drops what is written to it.
class DiscardSink : public FrameSink {
public:
    void Write(int, const float*, const float*) override {}
};
