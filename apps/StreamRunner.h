#pragma once
// Drives the plug-in over a stream exactly as a host does: channels, StartStreaming,
// buffers of a host's size each stamped with its time (time 0 resets the stages),
// Process, FlushTail at the end, StopStreaming. Memory does not grow with the length
// of the stream.

#include <cstdint>
#include <vector>

#include "apps/Frames.h"

class HostPlugin;
class Progress;

class StreamRunner {
public:
    StreamRunner(HostPlugin& plugin, int channels, std::uint32_t rate);

    // The frames of one host buffer.
    int BufferFrames() const { return bufferFrames; }

    // Passes the whole source through the plug-in. The sink receives exactly as many
    // frames as the source gave, aligned with them: the plug-in's delay is hidden by
    // its own compensation, and the end of the stream comes from its flushed tail.
    void Restore(FrameSource& source, FrameSink& sink, Progress& progress);

    // Learns the noise profile from up to `frames` frames of the source, as a user does
    // in a host: the audio plays, "Train" goes on once it has reached the noise stage
    // (so nothing is learnt from the silence the stages start with) and off at its end.
    // Returns false when that was too short for the plug-in to learn anything.
    bool Train(FrameSource& source, std::int64_t frames, Progress& progress);

private:
    void Begin();
    // One host buffer of `frames` input frames that start at `position`; returns the
    // frames produced into the output buffers.
    int ProcessBuffer(int frames, std::int64_t position);
    float* Right(std::vector<float>& buffer) { return stereo ? buffer.data() : nullptr; }
    // Writes the frames still held back so that the sink's total reaches `total`.
    void WriteTail(FrameSink& sink, std::int64_t written, std::int64_t total);

    HostPlugin& plugin;
    bool stereo;
    std::uint32_t rate;
    int bufferFrames;
    std::vector<float> inLeft, inRight, outLeft, outRight;
};
