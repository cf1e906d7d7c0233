#pragma once
// Lets a component insist on a fixed block length whatever lengths the host delivers.
// With a block size of 0 the host buffer passes through in one piece. With a block
// size B > 0 the input is collected until B frames are there, each block of B frames
// is processed in place, and every call hands back exactly as many frames as it
// received: the processed signal delayed by B - 1 frames.

#include <array>
#include <cstdint>
#include <vector>

namespace DSP {

class BlockAdapter {
public:
    static constexpr std::size_t maxChannels = 2;

    struct Format {
        std::uint32_t blockSize = 0;
        std::uint32_t inputChannels = 0;
        // Blocks are processed in place; the output count only completes the format.
        std::uint32_t outputChannels = 0;
        bool operator==(const Format&) const = default;
    };

    struct Block {
        int frames = 0;
        // A null channel is absent in this call.
        std::array<float*, maxChannels> channels{};
    };

    // Changes of format clear the adapter; an unchanged format leaves it alone.
    void Configure(const Format& newFormat);
    // Outside a call: forget the input and start over with B - 1 frames of silence
    // waiting on the output. Inside a call: silence what waits on the output.
    void Clear();

    // channels holds one pointer per channel, the second one null for a mono call;
    // the processed frames are written back into the same buffers by End.
    void Begin(int frames, const std::array<float*, maxChannels>& channels);
    bool NextBlock(Block& block);
    void End();
    // Leaves a call without delivering anything, and clears.
    void Abort();

    std::uint32_t Latency() const { return format.blockSize > 0 ? format.blockSize - 1 : 0; }
    const Format& GetFormat() const { return format; }

private:
    std::size_t ChannelCount() const { return inputFifos.size(); }
    void Deliver(std::size_t channel);

    Format format;
    // Per channel: samples not yet handed back to the host. The input FIFO holds the
    // processed part (before inputPosition) followed by what still waits for a block;
    // the output FIFO holds processed samples that were due after the last call.
    std::vector<std::vector<float>> inputFifos;
    std::vector<std::vector<float>> outputFifos;
    std::size_t inputPosition = 0;
    bool inCall = false;
    bool passedThrough = false;
    int callFrames = 0;
    std::array<float*, maxChannels> callChannels{};
};

} // namespace DSP
