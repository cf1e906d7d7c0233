#include "core/BlockAdapter.h"

#include <algorithm>

#include "primitives/Vec.h"

namespace DSP {

void BlockAdapter::Configure(const Format& newFormat) {
    if (newFormat == format) return;
    format = newFormat;
    const std::size_t channels = std::min<std::size_t>(format.inputChannels, maxChannels);
    inputFifos.resize(channels);
    outputFifos.resize(channels);
    for (std::size_t c = 0; c < channels; ++c) {
        inputFifos[c].reserve(2 * std::size_t(format.blockSize));
        outputFifos[c].reserve(Latency());
    }
    Clear();
}

void BlockAdapter::Clear() {
    if (inCall) {
        for (auto& fifo : outputFifos)
            VecZero(int(fifo.size()), fifo.data());
        return;
    }
    for (auto& fifo : inputFifos)
        fifo.clear();
    for (auto& fifo : outputFifos)
        fifo.assign(Latency(), 0.0f);
    inputPosition = 0;
}

void BlockAdapter::Begin(int frames, const std::array<float*, maxChannels>& channels) {
    inCall = true;
    passedThrough = false;
    callFrames = frames;
    callChannels = channels;
    if (ChannelCount() < maxChannels) callChannels[1] = nullptr;
    if (format.blockSize == 0) return;
    // An absent channel still advances, with silence, so that all FIFOs stay in step.
    for (std::size_t c = 0; c < ChannelCount(); ++c) {
        auto& fifo = inputFifos[c];
        const std::size_t held = fifo.size();
        fifo.resize(held + std::size_t(frames));
        if (callChannels[c] != nullptr) VecCopy(frames, callChannels[c], fifo.data() + held);
    }
}

bool BlockAdapter::NextBlock(Block& block) {
    if (format.blockSize == 0) {
        if (passedThrough) return false;
        passedThrough = true;
        block.frames = callFrames;
        block.channels = callChannels;
        return true;
    }
    if (ChannelCount() == 0 || inputFifos[0].size() - inputPosition < format.blockSize) {
        return false;
    }
    block.frames = int(format.blockSize);
    block.channels = {};
    for (std::size_t c = 0; c < ChannelCount(); ++c) {
        if (callChannels[c] != nullptr) block.channels[c] = inputFifos[c].data() + inputPosition;
    }
    inputPosition += format.blockSize;
    return true;
}

// Hands back the oldest callFrames processed samples of one channel and keeps the
// rest: processed ones in the output FIFO, unprocessed ones in the input FIFO.
void BlockAdapter::Deliver(std::size_t channel) {
    auto& input = inputFifos[channel];
    auto& output = outputFifos[channel];
    float* destination = callChannels[channel];
    const std::size_t frames = std::size_t(callFrames);
    const std::size_t fromOutput = std::min(frames, output.size());
    const std::size_t fromInput = frames - fromOutput;
    if (destination != nullptr) {
        VecCopy(int(fromOutput), output.data(), destination);
        VecCopy(int(fromInput), input.data(), destination + fromOutput);
    }
    const std::size_t keptOutput = output.size() - fromOutput;
    VecMove(int(keptOutput), output.data() + fromOutput, output.data());
    output.resize(keptOutput);
    output.insert(output.end(), input.begin() + std::ptrdiff_t(fromInput),
                  input.begin() + std::ptrdiff_t(inputPosition));
    const std::size_t waiting = input.size() - inputPosition;
    VecMove(int(waiting), input.data() + inputPosition, input.data());
    input.resize(waiting);
}

void BlockAdapter::End() {
    if (format.blockSize > 0) {
        for (std::size_t c = 0; c < ChannelCount(); ++c)
            Deliver(c);
    }
    inputPosition = 0;
    inCall = false;
    callFrames = 0;
    callChannels = {};
}

void BlockAdapter::Abort() {
    inCall = false;
    callFrames = 0;
    callChannels = {};
    Clear();
}

} // namespace DSP
