#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "tests/core/CoreTestSupport.h"

namespace {

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

} // namespace
