#include "dsp/LookAheadStreamer.h"

#include "primitives/Vec.h"

LookAheadStreamer::LookAheadStreamer(DSP::AudioProcessor* innerProcessor) : inner(innerProcessor) {}

void LookAheadStreamer::Setup(int channels, int rate, int maxFrames) {
    AudioProcessor::Setup(channels, rate, maxFrames);
    inner->Setup(channels, rate, maxFrames);
    latency = inner->latency + inner->lookAhead;
    workBuffer.Setup(channels, rate, inner->lookAhead + maxFrames);
    history.Allocate(channels, rate, 0, inner->lookAhead, true);
    Reset();
}

void LookAheadStreamer::Reset() {
    inner->Reset();
    history.Reset();
}

void LookAheadStreamer::SetMaxBlockSize(int frames) {
    Setup(channelCount, sampleRate, frames);
    inner->SetMaxBlockSize(maxBlockSize);
    workBuffer.SetMaxBlockSize(inner->lookAhead + maxBlockSize);
}

void LookAheadStreamer::Process(float* const* input, int frames, float* const* output) {
    AudioProcessor::Process(input, frames, output);
    if (output == nullptr) output = input;
    const int la = inner->lookAhead;

    workBuffer.fillCount = 0;
    workBuffer.Append(history.buffers.data(), la, 0);
    workBuffer.Append(input, frames, 0);

    if (la <= frames) {
        history.fillCount = 0;
        history.Append(input, la, frames - la);
    } else {
        history.fillCount = la;
        history.AdvanceKeepingTail(frames);
        history.Append(input, frames, 0);
    }

    inner->Process(workBuffer.buffers.data(), frames, nullptr);
    for (int c = 0; c < channelCount; ++c)
        VecCopy(frames, workBuffer.buffers[c], output[c]);
}
