#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/Global.h"
#include "dsp/LittleEndian.h"
#include "tests/core/RestorationTestSupport.h"

namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();
constexpr std::size_t stretchStart = 20000;
constexpr std::size_t stretchLength = 1500;

// Music with frames stretchStart ... + stretchLength of both channels replaced by `fill`
// (cycling through it).
Audio MusicWith(std::vector<float> fill) {
    Audio music = Music(88200);
    for (std::size_t i = 0; i < stretchLength; ++i) {
        music.left[stretchStart + i] = fill[i % fill.size()];
        music.right[stretchStart + i] = fill[(i + 1) % fill.size()];
    }
    return music;
}

Audio Restored(const Audio& in) {
    EffectPlugin plugin;
    plugin.Engine().GetGlobal().SetBoolParam(DSP::Global::delayCompensationParam, true);
    return RunStream(plugin, in);
}

bool AllFinite(const Audio& audio) {
    for (const std::vector<float>* channel : {&audio.left, &audio.right}) {
        for (float x : *channel) {
            if (!std::isfinite(x)) return false;
        }
    }
    return true;
}

// Non-finite samples are dropouts: the stream equals the one with zeros there. Huge
// ones leave no trace once the stages' memory (under a second) has passed.
TEST(NonFiniteInput, IsADropoutAndHugeSamplesLeaveNoTraceAfterTheStagesMemory) {
    const Audio zeros = Restored(MusicWith({0.0f}));
    ASSERT_TRUE(AllFinite(zeros));
    // Zeros carry the engine's anti-denormal offset, dropouts do not.
    const Audio dropped = Restored(MusicWith({nan, inf, -inf}));
    ASSERT_EQ(dropped.Frames(), zeros.Frames());
    for (std::size_t i = 0; i < zeros.Frames(); ++i)
        ASSERT_NEAR(dropped.left[i], zeros.left[i], 1e-6f) << i;

    const float denormal = std::numeric_limits<float>::denorm_min();
    const Audio huge =
        Restored(MusicWith({1e20f, -1e38f, std::numeric_limits<float>::max(), denormal, -3e6f}));
    ASSERT_TRUE(AllFinite(huge));
    const std::size_t settled = stretchStart + stretchLength + 44100;
    ASSERT_EQ(huge.Frames(), zeros.Frames());
    for (std::size_t i = settled; i < zeros.Frames(); ++i) {
        ASSERT_EQ(huge.left[i], zeros.left[i]) << i;
        ASSERT_EQ(huge.right[i], zeros.right[i]) << i;
    }
}

// Every combination of the switches, a whole stream of NaN or of the largest float.
TEST(NonFiniteInput, GivesFiniteOutputWithEveryStageSetting) {
    for (float value : {nan, -inf, std::numeric_limits<float>::max()}) {
        for (int switches = 0; switches < 8; ++switches) {
            EffectPlugin plugin;
            plugin.EnableStages(switches & 1, switches & 2, true);
            plugin.Effect().SetKeepOnlyNoise(switches & 4);
            const Audio out = RunStream(
                plugin, {std::vector<float>(12000, value), std::vector<float>(12000, value)});
            EXPECT_TRUE(AllFinite(out)) << value << " " << switches;
        }
    }
}

std::vector<float> LearntProfile(const Audio& noise) {
    EffectPlugin plugin;
    plugin.EnableStages(true, true, true);
    plugin.Effect().SetTraining(true);
    RunStream(plugin, noise);
    plugin.Effect().SetTraining(false);
    const std::vector<std::uint8_t> state = plugin.SaveState();
    std::vector<float> levels(Restoration::customStateSize / sizeof(float));
    const std::uint8_t* at = state.data() + state.size() - Restoration::customStateSize;
    for (float& level : levels) {
        level = LittleEndian::GetFloat(at);
        at += sizeof(float);
    }
    return levels;
}

double MeanDifferenceDb(const std::vector<float>& a, const std::vector<float>& b) {
    double sum = 0.0;
    for (std::size_t k = 0; k < a.size(); ++k)
        sum += a[k] - b[k];
    return sum / double(a.size());
}

// Learning leaves out the frames that held non-finite samples; zeros in their place
// pull the profile down (click removal rebuilds part of them).
TEST(NonFiniteInput, IsLeftOutOfALearntProfile) {
    const Audio hiss{WhiteNoise(66150, 0.05f, 3), WhiteNoise(66150, 0.05f, 4)};
    auto damaged = [&](float value) {
        Audio copy = hiss;
        for (std::size_t i = 30000; i < 42000; ++i)
            copy.left[i] = copy.right[i] = value;
        return copy;
    };
    const std::vector<float> clean = LearntProfile(hiss);
    const std::vector<float> dropped = LearntProfile(damaged(nan));
    for (float level : dropped)
        ASSERT_TRUE(std::isfinite(level));
    EXPECT_LT(std::fabs(MeanDifferenceDb(dropped, clean)), 0.15);
    EXPECT_LT(MeanDifferenceDb(LearntProfile(damaged(0.0f)), clean), -0.3);
}

} // namespace
