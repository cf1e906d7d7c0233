#include "tests/PluginBase/FilterTestSupport.h"

#include "core/Global.h"
#include "core/TransformBase.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace FilterTest;

namespace {

const CMediaType pcm16 = AudioType(WAVE_FORMAT_PCM, 2, 44100, 16);
const CMediaType float32 = AudioType(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32);

REFERENCE_TIME TimeOf(LONGLONG frame) {
    return frame * 10'000'000 / 44100;
}

// Two interleaved tones, the left one with a click every 5000 frames.
std::vector<float> TestSignal(int frames) {
    std::vector<float> samples;
    for (int i = 0; i < frames; ++i)
        samples.insert(samples.end(),
                       {0.3f * std::sin(0.05f * float(i)) + (i % 5000 == 7 ? 0.8f : 0.0f),
                        0.2f * std::sin(0.013f * float(i))});
    return samples;
}

std::vector<BYTE> Frames(const std::vector<float>& samples, int first, int count) {
    return BytesOf(
        std::vector<float>(samples.begin() + 2 * first, samples.begin() + 2 * (first + count)));
}

} // namespace

TEST(Formats, AcceptedTypesConnectAndTheOutputOffersExactlyTheInputType) {
    for (const CMediaType& type :
         {pcm16, AudioType(WAVE_FORMAT_PCM, 1, 44100, 24), float32,
          AudioType(WAVE_FORMAT_IEEE_FLOAT, 1, 96000, 64), AudioType(WAVE_FORMAT_PCM, 2, 48000, 72),
          AudioType(WAVE_FORMAT_PCM, 1, 44100, 96)}) {
        FilterGraph graph;
        ASSERT_EQ(graph.Connect(type), S_OK);
        EXPECT_TRUE(graph.sink->pin.CurrentMediaType() == type);
        CMediaType offered;
        EXPECT_EQ(graph.filter->GetMediaType(0, &offered), S_OK);
        EXPECT_TRUE(offered == type);
        EXPECT_EQ(graph.filter->GetMediaType(1, &offered), VFW_S_NO_MORE_ITEMS);
    }
}

TEST(Formats, OtherChannelCountsRatesWidthsAndCompressionAreRefused) {
    Com<DXPlugin> filter = Make<DXPlugin>(nullptr);
    EXPECT_EQ(filter->Receive(nullptr), E_UNEXPECTED); // no format yet
    CMediaType compressed = pcm16;
    compressed.SetTemporalCompression(TRUE);
    for (const CMediaType& type :
         {AudioType(WAVE_FORMAT_PCM, 3, 44100, 16), AudioType(WAVE_FORMAT_PCM, 2, 0, 16),
          AudioType(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 16), compressed})
        EXPECT_EQ(filter->CheckInputType(&type), E_INVALIDARG);
    const CMediaType otherRate = AudioType(WAVE_FORMAT_PCM, 2, 48000, 16);
    EXPECT_EQ(filter->CheckTransform(&pcm16, &otherRate), E_INVALIDARG);
    const CMediaType noBits = AudioType(WAVE_FORMAT_PCM, 2, 44100, 0);
    EXPECT_EQ(filter->SetMediaType(PINDIR_INPUT, &noBits), E_FAIL);
}

// In a graph the filter answers to the name it was given and holds no reference to the
// graph, which owns it; a new input format the sink takes has the graph reconnect the output.
TEST(Formats, ANewInputFormatTheSinkTakesAsksTheGraphToReconnectTheOutput) {
    FilterGraph graph;
    GraphTest::FakeGraph host;
    graph.filter->JoinFilterGraph(&host, L"Restoration");
    FILTER_INFO info;
    ASSERT_EQ(graph.filter->QueryFilterInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"Restoration");
    EXPECT_EQ(info.pGraph, &host);
    EXPECT_EQ(host.references, 2u); // the caller's reference; joining took none
    info.pGraph->Release();

    ASSERT_EQ(graph.Connect(pcm16), S_OK);
    graph.filter->GetPin(0)->Disconnect();
    graph.source->pin.Disconnect();
    graph.source->pin.offered = {float32};
    EXPECT_EQ(graph.source->pin.Connect(graph.filter->GetPin(0), &float32), S_OK);
    EXPECT_EQ(host.reconnected, static_cast<IPin*>(graph.filter->GetPin(1)));
    graph.filter->JoinFilterGraph(nullptr, nullptr);
}

