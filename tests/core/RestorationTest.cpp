#include <gtest/gtest.h>

#include "tests/core/RestorationTestSupport.h"

namespace {

constexpr std::uint32_t adapterDelay = 4095;

TEST(RestorationLatency, IsTheSumOfTheEnabledStagesAndTheBlockAdapter) {
    const struct {
        std::uint32_t rate, declip, declick, reduction;
    } rows[] = {{22050, 697, 2489, 1536}, {44100, 1394, 4978, 3072}, {48000, 1472, 5056, 3072}};
    for (const auto& row : rows) {
        EffectPlugin plugin;
        plugin.StartStreaming(row.rate);
        const std::uint32_t all = adapterDelay + row.declip + row.declick + row.reduction;
        plugin.Effect().SetTraining(true);
        EXPECT_EQ(plugin.Engine().Latency(), all) << row.rate;
        plugin.EnableStages(false, true, true);
        EXPECT_EQ(plugin.Engine().Latency(), all - row.declip);
        plugin.EnableStages(true, false, true);
        EXPECT_EQ(plugin.Engine().Latency(), all - row.declick);
        plugin.EnableStages(true, true, false);
        EXPECT_EQ(plugin.Engine().Latency(), all - row.reduction);
        plugin.EnableStages(false, false, false);
        EXPECT_EQ(plugin.Engine().Latency(), adapterDelay);
    }
}

// Stereo through the engine's own step, which adds no offset and compensates nothing.
struct EngineRun : ::testing::Test {
    EngineRun() {
        plugin.SetChannels(2, 2);
        plugin.StartStreaming(44100);
    }
    static Audio Run(EffectPlugin& plugin, Audio in) {
        Audio out{std::vector<float>(in.Frames()), std::vector<float>(in.Frames())};
        for (std::size_t at = 0, k = 0; at < in.Frames(); at += 1000 + 3000 * (k++ % 2)) {
            const int n = std::min(1000 + 3000 * int(k % 2), int(in.Frames() - at));
            EXPECT_EQ(plugin.Transform().Run(n, &in.left[at], &in.right[at], &out.left[at],
                                             &out.right[at], 50),
                      n);
        }
        return out;
    }
    // out[i] == gain * in[i - delay], silence before.
    static void ExpectDelayed(const Audio& out, const Audio& in, std::size_t delay, float gain) {
        for (std::size_t i = 0; i < out.Frames(); ++i) {
            ASSERT_EQ(out.left[i], i < delay ? 0.0f : gain * in.left[i - delay]) << i;
            ASSERT_EQ(out.right[i], i < delay ? 0.0f : gain * in.right[i - delay]) << i;
        }
    }
    EffectPlugin plugin;
    // Never near the clip level.
    const Audio quiet{WhiteNoise(30000, 0.15f, 1), WhiteNoise(30000, 0.15f, 2)};
};

TEST_F(EngineRun, WithAllStagesOffTheBlockAdapterDelaysBitExactly) {
    plugin.EnableStages(false, false, false);
    ExpectDelayed(Run(plugin, quiet), quiet, adapterDelay, 1.0f);
}

TEST_F(EngineRun, KeepOnlyNoiseCancelsWhatNoEnabledStageChanges) {
    plugin.Effect().SetKeepOnlyNoise(true);
    plugin.EnableStages(false, false, false);
    ExpectDelayed(Run(plugin, quiet), quiet, 0, 0.0f);
    plugin.EnableStages(true, false, false);
    plugin.ResetState();
    ExpectDelayed(Run(plugin, quiet), quiet, 0, 0.0f);
}

// A bypassed stretch comes back as it went in, and the chain goes on as if it had never
// seen it.
TEST_F(EngineRun, BypassReturnsTheInputAndLeavesTheStagesUntouched) {
    plugin.Effect().SetBypass(true);
    const Audio bypassed = Run(plugin, quiet);
    EXPECT_EQ(bypassed.left, quiet.left);
    EXPECT_EQ(bypassed.right, quiet.right);
    plugin.Effect().SetBypass(false);
    EffectPlugin fresh;
    fresh.SetChannels(2, 2);
    fresh.StartStreaming(44100);
    EXPECT_EQ(Run(plugin, quiet).left, Run(fresh, quiet).left);
}

TEST(RestorationStream, DelayCompensationLinesTheOutputUpWithTheInput) {
    EffectPlugin plugin;
    const Audio in{WhiteNoise(30000, 0.2f, 3), WhiteNoise(30000, 0.2f, 4)};
    EXPECT_EQ(RunStream(plugin, in).Frames(), in.Frames());
    plugin.EnableStages(false, false, false);
    const Audio out = RunStream(plugin, in);
    ASSERT_EQ(out.Frames(), in.Frames());
    for (std::size_t i = 0; i < in.Frames(); ++i) {
        ASSERT_NEAR(out.left[i], in.left[i], 1e-9) << i;
        ASSERT_NEAR(out.right[i], in.right[i], 1e-9) << i;
    }
}

// A second of hiss alone to learn from, then three seconds of clipped, clicky, hissy music,
// measured from 8192 frames into the music. It goes in at 14.0 dB SNR and comes out at 15.4
// (declip), 15.2 (declick), 15.3 (noise reduction) and 17.3 dB (the chain).
TEST(RestorationQuality, EveryStageAndTheChainRaiseTheSnrOfDamagedMusic) {
    constexpr std::size_t leadIn = 44100, training = leadIn - 8192;
    Audio clean{std::vector<float>(leadIn), std::vector<float>(leadIn)};
    const Audio music = Music(3 * 44100);
    clean.Append(music.left.data(), music.right.data(), music.Frames());
    const Audio damaged = Damage(clean, leadIn, 0.06f);
    const double before = SnrDb(clean, damaged, 1.0f, leadIn + 8192);
    EXPECT_NEAR(before, 14.0, 0.5);

    const struct {
        bool declip, declick, reduction;
        double gainDb;
    } rows[] = {{true, false, false, 0.8},
                {false, true, false, 0.8},
                {false, false, true, 0.8},
                {true, true, true, 2.5}};
    for (const auto& row : rows) {
        EffectPlugin plugin;
        plugin.EnableStages(row.declip, row.declick, row.reduction);
        plugin.SetChannels(2, 2);
        plugin.StartStreaming(44100);
        Audio out;
        plugin.Effect().SetTraining(true);
        Feed(plugin, damaged, 0, training, out);
        plugin.Effect().SetTraining(false);
        Feed(plugin, damaged, training, damaged.Frames(), out);
        Flush(plugin, out);
        ASSERT_EQ(out.Frames(), damaged.Frames());
        const float gain = row.declip ? std::pow(10.0f, -6.0f / 20.0f) : 1.0f;
        const double after = SnrDb(clean, out, gain, leadIn + 8192);
        EXPECT_GT(after, before + row.gainDb) << row.declip << row.declick << row.reduction;
    }
}

} // namespace
