// Threads run against each other: the ThreadSanitizer build runs these.

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "core/Global.h"
#include "tests/core/CoreTestSupport.h"
#include "tests/core/RestorationTestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(EngineConcurrency, AChangeDuringABlockIsAppliedAtTheNextBlock) {
    TestPlugin plugin(StageEngine::Factory(16));
    Stage& stage = plugin.TestEngine().stage;
    plugin.StartStreaming(48000);
    ASSERT_EQ(plugin.Engine().Latency(), 15u);

    std::promise<void> entered, released;
    std::shared_future<void> release = released.get_future().share();
    bool first = true;
    stage.onProcess = [&] {
        if (!std::exchange(first, false)) return;
        entered.set_value();
        release.wait();
    };
    std::uint32_t latencyDuringBlock = 0;
    std::thread control([&] {
        entered.get_future().wait();
        stage.reported = 5;
        plugin.InvalidateLatency(stage);
        latencyDuringBlock = plugin.Engine().Latency();
        released.set_value();
    });
    std::vector<float> inL(16), inR(16), outL(16), outR(16);
    plugin.Process(16, inL.data(), inR.data(), outL.data(), outR.data());
    control.join();
    EXPECT_EQ(latencyDuringBlock, 15u);
    EXPECT_EQ(plugin.Engine().Latency(), 15u);
    plugin.Process(16, inL.data(), inR.data(), outL.data(), outR.data());
    EXPECT_EQ(plugin.Engine().Latency(), 20u);
}

// A host control thread adds, flushes and recolours envelopes while the streaming
// thread renders them into the parameters.
TEST(AutomationConcurrency, EnvelopeChangesRaceSafelyWithRendering) {
    TestPlugin plugin;
    DSP::Global global(plugin);
    Recorder recorder(plugin);
    recorder.SetActiveMark(true);
    recorder.WatchEnvelope(DSP::ParamFamily::Float, 0);
    std::atomic<bool> done{false};

    std::thread control([&] {
        for (int i = 0; i < 2000; ++i) {
            const MP_ENVELOPE_SEGMENT ramp = Segment(i * 100, i * 100 + 50000, 0.0f, 1.0f);
            recorder.Envelopes().AddFloatSegments(0, 1, &ramp);
            recorder.Envelopes().AddBoolSegments(0, 1, &ramp);
            recorder.SetHasEnvelopesCache(recorder.HasEnvelopes());
            global.SetUIntParam(DSP::Global::automationHighlightParam, std::uint32_t(i % 5));
            recorder.Envelopes().FlushFloatSegments(DSP::EnvelopeHandler::allParams, 0,
                                                    i * 100 + 25000);
            recorder.Envelopes().FlushBoolSegments(0, 0, i * 100 + 25000);
        }
        done = true;
    });

    std::vector<float> left(256), right(256);
    bool editorFlag = false;
    int calls = 0;
    while (!done || calls < 10) {
        EXPECT_EQ(recorder.ProcessStream(100000, REFERENCE_TIME(calls) * 2560, 64, editorFlag, 256,
                                         left.data(), right.data(), false),
                  256);
        ++calls;
    }
    control.join();
    for (const Recorder::Call& call : recorder.calls) {
        ASSERT_TRUE(call.gain >= 0.0f && call.gain <= 1.0f) << call.gain;
    }
}

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
    plugin.Start();
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
