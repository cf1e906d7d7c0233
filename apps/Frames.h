#pragma once
// Where planar float audio comes from and goes to, a block at a time. The right
// channel's pointer is null for mono.

class FrameSource {
public:
    virtual ~FrameSource() = default;
    // Up to `frames` frames; fewer only at the end, 0 once it is reached.
    virtual int Read(int frames, float* left, float* right) = 0;
};

class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual void Write(int frames, const float* left, const float* right) = 0;
};
