#include "dsp/Declick.h"
#include "dsp/Declip.h"
#include "dsp/ParameterMapping.h"
#include "tests/dsp/RepairTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

const float clipAmp = std::exp(0.115129255f * -0.1f);

void Prepare(Declip& declip, int rate, int blockSize, float gainDb) {
    declip.quality = 0.0f;
    declip.outputGainDb = gainDb;
    declip.Setup(1, rate, blockSize);
}

// As the restoration component sets it up, at the default sensitivity.
void Prepare(Declick& declick, int rate, int blockSize) {
    declick.quality = 0.0f;
    declick.detectionLevel = DSP::Restoration::DetectionLevelDb(DSP::Restoration::defaultSetting);
    declick.Setup(1, rate, blockSize);
}

TEST(RepairStages, ConstantsFollowTheSampleRate) {
    using Row = std::tuple<int, int, int, int, int>; // order, window, longest run, latency x2
    const struct {
        int rate;
        Row declip, declick;
    } table[] = {{22050, {8, 512, 441, 697, 697}, {10, 4096, 441, 2489, 2489}},
                 {44100, {14, 1024, 882, 1394, 1394}, {20, 8192, 882, 4978, 4978}},
                 {48000, {16, 1024, 960, 1472, 1472}, {22, 8192, 960, 5056, 5056}}};
    for (const auto& row : table) {
        Declip declip;
        Prepare(declip, row.rate, 4096, -6.0f);
        Declick declick;
        Prepare(declick, row.rate, 4096);
        EXPECT_EQ(Row(declip.order, declip.analysisLength, declip.maxRunLength, declip.latency,
                      declip.lookAhead),
                  row.declip)
            << row.rate;
        EXPECT_EQ(Row(declick.order, declick.analysisLength, declick.maxClickLength,
                      declick.latency, declick.lookAhead),
                  row.declick)
            << row.rate;
    }
}

// Silence for `latency` frames, then the input bit for bit.
void ExpectDelayed(const std::vector<float>& out, const std::vector<float>& in, int latency) {
    ASSERT_EQ(std::vector<float>(out.begin(), out.begin() + latency),
              std::vector<float>(latency, 0.0f));
    ASSERT_EQ(std::vector<float>(out.begin() + latency, out.begin() + latency + in.size()), in);
}

// Undamaged input passes delayed and untouched (declip's scaled by its output gain), the
// step from the silent history into the stream included.
TEST(RepairStages, UndamagedInputIsSilenceThenTheDelayedInput) {
    const std::vector<float> x = MusicLike(6000), stepped = MusicLike(20000, 0.3f);
    Declip halved, unity;
    Prepare(halved, 44100, 1000, -6.0f);
    Prepare(unity, 44100, 1000, 0.0f);
    Declick declick;
    Prepare(declick, 44100, 1000);
    ExpectDelayed(RunInBlocks(unity, x, 1000), x, 1394);
    ExpectDelayed(RunInBlocks(declick, stepped, 1000), stepped, 4978);
    const std::vector<float> out = RunInBlocks(halved, x, 1000);
    for (int n = 0; n < 6000; ++n)
        ASSERT_FLOAT_EQ(out[n + 1394], 0.50118723f * x[n]) << n;
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

// Output block boundaries fall at input 2702 and 3214 (blocks of 4096 and 64) and at 6606
// and 3022 (1000 and 64): in the middle of a clipped peak and of a click.
TEST(RepairStages, DamageAcrossBlockBoundariesIsRepairedAlikeForAnyBlockSize) {
    const std::vector<float> clipLarge = RepairSwells({2702, 6606}, 4096);
    const std::vector<float> clickLarge = RepairBursts({3016, 3210}, 8, 4096);
    EXPECT_GT(*std::max_element(clipLarge.begin(), clipLarge.end()), 1.1f);
    for (int blockSize : {1000, 64}) {
        SCOPED_TRACE(blockSize);
        const std::vector<float> clip = RepairSwells({2702, 6606}, blockSize);
        const std::vector<float> click = RepairBursts({3016, 3210}, 8, blockSize);
        for (int n = 0; n < 9000; ++n)
            ASSERT_NEAR(clip[n], clipLarge[n], 0.02f) << n;
        for (int n = 0; n < 16000; ++n)
            ASSERT_NEAR(click[n], clickLarge[n], 0.04f) << n;
    }
}

TEST(RepairStages, DeclickRepairsASpikeAndLeavesItsNeighboursAlone) {
    RepairBursts({6000}, 1, 4096);
}

} // namespace
