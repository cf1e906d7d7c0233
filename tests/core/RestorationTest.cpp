// The effect as a host drives it: latency, the engine's own step, quality, saved state,
// non-finite input.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>

#include "core/Global.h"
#include "core/Presets.h"
#include "dsp/LittleEndian.h"
#include "tests/core/CoreTestSupport.h"
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
        const std::uint32_t stages[] = {row.declip, row.declick, row.reduction};
        for (int off = 0; off < 3; ++off) {
            plugin.EnableStages(off != 0, off != 1, off != 2);
            EXPECT_EQ(plugin.Engine().Latency(), all - stages[off]) << row.rate << " " << off;
        }
        plugin.EnableStages(false, false, false);
        EXPECT_EQ(plugin.Engine().Latency(), adapterDelay);
    }
}

// Stereo through the engine's own step, which adds no offset and compensates nothing.
struct EngineRun : ::testing::Test {
    EngineRun() { plugin.Start(); }
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
    ExpectDelayed(Run(plugin, quiet), quiet, 0, 1.0f);
    plugin.Effect().SetBypass(false);
    EffectPlugin fresh;
    fresh.Start();
    EXPECT_EQ(Run(plugin, quiet).left, Run(fresh, quiet).left);
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
        plugin.Start();
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

using Bytes = std::vector<std::uint8_t>;

Bytes Slice(const Bytes& state, std::size_t from, std::size_t to) {
    return Bytes(state.begin() + std::ptrdiff_t(from), state.begin() + std::ptrdiff_t(to));
}

const Bytes minus50Db{0, 0, 0x48, 0xC2};

TEST(SavedState, IsLittleEndianWithTheRestorationSectionLast) {
    EffectPlugin plugin;
    plugin.Effect().SetReductionAmount(0.25f);
    plugin.Effect().SetDeclickEnabled(false);
    const Bytes state = plugin.SaveState();
    ASSERT_EQ(state.size(), 32818u); // the header is checked where the filter saves it
    // Two global sections of length 0, two floats, the switches and the profile's length.
    EXPECT_EQ(Slice(state, 12, 28),
              (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x3E, 0, 0, 0, 0x3F}));
    EXPECT_EQ(Slice(state, 32, 42), (Bytes{0, 1, 0, 1, 0, 0, 0x08, 0x80, 0, 0}));
    for (std::size_t at = 42; at < state.size(); at += 4)
        ASSERT_EQ(Slice(state, at, at + 4), minus50Db) << at;
}

TEST(SavedState, LoadingIntoAFreshPluginReproducesParametersAndTheLearntProfile) {
    EffectPlugin source;
    LearnHiss(source, 0.05f, 1);
    source.Effect().SetReductionSensitivity(0.8f);
    source.Engine().GetGlobal().SetFps(10.0f);
    const Bytes state = source.SaveState();
    EXPECT_NE(Slice(state, 42, 46), minus50Db);

    EffectPlugin copy;
    int window = 0;
    copy.AttachEditor(&window);
    ASSERT_TRUE(copy.LoadState(state, true));
    // The declip switch changes the latency at once, and that is posted first.
    EXPECT_EQ(TakeEditorMessages(&window), (std::vector<WPARAM>{0, 1}));
    EXPECT_EQ(copy.SaveState(), state);
    EXPECT_EQ(copy.Effect().GetReductionSensitivity(), 0.8f);
    EXPECT_FALSE(copy.Effect().GetDeclipEnabled());
    EXPECT_EQ(copy.Engine().GetGlobal().GetFps(), 30.0f);
    // The loaded profile is the one in use.
    const Audio hiss{WhiteNoise(20000, 0.05f, 7), WhiteNoise(20000, 0.05f, 8)};
    EXPECT_EQ(RunStream(copy, hiss).left, RunStream(source, hiss).left);
}

// The size a header announces is checked where the DirectShow filter reads it, in
// tests/PluginBase/PersistenceTest.
TEST(SavedState, ABlockOfAnotherSizeOrFormatChangesNothing) {
    EffectPlugin plugin;
    const Bytes original = plugin.SaveState();
    Bytes changed = original;
    changed[22] = 0x40; // "Reduction Amount" 0.75
    std::vector<Bytes> refused(4, changed);
    refused[0][8] = 0x31; // size field 32817
    refused[1][4] = 22;   // version
    refused[2][0] ^= 1;   // magic
    refused[3].resize(11);
    for (std::size_t k = 0; k < refused.size(); ++k) {
        EXPECT_FALSE(plugin.LoadState(refused[k], true)) << k;
        plugin.ApplyState(refused[k], true);
        EXPECT_EQ(plugin.SaveState(), original) << k;
    }

    // A right header on a block one byte short or long is taken: nothing changes, as the
    // profile block must run exactly to the end of the bytes, but the editor hears of a load.
    int window = 0;
    plugin.AttachEditor(&window);
    TakeEditorMessages(&window);
    for (std::size_t length : {changed.size() - 1, changed.size() + 1}) {
        Bytes misfit = changed;
        misfit.resize(length);
        EXPECT_TRUE(plugin.LoadState(misfit, true)) << length;
        EXPECT_EQ(TakeEditorMessages(&window).at(0), 1u) << length; // "state loaded"
        EXPECT_EQ(plugin.SaveState(), original) << length;
    }
    EXPECT_TRUE(plugin.LoadState(changed, true));
    EXPECT_EQ(plugin.Effect().GetReductionAmount(), 0.75f);
}

TEST(SavedState, PresetDefaultRestoresTheParametersAndKeepsTheProfile) {
    EffectPlugin plugin;
    LearnHiss(plugin, 0.05f, 1);
    plugin.Effect().SetReductionAmount(0.9f);
    plugin.Effect().SetKeepOnlyNoise(true);
    const Bytes learnt = plugin.SaveState();
    EXPECT_FALSE(Preset::ApplyBuiltIn(plugin, 1));
    EXPECT_EQ(plugin.SaveState(), learnt);

    EXPECT_TRUE(Preset::ApplyBuiltIn(plugin, 0));
    const Bytes state = plugin.SaveState();
    EXPECT_EQ(Slice(state, 38, state.size()), Slice(learnt, 38, learnt.size()));
    EXPECT_EQ(Slice(state, 0, 38), Slice(EffectPlugin().SaveState(), 0, 38));
}

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();
constexpr std::size_t stretchStart = 20000, stretchLength = 1500;

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
    const auto finite = [](float x) { return std::isfinite(x); };
    return std::ranges::all_of(audio.left, finite) && std::ranges::all_of(audio.right, finite);
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
    for (std::size_t i = settled; i < zeros.Frames(); ++i)
        ASSERT_TRUE(huge.left[i] == zeros.left[i] && huge.right[i] == zeros.right[i]) << i;
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
    for (std::size_t k = 0; k < levels.size(); ++k)
        levels[k] = LittleEndian::GetFloat(at + k * sizeof(float));
    return levels;
}

double MeanDifferenceDb(const std::vector<float>& a, const std::vector<float>& b) {
    const double sumA = std::accumulate(a.begin(), a.end(), 0.0);
    return (sumA - std::accumulate(b.begin(), b.end(), 0.0)) / double(a.size());
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
    const std::vector<float> clean = LearntProfile(hiss), dropped = LearntProfile(damaged(nan));
    ASSERT_TRUE(AllFinite({dropped, {}}));
    EXPECT_LT(std::fabs(MeanDifferenceDb(dropped, clean)), 0.15);
    EXPECT_LT(MeanDifferenceDb(LearntProfile(damaged(0.0f)), clean), -0.3);
}

} // namespace
