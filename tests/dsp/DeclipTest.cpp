#include "dsp/Declip.h"
#include "tests/dsp/RepairTestSupport.h"

#include <gtest/gtest.h>

namespace {

const float clipAmp = std::exp(0.115129255f * -0.1f);

void Prepare(Declip& declip, int rate, int blockSize, float gainDb) {
    declip.quality = 0.0f;
    declip.outputGainDb = gainDb;
    declip.Setup(1, rate, blockSize);
}

TEST(DeclipTest, ConstantsFollowTheSampleRate) {
    struct Case {
        int rate, order, window, maxRun, latency;
    };
    for (const Case& c : {Case{22050, 8, 512, 441, 697}, Case{44100, 14, 1024, 882, 1394},
                          Case{48000, 16, 1024, 960, 1472}}) {
        Declip declip;
        Prepare(declip, c.rate, 4096, -6.0f);
        EXPECT_EQ(declip.order, c.order) << c.rate;
        EXPECT_EQ(declip.analysisLength, c.window) << c.rate;
        EXPECT_EQ(declip.maxRunLength, c.maxRun) << c.rate;
        EXPECT_EQ(declip.latency, c.latency) << c.rate;
        EXPECT_EQ(declip.lookAhead, c.latency) << c.rate;
    }
}

TEST(DeclipTest, OutputIsSilenceThenTheDelayedInputTimesTheGain) {
    const std::vector<float> x = MusicLike(6000);
    Declip halved, unity;
    Prepare(halved, 44100, 1000, -6.0f);
    Prepare(unity, 44100, 1000, 0.0f);
    const std::vector<float> out = RunInBlocks(halved, x, 1000);
    const std::vector<float> exact = RunInBlocks(unity, x, 1000);
    for (int n = 0; n < 1394; ++n)
        ASSERT_EQ(out[n], 0.0f) << n;
    for (int n = 0; n < 6000; ++n) {
        ASSERT_FLOAT_EQ(out[n + 1394], 0.50118723f * x[n]) << n;
        ASSERT_EQ(exact[n + 1394], x[n]) << n;
    }
}

// Clips the swells, adds one sample at exactly the clip level and repairs in blocks of
// blockSize: the rebuilt samples follow the unclipped signal, all others pass unchanged.
std::vector<float> RepairSwells(const std::vector<int>& centres, int blockSize) {
    const std::vector<float> truth = Swells(9000, centres);
    std::vector<float> clipped = truth;
    for (float& v : clipped)
        v = std::clamp(v, -1.0f, 1.0f);
    clipped[4000] = clipAmp;
    Declip declip;
    Prepare(declip, 44100, blockSize, 0.0f);
    const std::vector<float> out = RunAligned(declip, clipped, blockSize);
    int rebuilt = 0;
    for (int n = 0; n < 9000; ++n) {
        const bool damaged = std::abs(clipped[n]) >= clipAmp;
        EXPECT_NEAR(out[n], damaged ? truth[n] : clipped[n], damaged ? 0.02f : 0.0f) << n;
        rebuilt += damaged;
    }
    EXPECT_EQ(rebuilt, 130); // six clipped peaks and the single sample
    return out;
}

TEST(DeclipTest, RebuildsClippedPeaksAcrossBlockBoundariesAlikeForAnyBlockSize) {
    // Output block boundaries fall at input 2702 (blocks of 4096 and 64) and 6606 (1000
    // and 64), in the middle of a clipped peak.
    const std::vector<int> centres = {2702, 6606};
    const std::vector<float> large = RepairSwells(centres, 4096);
    const std::vector<float> medium = RepairSwells(centres, 1000);
    const std::vector<float> small = RepairSwells(centres, 64);
    for (int n = 0; n < 9000; ++n) {
        ASSERT_NEAR(medium[n], large[n], 0.02f) << n;
        ASSERT_NEAR(small[n], large[n], 0.02f) << n;
    }
    EXPECT_GT(*std::max_element(large.begin(), large.end()), 1.1f);
}

} // namespace
