// The pin protocol of the base classes as a host meets it on the filter: connection and
// its refusals, disconnection, flushing, segments and a change of format mid-stream.

#include "tests/PluginBase/FilterTestSupport.h"

#include "core/Global.h"
#include "core/TransformBase.h"

#include <gtest/gtest.h>

using namespace FilterTest;

namespace {
const CMediaType pcm16 = AudioType(WAVE_FORMAT_PCM, 2, 44100, 16);
const CMediaType threeChannels = AudioType(WAVE_FORMAT_PCM, 3, 44100, 16);
} // namespace

TEST(Connection, RefusalsLeaveBothPinsUnconnected) {
    FilterGraph graph;
    CBasePin* input = graph.filter->GetPin(0);
    CBasePin* output = graph.filter->GetPin(1);
    GraphTest::SourcePin& source = graph.source->pin;
    EXPECT_EQ(output->Connect(&graph.sink->pin, &pcm16), E_UNEXPECTED); // input first
    source.offered = {threeChannels};
    EXPECT_EQ(source.Connect(input, &threeChannels), E_INVALIDARG);
    EXPECT_EQ(source.Connect(input, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_EQ(source.Connect(output, &pcm16), VFW_E_INVALID_DIRECTION);
    EXPECT_FALSE(source.IsConnected());
    EXPECT_FALSE(input->IsConnected());

    source.offered = {threeChannels, pcm16};
    ASSERT_EQ(source.Connect(input, nullptr), S_OK); // the second type fits
    IPin* upstream = nullptr;
    ASSERT_EQ(input->ConnectedTo(&upstream), S_OK);
    EXPECT_EQ(upstream, static_cast<IPin*>(&source));
    upstream->Release();
    EXPECT_EQ(source.Connect(input, nullptr), VFW_E_ALREADY_CONNECTED);
    graph.sink->pin.acceptAudio = false;
    EXPECT_EQ(output->Connect(&graph.sink->pin, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_FALSE(output->IsConnected());
    EXPECT_FALSE(graph.sink->pin.IsConnected());
    EXPECT_EQ(graph.sink->pin.PeekAllocator(), nullptr);
}

TEST(Connection, DisconnectionOnlyWhileStopped) {
    FilterGraph graph;
    ASSERT_EQ(graph.Connect(pcm16), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    CBasePin* input = graph.filter->GetPin(0);
    EXPECT_EQ(input->Disconnect(), VFW_E_NOT_STOPPED);
    graph.Stop();
    EXPECT_EQ(input->Disconnect(), S_OK);
    EXPECT_EQ(input->Disconnect(), S_FALSE);
    IPin* none = &graph.source->pin;
    EXPECT_EQ(input->ConnectedTo(&none), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(none, nullptr);
    AM_MEDIA_TYPE empty;
    EXPECT_EQ(input->ConnectionMediaType(&empty), VFW_E_NOT_CONNECTED);
    EXPECT_TRUE(empty.majortype == GUID_NULL);
}

TEST(Connection, PinsAreListedFoundByIdAndDescribed) {
    FilterGraph graph;
    IEnumPins* pins = nullptr;
    ASSERT_EQ(graph.filter->EnumPins(&pins), S_OK);
    IPin* listed[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(pins->Next(3, listed, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(listed[i], static_cast<IPin*>(graph.filter->GetPin(i)));
        listed[i]->Release();
    }
    pins->Release();

    IPin* found = nullptr;
    ASSERT_EQ(graph.filter->FindPin(L"Out", &found), S_OK);
    EXPECT_EQ(found, static_cast<IPin*>(graph.filter->GetPin(1)));
    found->Release();
    EXPECT_EQ(graph.filter->FindPin(L"Output", &found), VFW_E_NOT_FOUND); // a name, no id
    PIN_INFO info;
    ASSERT_EQ(graph.filter->GetPin(0)->QueryPinInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"Input");
    EXPECT_EQ(info.dir, PINDIR_INPUT);
    EXPECT_EQ(info.pFilter, static_cast<IBaseFilter*>(graph.filter.get()));
    info.pFilter->Release();
}

TEST(Streaming, SegmentFlushAndEndOfStreamGoDownstream) {
    FilterGraph graph;
    ASSERT_EQ(graph.Connect(pcm16), S_OK);
    graph.filter->Engine().GetGlobal().SetDelayCompensation(false); // each sample gives one
    ASSERT_EQ(graph.Run(), S_OK);
    CBasePin* input = graph.filter->GetPin(0);
    EXPECT_EQ(input->NewSegment(10, 20, 1.5), S_OK);
    EXPECT_EQ(graph.sink->pin.CurrentStartTime(), 10);
    EXPECT_EQ(graph.sink->pin.CurrentRate(), 1.5);

    EXPECT_EQ(input->BeginFlush(), S_OK);
    EXPECT_EQ(graph.sink->pin.flushes, 1);
    EXPECT_EQ(graph.Push(std::vector<BYTE>(400)), S_FALSE); // dropped while flushing
    EXPECT_EQ(input->EndFlush(), S_OK);
    EXPECT_EQ(graph.Push(std::vector<BYTE>(400)), S_OK);
    EXPECT_EQ(graph.Received().size(), 1u);
    EXPECT_EQ(input->EndOfStream(), S_OK);
    EXPECT_EQ(graph.sink->pin.endOfStream, 1);
}

TEST(Streaming, SampleOfARefusedTypeStopsTheStreamUntilAFlush) {
    FilterGraph graph;
    ASSERT_EQ(graph.Connect(pcm16), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    IMediaSample* sample = nullptr;
    ASSERT_EQ(graph.source->pin.GetDeliveryBuffer(&sample, nullptr, nullptr, 0), S_OK);
    CMediaType changed = threeChannels;
    sample->SetMediaType(&changed);
    EXPECT_EQ(graph.source->pin.Deliver(sample), VFW_E_INVALIDMEDIATYPE);
    sample->Release();
    EXPECT_EQ(graph.Push(std::vector<BYTE>(400)), VFW_E_RUNTIME_ERROR);
    graph.filter->GetPin(0)->BeginFlush();
    graph.filter->GetPin(0)->EndFlush();
    EXPECT_EQ(graph.Push(std::vector<BYTE>(400)), S_OK);
}
