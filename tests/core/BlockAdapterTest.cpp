#include <gtest/gtest.h>

#include <random>

#include "core/BlockAdapter.h"

namespace {

// Feeds ragged host buffers through a fixed-block adapter. Each block gets its own
// offset (1000 times its number), so a block cut at the wrong place shows.
class FixedBlocks {
public:
    explicit FixedBlocks(std::uint32_t blockSize) { adapter.Configure({blockSize, 2, 2}); }

    void Run(int frames, float* left, float* right) {
        adapter.Begin(frames, {left, right});
        DSP::BlockAdapter::Block block;
        while (adapter.NextBlock(block)) {
            for (float* channel : block.channels)
                for (int i = 0; channel != nullptr && i < block.frames; ++i)
                    channel[i] += 1000.0f * float(blocks);
            ++blocks;
        }
        adapter.End();
    }

    DSP::BlockAdapter adapter;
    int blocks = 0;
};

// The adapter's output for an input sample at position n of the stream.
float Expected(const std::vector<float>& input, std::size_t n, std::size_t blockSize) {
    if (n + 1 < blockSize) return 0.0f;
    const std::size_t source = n + 1 - blockSize;
    return input[source] + 1000.0f * float(source / blockSize);
}

void CheckRaggedStream(bool stereo, std::uint32_t blockSize, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> length(0, 3 * int(blockSize));
    std::vector<float> left(20000), right(20000);
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = float(i % 997);
        right[i] = -float(i % 991);
    }
    std::vector<float> outLeft = left, outRight = right;
    FixedBlocks fixed(blockSize);
    std::size_t position = 0;
    while (position < left.size()) {
        const int frames = std::min(length(random), int(left.size() - position));
        fixed.Run(frames, outLeft.data() + position, stereo ? outRight.data() + position : nullptr);
        position += std::size_t(frames);
    }
    for (std::size_t n = 0; n < left.size(); ++n) {
        ASSERT_EQ(outLeft[n], Expected(left, n, blockSize)) << "frame " << n;
        if (stereo) {
            ASSERT_EQ(outRight[n], Expected(right, n, blockSize)) << "frame " << n;
        }
    }
    EXPECT_EQ(std::size_t(fixed.blocks), left.size() / blockSize);
    EXPECT_EQ(fixed.adapter.Latency(), blockSize - 1);
}

TEST(BlockAdapter, RaggedHostBuffersComeOutDelayedByOneBlockLessOneFrame) {
    CheckRaggedStream(true, 64, 1);
    CheckRaggedStream(false, 64, 2);
    CheckRaggedStream(true, 1, 3);
    CheckRaggedStream(false, 4096, 4);
}

TEST(BlockAdapter, ClearStartsOverWithSilence) {
    FixedBlocks fixed(4);
    std::vector<float> signal = {1, 2, 3, 4, 5, 6};
    fixed.Run(6, signal.data(), nullptr);
    fixed.adapter.Clear();
    std::vector<float> next = {7, 8, 9, 10};
    fixed.Run(4, next.data(), nullptr);
    // Block 1 (offset 1000) of the fresh stream ends at its fourth frame.
    EXPECT_EQ(next, (std::vector<float>{0, 0, 0, 1007}));
}

} // namespace
