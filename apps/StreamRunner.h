#pragma once
// Drives the plug-in over a stream as a host does: channels, StartStreaming, buffers of
// a host's size each stamped with its time (time 0 resets the stages), Process,
// StopStreaming. Where a host would flush the tail with silence, a file's end is
// followed by the continuation of its signal. Memory does not grow with the length of
// the stream.

#include <cstdint>
#include <vector>

#include "apps/Frames.h"

class Continuation;
class HostPlugin;
class Progress;

class StreamRunner {
public:
    StreamRunner(HostPlugin& plugin, int channels, std::uint32_t rate);

    // The frames of one host buffer.
    int BufferFrames() const { return bufferFrames; }

    // Passes the whole source through the plug-in. The sink receives exactly as many
    // frames as the source gave, aligned with them: the plug-in's delay is hidden by
    // its own compensation, and the frames it holds back at the end come out as the
    // continuation of the signal is fed after them.
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
    // Feeds the continuation until the sink has all `taken` frames.
    void WriteEnd(Continuation& continuation, FrameSink& sink, std::int64_t taken,
                  std::int64_t written);

    HostPlugin& plugin;
    bool stereo;
    std::uint32_t rate;
    int bufferFrames;
    std::vector<float> inLeft, inRight, outLeft, outRight;
};
