#include "dsp/Declick.h"
#include "dsp/ParameterMapping.h"
#include "tests/dsp/RepairTestSupport.h"

#include <gtest/gtest.h>

namespace {

// As the restoration component sets it up, at the default sensitivity.
void Prepare(Declick& declick, int rate, int blockSize) {
    declick.quality = 0.0f;
    declick.detectionLevel = DSP::Restoration::DetectionLevelDb(DSP::Restoration::defaultSetting);
    declick.Setup(1, rate, blockSize);
}

TEST(DeclickTest, ConstantsFollowTheSampleRate) {
    struct Case {
        int rate, order, window, maxClick, latency;
    };
    for (const Case& c : {Case{22050, 10, 4096, 441, 2489}, Case{44100, 20, 8192, 882, 4978},
                          Case{48000, 22, 8192, 960, 5056}}) {
        Declick declick;
        Prepare(declick, c.rate, 4096);
        EXPECT_EQ(declick.order, c.order) << c.rate;
        EXPECT_EQ(declick.analysisLength, c.window) << c.rate;
        EXPECT_EQ(declick.maxClickLength, c.maxClick) << c.rate;
        EXPECT_EQ(declick.latency, c.latency) << c.rate;
        EXPECT_EQ(declick.lookAhead, c.latency) << c.rate;
    }
}

TEST(DeclickTest, UndamagedInputIsDelayedBitExactIncludingTheStepFromSilence) {
    const std::vector<float> x = MusicLike(20000, 0.3f); // starts with a step from 0 to 0.3
    Declick declick;
    Prepare(declick, 44100, 1000);
    const std::vector<float> out = RunInBlocks(declick, x, 1000);
    for (int n = 0; n < 4978; ++n)
        ASSERT_EQ(out[n], 0.0f) << n;
    for (int n = 0; n < 20000; ++n)
        ASSERT_EQ(out[n + 4978], x[n]) << n;
}

// Adds bursts of the given lengths at the given positions and repairs in blocks of
// blockSize: the bursts and the edges that the refinement adds to them are rebuilt close
// to the clean signal; nothing further than 16 samples from a burst changes.
std::vector<float> RepairBursts(const std::vector<int>& starts, int length, int blockSize) {
    const std::vector<float> clean = MusicLike(16000);
    std::vector<float> damaged = clean;
    for (int start : starts)
        for (int i = 0; i < length; ++i)
            damaged[start + i] += i % 2 ? -0.4f : 0.4f;
    Declick declick;
    Prepare(declick, 44100, blockSize);
    const std::vector<float> out = RunAligned(declick, damaged, blockSize);
    for (int n = 0; n < 16000; ++n) {
        const bool near = std::any_of(starts.begin(), starts.end(), [&](int start) {
            return n >= start - 16 && n < start + length + 16;
        });
        EXPECT_NEAR(out[n], near ? clean[n] : damaged[n], near ? 0.04f : 0.0f) << n;
    }
    return out;
}

TEST(DeclickTest, RepairsASpikeAndLeavesItsNeighboursAlone) {
    RepairBursts({6000}, 1, 4096);
}

TEST(DeclickTest, RepairsClicksAcrossBlockBoundariesAlikeForAnyBlockSize) {
    // Output block boundaries fall at input 3214 (blocks of 4096 and 64) and 3022 (1000
    // and 64).
    const std::vector<int> starts = {3016, 3210};
    const std::vector<float> large = RepairBursts(starts, 8, 4096);
    const std::vector<float> medium = RepairBursts(starts, 8, 1000);
    const std::vector<float> small = RepairBursts(starts, 8, 64);
    for (int n = 0; n < 16000; ++n) {
        ASSERT_NEAR(medium[n], large[n], 0.04f) << n;
        ASSERT_NEAR(small[n], large[n], 0.04f) << n;
    }
}

} // namespace
