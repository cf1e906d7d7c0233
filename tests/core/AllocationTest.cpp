// The audio path allocates nothing after set-up: this program replaces the global
// operator new with one that counts, and streams the effect through every kind of change
// a host makes while it plays.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "RestorationTestSupport.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* Allocate(std::size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

// Host buffers of 4096 frames; the calls into the plug-in are counted, the setters the
// control thread calls between them are not.
class Stream {
public:
    explicit Stream(EffectPlugin& p) : plugin(p), input(Damage(Music(44100 * 4), 0, 0.01f)) {}

    long Play(int buffers) {
        long before = allocations;
        for (int b = 0; b < buffers; ++b) {
            const std::size_t from = position % (input.Frames() - 4096);
            std::copy_n(&input.left[from], 4096, left.begin());
            std::copy_n(&input.right[from], 4096, right.begin());
            counting = true;
            plugin.Process(4096, left.data(), right.data(), outLeft.data(), outRight.data());
            counting = false;
            position += 4096;
        }
        return allocations - before;
    }

private:
    EffectPlugin& plugin;
    Audio input;
    std::size_t position = 0;
    std::vector<float> left = std::vector<float>(4096), right = left, outLeft = left,
                       outRight = left;
};

TEST(Allocation, TheCounterSeesAnAllocation) {
    counting = true;
    auto held = std::make_unique<std::vector<float>>(100);
    counting = false;
    EXPECT_EQ(allocations, 2);
}

TEST(Allocation, ProcessAllocatesNothingThroughChangesTrainingAndKeepOnlyNoise) {
    allocations = 0;
    EffectPlugin plugin;
    plugin.Start();
    Stream stream(plugin);
    Restoration& effect = plugin.Effect();

    EXPECT_EQ(stream.Play(100), 0) << "the first buffers, clicks and clipping included";
    effect.SetReductionAmount(0.9f);
    effect.SetReductionSensitivity(0.2f);
    effect.SetDeclickSensitivity(0.8f);
    EXPECT_EQ(stream.Play(10), 0) << "after the float parameters changed";
    effect.SetReductionAmount(0.0f);
    EXPECT_EQ(stream.Play(10), 0) << "at the smallest reduction, the widest smoothing";
    effect.SetTraining(true);
    EXPECT_EQ(stream.Play(10), 0) << "while learning";
    effect.SetTraining(false);
    EXPECT_EQ(stream.Play(10), 0) << "with the learnt profile";
    effect.SetKeepOnlyNoise(true);
    EXPECT_EQ(stream.Play(10), 0) << "keep-only-noise";
    effect.SetDeclickEnabled(false);
    effect.SetReductionEnabled(false);
    EXPECT_EQ(stream.Play(10), 0) << "keep-only-noise with a shorter chain";
    effect.SetKeepOnlyNoise(false);
    effect.SetDeclickEnabled(true);
    effect.SetReductionEnabled(true);
    EXPECT_EQ(stream.Play(10), 0) << "all stages back";
    effect.SetHighQuality(true);
    effect.SetKeepOnlyNoise(true);
    EXPECT_EQ(stream.Play(10), 0) << "the high-quality reducer, keep-only-noise";
    effect.SetKeepOnlyNoise(false);
    effect.SetReductionAmount(0.5f);
    effect.SetTraining(true);
    EXPECT_EQ(stream.Play(10), 0) << "learning with the high-quality reducer chosen";
    effect.SetTraining(false);
    EXPECT_EQ(stream.Play(10), 0) << "the high-quality reducer on the new profile";
    plugin.StopStreaming();
}

// A stream of stereo input after one of mono input: the stages are set up for two
// channels when the stream starts, so that no block has to set them up again. The
// same audio in both streams has every stage grow its storage in the first one.
TEST(Allocation, StagesAreSetUpForThePluginsChannelsBeforeTheFirstBlock) {
    EffectPlugin plugin;
    const Audio music = Music(4410);
    std::vector<float> inL(4410), inR(4410), outL(4410), outR(4410);
    auto feed = [&](int blocks, bool stereo) {
        for (int block = 0; block < blocks; ++block) {
            std::copy(music.left.begin(), music.left.end(), inL.begin());
            std::copy(music.left.begin(), music.left.end(), inR.begin());
            plugin.Process(4410, inL.data(), stereo ? inR.data() : nullptr, outL.data(),
                           stereo ? outR.data() : nullptr);
        }
    };
    plugin.SetChannels(1, 1);
    plugin.StartStreaming(44100);
    feed(6, false);
    plugin.StopStreaming();
    plugin.Start();
    allocations = 0;
    counting = true;
    feed(3, true);
    counting = false;
    EXPECT_EQ(allocations, 0);
}

} // namespace
