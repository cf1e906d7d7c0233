#pragma once
// Runs a processor that reads lookAhead frames beyond the end of each block: keeps
// the last lookAhead input frames and hands the inner processor a work buffer that
// holds them followed by the new block. The result is delayed by the inner latency
// plus the look-ahead, and the streamer itself needs no look-ahead.

#include "dsp/AudioProcessor.h"
#include "dsp/DataTail.h"

class LookAheadStreamer : public DSP::AudioProcessor {
public:
    // inner is not owned and must outlive the streamer.
    explicit LookAheadStreamer(DSP::AudioProcessor* inner);

    void Setup(int channels, int rate, int maxFrames) override;
    void Process(float* const* input, int frames, float* const* output) override;
    void Reset() override;
    void SetMaxBlockSize(int frames) override;

    DSP::AudioProcessor* inner;
    // The previous look-ahead frames followed by the current block; inner works in place.
    DSP::DataTail workBuffer;
    // The last inner->lookAhead input frames.
    DSP::DataTail history;
};
