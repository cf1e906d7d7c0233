#include <gtest/gtest.h>

#include "core/Global.h"
#include "core/Presets.h"
#include "tests/core/CoreTestSupport.h"
#include "tests/core/RestorationTestSupport.h"

namespace {

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
    ASSERT_EQ(state.size(), 32818u);
    EXPECT_EQ(Slice(state, 0, 12),
              (Bytes{0x4C, 0xAD, 0xAE, 0x05, 0x17, 0, 0, 0, 0x32, 0x80, 0, 0}));
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
    EXPECT_EQ(plugin.StateSizeFromHeader(refused[0].data()), 0u);
    EXPECT_EQ(plugin.StateSizeFromHeader(refused[1].data()), 0u);

    // A right header on a block one byte short or long is taken: nothing changes, but
    // the editor hears of a load.
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
    EXPECT_EQ(plugin.StateSizeFromHeader(changed.data()), 32818u);
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

TEST(SavedState, TheProfileBlockMustRunExactlyToTheEndOfTheBytes) {
    EffectPlugin plugin;
    Bytes bytes(32777, 7);
    plugin.Effect().SaveDefaultCustomState(bytes, 0);
    plugin.Effect().LoadCustomState(bytes, 0);
    EXPECT_EQ(bytes, Bytes(32777, 7));
    plugin.Effect().SaveCustomState(bytes, 1);
    EXPECT_EQ(Slice(bytes, 0, 5), (Bytes{7, 0, 0, 0x48, 0xC2}));
}

} // namespace