// Without an allocator of the sink's the output brings its own, sized alike.
TEST(Buffers, OutputBuffersAreTwiceTheInputsOr16384BytesWhenUnsized) {
    FilterGraph graph; // the source's buffers are 4096 bytes
    IMemAllocator* allocator = nullptr;
    CMemAllocator::Create(&allocator);
    ALLOCATOR_PROPERTIES unsized{1, 0, 1, 0}, granted{};
    EXPECT_EQ(graph.filter->DecideBufferSize(allocator, &unsized), S_OK);
    EXPECT_EQ(unsized.cbBuffer, 16384);
    allocator->Release();
    graph.sink->pin.offersAllocator = false;
    ASSERT_EQ(graph.Connect(pcm16), S_OK);
    ASSERT_NE(graph.sink->pin.PeekAllocator(), nullptr);
    graph.sink->pin.PeekAllocator()->GetProperties(&granted);
    EXPECT_EQ(granted.cbBuffer, 8192);
}

TEST(Delivery, TheLatencyIsWithheldShiftedBackAndFlushedSoThatOutputEqualsInput) {
    FilterGraph graph;
    graph.source->pin.bufferSize = 8192; // 1024 frames in, 2048 frames out per sample
    ASSERT_EQ(graph.Connect(float32), S_OK);
    for (DWORD stage : {3, 4, 5}) // only the restoration's 4096-frame blocks delay
        ASSERT_EQ(graph.filter->SetParam(stage, 0.0f), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_EQ(graph.filter->Engine().Latency(), 4095u);

    const int block = 1024, blocks = 12;
    std::vector<float> input = TestSignal(block * blocks);
    const auto& got = graph.Received();
    for (int k = 0; k < blocks; ++k) {
        ASSERT_EQ(graph.Push(Frames(input, k * block, block), {.start = TimeOf(k * block)}), S_OK);
        EXPECT_EQ(got.empty(), k < 3); // 3072 frames are all withheld
        // Pausing and running on must not start the stream over.
        if (k == 5) {
            graph.filter->Pause();
            graph.filter->Run(0);
        }
    }
    EXPECT_EQ(got[0].bytes.size(), 8u); // the sample that crosses 4095 frames gives one
    EXPECT_EQ(got[0].start, 0);         // moved back by what was withheld
    ASSERT_EQ(graph.filter->GetPin(0)->EndOfStream(), S_OK);
    EXPECT_EQ(graph.sink->pin.endOfStream, 1);
    EXPECT_EQ(got[got.size() - 2].bytes.size(), 2048u * 8); // the tail takes two samples
    EXPECT_EQ(got.back().bytes.size(), 2047u * 8);
    LONGLONG delivered = 0;
    for (const GraphTest::Received& output : got) { // each input time truncates by itself
        EXPECT_NEAR(double(output.start), double(TimeOf(delivered)), 1.0);
        delivered += LONGLONG(output.bytes.size() / 8);
    }
    std::vector<float> output = graph.ReceivedValues<float>();
    ASSERT_EQ(output.size(), input.size());
    for (std::size_t i = 0; i < input.size(); ++i)
        ASSERT_NEAR(output[i], input[i], 1e-6) << "sample " << i;

    std::size_t before = got.size(); // a sample stamped 0 starts the stream over
    ASSERT_EQ(graph.Push(Frames(input, 0, block), {.start = 0}), S_OK);
    EXPECT_EQ(got.size(), before);
}

TEST(Delivery, UntimedSamplesGoOnFromTheLastTimeAndFailuresReachTheUpstreamCaller) {
    FilterGraph graph, tiny;
    for (FilterGraph* each : {&graph, &tiny}) {
        ASSERT_EQ(each->Connect(pcm16), S_OK);
        each->filter->Engine().GetGlobal().SetDelayCompensation(false);
    }
    ALLOCATOR_PROPERTIES lessThanAFrame{1, 3, 1, 0}, granted{};
    ASSERT_EQ(tiny.sink->pin.PeekAllocator()->SetProperties(&lessThanAFrame, &granted), S_OK);
    ASSERT_EQ(tiny.Run(), S_OK);
    EXPECT_EQ(tiny.Push(std::vector<BYTE>(400)), E_FAIL);

    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_EQ(graph.Push(std::vector<BYTE>(400), {.start = 1000}), S_OK);
    ASSERT_EQ(graph.Push(std::vector<BYTE>(400), {.syncPoint = false}), S_OK);
    const auto& got = graph.Received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].end, 1000 + TimeOf(100));
    EXPECT_EQ(got[1].start, got[0].end);
    EXPECT_TRUE(got[0].syncPoint);
    EXPECT_FALSE(got[1].syncPoint);
    graph.sink->pin.PeekAllocator()->Decommit(); // as when the graph stops
    EXPECT_EQ(graph.Push(std::vector<BYTE>(400)), S_OK);
    EXPECT_EQ(got.size(), 2u);
}
