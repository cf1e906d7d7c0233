#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/core/RestorationTestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// While music streams, a control thread moves parameters, then two threads load states
// with different settings and learnt profiles against each other. Every load must arrive
// whole: each state saved meanwhile is one of the two, never a mix.
TEST(RestorationConcurrency, StatesLoadWholeWhileAStreamRuns) {
    Bytes states[2];
    for (int k = 0; k < 2; ++k) {
        EffectPlugin trainer;
        LearnHiss(trainer, k == 0 ? 0.01f : 0.1f, unsigned(10 * k + 1));
        trainer.EnableStages(true, k == 0, true);
        trainer.Effect().SetReductionAmount(k == 0 ? 0.2f : 0.8f);
        states[k] = trainer.SaveState();
    }
    auto isOneOf = [&](const Bytes& state) { return state == states[0] || state == states[1]; };

    EffectPlugin plugin;
    Restoration& effect = plugin.Effect();
    plugin.SetChannels(2, 2);
    plugin.StartStreaming(44100);
    std::atomic<bool> controlling{true};
    std::atomic<int> mixed{0};
    auto load = [&](const Bytes& state) {
        for (int round = 0; round < 40; ++round) {
            if (!plugin.LoadState(state, true) || !isOneOf(plugin.SaveState())) ++mixed;
            std::this_thread::yield();
        }
    };
    std::thread control([&] {
        for (int round = 0; round < 12; ++round) {
            effect.SetReductionAmount(float(round) / 12.0f);
            effect.SetDeclickEnabled(round % 3 != 0);
            effect.SetKeepOnlyNoise(round % 2 == 0);
            effect.SetBypass(round % 4 == 1);
            effect.SetTraining(round % 5 == 4);
        }
        std::thread other(load, std::cref(states[1]));
        load(states[0]);
        other.join();
        controlling = false;
    });
    const Audio music = Music(44100);
    Audio out;
    for (int passes = 0; controlling || passes < 2; ++passes)
        Feed(plugin, music, 0, music.Frames(), out);
    control.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_TRUE(isOneOf(plugin.SaveState()));
}

} // namespace
