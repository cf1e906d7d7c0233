#include "tests/PluginBase/FilterTestSupport.h"

#include "core/Global.h"
#include "core/TransformBase.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>

using namespace FilterTest;

namespace {

using Names = std::vector<std::pair<LONG, std::string>>;

Names Enumerate(IMfxNameList2& list) {
    Names names;
    void* position = nullptr;
    list.GetFirstPosition(&position);
    LONG index = -1;
    char name[32];
    while (list.GetNext(&position, &index, name, sizeof(name)) == S_OK)
        names.emplace_back(index, name);
    return names;
}

// A host whose time units are half milliseconds.
class MsecHost : public DX::IHostMsecConverter {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid != DX::IID_IHostMsecConverter) return E_NOINTERFACE;
        *ppv = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    LONG STDMETHODCALLTYPE TicksToMsecs(LONG ticks) override { return 2 * ticks; }

    ULONG references = 2; // ours, and the one Connect takes over
};

} // namespace

TEST(NameLists, ControllersNameVolumeAndPanAndParameterNumbersNothing) {
    Com<DXPlugin> filter = Make<DXPlugin>(nullptr);
    IMfxNameList2* made = nullptr;
    ASSERT_EQ(filter->GetControllerNames(&made), S_OK);
    Com<IMfxNameList2> list(made);
    LONG number = 0;
    list->GetMaxIndex(&number);
    EXPECT_EQ(number, 128);
    list->GetCount(&number);
    EXPECT_EQ(number, 2);
    char name[16] = "junk";
    ASSERT_EQ(list->GetName(7, name, sizeof(name)), S_OK);
    EXPECT_STREQ(name, "Volume");
    ASSERT_EQ(list->GetName(8, name, sizeof(name)), S_OK);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(list->GetName(128, name, sizeof(name)), E_INVALIDARG);
    EXPECT_EQ(list->FindName(8, name, sizeof(name)), S_FALSE);
    ASSERT_EQ(list->GetTitle(name, 4), S_OK);
    EXPECT_STREQ(name, "Con");
    EXPECT_EQ(Enumerate(*list), (Names{{7, "Volume"}, {10, "Pan"}}));

    ASSERT_EQ(filter->GetNrpnNames(&made), S_OK);
    list.reset(made);
    list->GetMaxIndex(&number);
    filter.reset(); // a list lives as long as the host holds it
    EXPECT_EQ(number, 16383);
    EXPECT_TRUE(Enumerate(*list).empty());
}

TEST(Transport, StartLoopAndStopFollowTheHostConverter) {
    Com<DXPlugin> filter = Make<DXPlugin>(nullptr);
    ASSERT_EQ(filter->OnStart(1000), S_OK);
    EXPECT_EQ(filter->Transport().start, 0u); // no converter, no position
    MsecHost host;
    ASSERT_EQ(filter->Connect(&host), S_OK);
    EXPECT_EQ(host.references, 2u);        // ours and the held converter's
    ASSERT_EQ(filter->OnStart(500), S_OK); // 1000 ms at 44100 Hz
    EXPECT_EQ(filter->Transport().start, 44100u);
    ASSERT_EQ(filter->OnLoop(250, 750), S_OK); // back by a second
    EXPECT_EQ(filter->Transport().loopCompensation, 44100);
    EXPECT_TRUE(filter->Transport().externalPosition);
    ASSERT_EQ(filter->OnStop(0), S_OK);
    EXPECT_FALSE(filter->Transport().running);
    EXPECT_FALSE(filter->Transport().externalPosition);
    ASSERT_EQ(filter->Disconnect(), S_OK);
    EXPECT_EQ(host.references, 1u);
}

TEST(Transport, ADiscontinuityPlacesTheStreamPositionUnlessTheHostLooped) {
    FilterGraph graph;
    ASSERT_EQ(graph.Connect(AudioType(WAVE_FORMAT_PCM, 1, 44100, 16)), S_OK);
    graph.filter->Engine().GetGlobal().SetDelayCompensation(false);
    ASSERT_EQ(graph.Run(), S_OK);
    DXPlugin& filter = *graph.filter;
    ASSERT_EQ(graph.Push(std::vector<BYTE>(200), {.start = 10'000'000, .discontinuity = true}),
              S_OK);
    EXPECT_EQ(filter.Transport().streamPosition, 44200u);
    ASSERT_EQ(graph.Push(std::vector<BYTE>(200)), S_OK);
    EXPECT_EQ(filter.Transport().streamPosition, 44300u);
    EXPECT_EQ(filter.Transport().sampleCounter, 200u);
    filter.OnLoop(0, 0);
    ASSERT_EQ(graph.Push(std::vector<BYTE>(200), {.start = 0, .discontinuity = true}), S_OK);
    EXPECT_EQ(filter.Transport().streamPosition, 44400u);
}
