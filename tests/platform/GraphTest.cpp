#include "tests/platform/GraphTestSupport.h"

#include <gtest/gtest.h>

using namespace GraphTest;

namespace {

const CMediaType pcm = AudioType(WAVE_FORMAT_PCM, 2, 44100, 16);
const CMediaType floats = AudioType(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32);

// Joins filters and records the reconnection requests.
class FakeGraph : public IFilterGraph {
public:
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
    STDMETHODIMP FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
    STDMETHODIMP ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP Reconnect(IPin* pin) override {
        reconnected = pin;
        return S_OK;
    }
    STDMETHODIMP Disconnect(IPin*) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefaultSyncSource() override { return E_NOTIMPL; }

    ULONG references = 1;
    IPin* reconnected = nullptr;
};

} // namespace

TEST(Connection, RefusalsLeaveBothPinsUnconnected) {
    GraphFixture graph;
    CTransformInputPin* input = graph.filter->Input();
    CTransformOutputPin* output = graph.filter->Output();
    EXPECT_EQ(output->Connect(&graph.sink->pin, &pcm), E_UNEXPECTED); // input first
    graph.source->pin.offered = {floats};
    EXPECT_EQ(graph.source->pin.Connect(input, &floats), E_INVALIDARG);
    EXPECT_EQ(graph.source->pin.Connect(input, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_EQ(graph.source->pin.Connect(output, &pcm), VFW_E_INVALID_DIRECTION);
    EXPECT_FALSE(graph.source->pin.IsConnected());
    EXPECT_FALSE(input->IsConnected());

    graph.source->pin.offered = {floats, pcm};
    ASSERT_EQ(graph.source->pin.Connect(input, nullptr), S_OK); // the second type fits
    EXPECT_TRUE(input->CurrentMediaType() == pcm);
    IPin* upstream = nullptr;
    ASSERT_EQ(input->ConnectedTo(&upstream), S_OK);
    EXPECT_EQ(upstream, static_cast<IPin*>(&graph.source->pin));
    upstream->Release();
    EXPECT_EQ(graph.source->pin.Connect(input, nullptr), VFW_E_ALREADY_CONNECTED);
    graph.sink->pin.acceptAudio = false;
    EXPECT_EQ(output->Connect(&graph.sink->pin, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_FALSE(output->IsConnected());
    EXPECT_FALSE(graph.sink->pin.IsConnected());
    EXPECT_EQ(graph.sink->pin.PeekAllocator(), nullptr);
}

TEST(Connection, OutputBringsAnAllocatorWhenTheSinkHasNone) {
    GraphFixture graph;
    graph.sink->pin.offersAllocator = false;
    ASSERT_EQ(graph.Connect(pcm), S_OK);
    IMemAllocator* notified = graph.sink->pin.PeekAllocator();
    ASSERT_NE(notified, nullptr);
    ALLOCATOR_PROPERTIES properties{};
    notified->GetProperties(&properties);
    EXPECT_EQ(properties.cbBuffer, 1000);
}

TEST(Connection, DisconnectionOnlyWhileStopped) {
    GraphFixture graph;
    ASSERT_EQ(graph.Connect(pcm), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    EXPECT_EQ(graph.filter->Input()->Disconnect(), VFW_E_NOT_STOPPED);
    graph.Stop();
    EXPECT_EQ(graph.filter->Input()->Disconnect(), S_OK);
    EXPECT_EQ(graph.filter->Input()->Disconnect(), S_FALSE);
    IPin* none = &graph.source->pin;
    EXPECT_EQ(graph.filter->Input()->ConnectedTo(&none), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(none, nullptr);
    AM_MEDIA_TYPE empty;
    EXPECT_EQ(graph.filter->Input()->ConnectionMediaType(&empty), VFW_E_NOT_CONNECTED);
    EXPECT_TRUE(empty.majortype == GUID_NULL);
}

TEST(Streaming, SamplesArriveWithTheirTimesAndFlagsUntilTheGraphStops) {
    GraphFixture graph;
    ASSERT_EQ(graph.Connect(pcm), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    graph.filter->Pause();
    graph.filter->Run(0);
    EXPECT_EQ(graph.filter->started, 1);
    FILTER_STATE state;
    graph.filter->GetState(0, &state);
    EXPECT_EQ(state, State_Running);

    ASSERT_EQ(graph.Push({1, 2, 3, 4}, {0, 100, true, true}), S_OK);
    ASSERT_EQ(graph.Push({5, 6}, {100, 150}), S_OK);
    const auto& got = graph.sink->pin.samples;
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].bytes, (std::vector<BYTE>{1, 2, 3, 4}));
    EXPECT_EQ(got[1].bytes, (std::vector<BYTE>{5, 6}));
    EXPECT_EQ(got[1].timeResult, S_OK);
    EXPECT_EQ(got[1].start, 100);
    EXPECT_EQ(got[1].end, 150);
    EXPECT_TRUE(got[0].syncPoint);
    EXPECT_TRUE(got[0].discontinuity);
    EXPECT_FALSE(got[1].discontinuity);

    graph.Stop();
    EXPECT_EQ(graph.filter->stopped, 1);
    EXPECT_EQ(graph.Push({7}, {150, 160}), VFW_E_NOT_COMMITTED);
    EXPECT_EQ(got.size(), 2u);
}

TEST(Streaming, SegmentFlushAndEndOfStreamGoDownstream) {
    GraphFixture graph;
    ASSERT_EQ(graph.Connect(pcm), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    CTransformInputPin* input = graph.filter->Input();
    EXPECT_EQ(input->NewSegment(10, 20, 1.5), S_OK);
    EXPECT_EQ(graph.sink->pin.CurrentStartTime(), 10);
    EXPECT_EQ(graph.sink->pin.CurrentRate(), 1.5);

    EXPECT_EQ(input->BeginFlush(), S_OK);
    EXPECT_EQ(graph.sink->pin.flushes, 1);
    EXPECT_EQ(graph.Push({1}, {0, 10}), S_FALSE); // dropped while flushing
    EXPECT_EQ(input->EndFlush(), S_OK);
    EXPECT_EQ(graph.Push({2}, {0, 10}), S_OK);
    EXPECT_EQ(input->EndOfStream(), S_OK);
    EXPECT_EQ(graph.sink->pin.endOfStream, 1);
    ASSERT_EQ(graph.sink->pin.samples.size(), 1u);
    EXPECT_EQ(graph.sink->pin.samples[0].bytes, std::vector<BYTE>{2});
}

TEST(Streaming, SampleOfAnotherTypeStopsTheStreamUntilAFlush) {
    GraphFixture graph;
    ASSERT_EQ(graph.Connect(pcm), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    IMediaSample* sample = nullptr;
    ASSERT_EQ(graph.source->pin.GetDeliveryBuffer(&sample, nullptr, nullptr, 0), S_OK);
    CMediaType changed = floats;
    sample->SetMediaType(&changed);
    EXPECT_EQ(graph.source->pin.Deliver(sample), VFW_E_INVALIDMEDIATYPE);
    sample->Release();
    EXPECT_EQ(graph.Push({1}, {0, 10}), VFW_E_RUNTIME_ERROR);
    graph.filter->Input()->BeginFlush();
    graph.filter->Input()->EndFlush();
    EXPECT_EQ(graph.Push({1}, {0, 10}), S_OK);
}

TEST(Filter, PinsAreListedFoundAndDescribed) {
    GraphFixture graph;
    IEnumPins* pins = nullptr;
    ASSERT_EQ(graph.filter->EnumPins(&pins), S_OK);
    IPin* listed[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(pins->Next(3, listed, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(listed[0], static_cast<IPin*>(graph.filter->Input()));
    EXPECT_EQ(listed[1], static_cast<IPin*>(graph.filter->Output()));
    listed[0]->Release();
    listed[1]->Release();
    EXPECT_EQ(pins->Reset(), S_OK);
    EXPECT_EQ(pins->Skip(3), S_FALSE);
    pins->Release();

    IPin* found = nullptr;
    ASSERT_EQ(graph.filter->FindPin(L"Out", &found), S_OK);
    EXPECT_EQ(found, static_cast<IPin*>(graph.filter->Output()));
    found->Release();
    EXPECT_EQ(graph.filter->FindPin(L"XForm Out", &found), VFW_E_NOT_FOUND);

    PIN_INFO info;
    ASSERT_EQ(graph.filter->Input()->QueryPinInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"XForm In");
    EXPECT_EQ(info.dir, PINDIR_INPUT);
    EXPECT_EQ(info.pFilter, static_cast<IBaseFilter*>(graph.filter.get()));
    info.pFilter->Release();
}

TEST(Filter, GraphMembershipNamesTheFilterAndCarriesReconnections) {
    GraphFixture graph;
    FakeGraph host;
    graph.filter->JoinFilterGraph(&host, L"Restoration");
    FILTER_INFO info;
    ASSERT_EQ(graph.filter->QueryFilterInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"Restoration");
    EXPECT_EQ(info.pGraph, &host);
    EXPECT_EQ(host.references, 2u); // the caller's reference; joining took none
    info.pGraph->Release();

    EXPECT_EQ(graph.filter->ReconnectPin(graph.filter->Output()), S_OK);
    EXPECT_EQ(host.reconnected, static_cast<IPin*>(graph.filter->Output()));
    graph.filter->JoinFilterGraph(nullptr, nullptr);
    EXPECT_EQ(graph.filter->ReconnectPin(graph.filter->Output()), VFW_E_NOT_IN_GRAPH);
}

TEST(MediaType, CopiesOwnTheirFormatAndPartialTypesMatchWhatTheyName) {
    CMediaType copy = pcm;
    EXPECT_NE(copy.Format(), pcm.Format());
    EXPECT_TRUE(copy == pcm);
    copy.Format()[0] ^= 1;
    EXPECT_FALSE(copy == pcm);

    AM_MEDIA_TYPE* task = CreateMediaType(&pcm);
    EXPECT_TRUE(CMediaType(*task) == pcm);
    DeleteMediaType(task);

    CMediaType partial;
    partial.SetType(&MEDIATYPE_Audio);
    EXPECT_TRUE(partial.IsPartiallySpecified());
    EXPECT_TRUE(pcm.MatchesPartial(&partial));
    partial.SetSubtype(&MEDIASUBTYPE_IEEE_FLOAT);
    EXPECT_FALSE(pcm.MatchesPartial(&partial));
}

TEST(MemAllocator, RoundsBuffersUpAndHandsOutFreshSamples) {
    Com<IMemAllocator> allocator;
    {
        IMemAllocator* created = nullptr;
        ASSERT_EQ(CMemAllocator::Create(&created), S_OK);
        allocator.reset(created);
    }
    ALLOCATOR_PROPERTIES request{2, 10, 8, 3};
    ALLOCATOR_PROPERTIES actual{};
    ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
    EXPECT_EQ(actual.cbBuffer, 13); // prefix + buffer a multiple of the alignment
    ALLOCATOR_PROPERTIES badAlignment{2, 10, 3, 0};
    EXPECT_EQ(allocator->SetProperties(&badAlignment, &actual), VFW_E_BADALIGN);

    IMediaSample* first = nullptr;
    IMediaSample* second = nullptr;
    IMediaSample* third = nullptr;
    EXPECT_EQ(allocator->GetBuffer(&first, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    ASSERT_EQ(allocator->Commit(), S_OK);
    ASSERT_EQ(allocator->GetBuffer(&first, nullptr, nullptr, 0), S_OK);
    ASSERT_EQ(allocator->GetBuffer(&second, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(allocator->GetBuffer(&third, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
    BYTE* data = nullptr;
    first->GetPointer(&data);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data - 3) % 8, 0u);

    REFERENCE_TIME start = 500, end = 0;
    first->SetTime(&start, nullptr);
    EXPECT_EQ(first->GetTime(&start, &end), VFW_S_NO_STOP_TIME);
    EXPECT_EQ(end, 501);
    EXPECT_EQ(first->SetActualDataLength(14), VFW_E_BUFFER_OVERFLOW);
    first->SetActualDataLength(4);
    first->SetPreroll(TRUE);
    first->Release();
    ASSERT_EQ(allocator->GetBuffer(&first, nullptr, nullptr, AM_GBF_NOWAIT), S_OK);
    EXPECT_EQ(first->GetTime(&start, &end), VFW_E_SAMPLE_TIME_NOT_SET);
    EXPECT_EQ(first->GetActualDataLength(), 13);
    EXPECT_EQ(first->IsPreroll(), S_FALSE);

    EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_ALREADY_COMMITTED);
    allocator->Decommit();
    EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_BUFFERS_OUTSTANDING);
    first->Release();
    second->Release();
    ALLOCATOR_PROPERTIES none{0, 10, 1, 0};
    ASSERT_EQ(allocator->SetProperties(&none, &actual), S_OK);
    EXPECT_EQ(allocator->Commit(), VFW_E_SIZENOTSET);
}
