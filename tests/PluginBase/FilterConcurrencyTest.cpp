#include "tests/PluginBase/FilterTestSupport.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

using namespace FilterTest;

namespace {

constexpr int blockFrames = 1024;

// The host's streaming thread: timed blocks of a quiet sawtooth, paced a little as a
// real-time host would so that control threads get their turn at the locks.
std::future<HRESULT> StartStreaming(FilterGraph& graph, int blocks) {
    graph.source->pin.bufferSize = 8 * blockFrames;
    EXPECT_EQ(graph.Connect(AudioType(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32)), S_OK);
    EXPECT_EQ(graph.Run(), S_OK);
    return std::async(std::launch::async, [&graph, blocks] {
        std::vector<float> samples(2 * blockFrames);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = 0.004f * float(int(i % 50) - 25);
        HRESULT hr = S_OK;
        for (LONGLONG k = 0; hr == S_OK && k < blocks; ++k) {
            hr = graph.Push(BytesOf(samples), {.start = k * blockFrames * 10'000'000 / 44100});
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return hr;
    });
}

// What a host's control thread does meanwhile; every call must succeed.
void ControlTraffic(DXPlugin& filter, int round) {
    EXPECT_EQ(filter.SetParam(DWORD(round % 6), float(round % 10) / 10.0f), S_OK);
    MP_ENVELOPE_SEGMENT segment{0, 50'000'000, 0.2f, 0.8f, MP_CURVE_LINEAR, 0};
    EXPECT_EQ(filter.AddEnvelope(2, 1, &segment), S_OK);
    EXPECT_EQ(filter.FlushEnvelope(2, 0, 50'000'000), S_OK);
    MemoryStream stream;
    EXPECT_EQ(filter.Save(&stream, TRUE), S_OK);
    EXPECT_EQ(filter.IsDirty(), S_FALSE);
    stream.position = 0;
    EXPECT_EQ(filter.Load(&stream), S_OK);
    EXPECT_EQ(filter.SetPreset(0), S_OK);
    EXPECT_EQ(filter.OnStart(round), S_OK);
    IMfxNameList2* names = nullptr;
    EXPECT_EQ(filter.GetControllerNames(&names), S_OK);
    names->Release();
}

} // namespace

TEST(FilterThreads, AutomationPersistenceAndTransportRunAgainstTheStream) {
    FilterGraph graph;
    auto streaming = StartStreaming(graph, 100);
    for (int round = 0;
         round < 10 || streaming.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
         ++round)
        ControlTraffic(*graph.filter, round);
    EXPECT_EQ(streaming.get(), S_OK);
    EXPECT_EQ(graph.filter->GetPin(0)->EndOfStream(), S_OK);
    EXPECT_FALSE(graph.Received().empty());
}

TEST(FilterThreads, StoppingTheGraphEndsTheStreamWithoutError) {
    FilterGraph graph;
    auto streaming = StartStreaming(graph, 1'000'000);
    while (graph.filter->Transport().sampleCounter < 20 * blockFrames)
        std::this_thread::yield();
    graph.Stop();
    HRESULT last = streaming.get();
    EXPECT_TRUE(last == VFW_E_NOT_COMMITTED || last == VFW_E_WRONG_STATE) << std::hex << last;
}
