#include "tests/PluginBase/FilterTestSupport.h"

#include "core/Component.h"
#include "core/Global.h"
#include "core/TransformBase.h"

#include <gtest/gtest.h>
#include <string>

using namespace FilterTest;

namespace {

constexpr DWORD everyParam = 0xFFFFFFFF;

DSP::Component& Restoration(DXPlugin& filter) {
    return *filter.Components()[2];
}

MP_DATA Value(DXPlugin& filter, DWORD index) {
    MP_DATA value = -1;
    filter.GetParam(index, &value);
    return value;
}

class RecordingCallback : public IMediaParamsUICallback {
public:
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP ParamsBeginCapture(DWORD, DWORD* index) override {
        return Record("begin", *index);
    }
    STDMETHODIMP ParamsChanged(DWORD, DWORD* index, MP_DATA value) override {
        return Record("change", *index, "=" + std::to_string(value));
    }
    STDMETHODIMP ParamsEndCapture(DWORD, DWORD* index) override { return Record("end", *index); }
    HRESULT Record(const char* call, DWORD index, const std::string& value = "") {
        calls += call + (" " + std::to_string(index)) + value + ";";
        return S_OK;
    }

    ULONG references = 1;
    std::string calls;
};

} // namespace

TEST(Automation, SevenParametersDescribedUnderTheirHostLabels) {
    Com<DXPlugin> filter = Make<DXPlugin>(nullptr);
    DWORD count = 0;
    ASSERT_EQ(filter->GetParamCount(&count), S_OK);
    EXPECT_EQ(count, 7u);
    const wchar_t* labels[] = {L"Reduction Amount",
                               L"Reduction Sensitivity",
                               L"Declick Sensitivity",
                               L"Enable Reduction",
                               L"Enable Declicking",
                               L"Enable declipping",
                               L"Train"};
    for (DWORD i = 0; i < 7; ++i) {
        MP_PARAMINFO info{};
        ASSERT_EQ(filter->GetParamInfo(i, &info), S_OK);
        EXPECT_STREQ(info.szLabel, labels[i]);
        EXPECT_EQ(info.mpType, i < 3 ? MPT_FLOAT : MPT_BOOL);
        EXPECT_EQ(info.mpdNeutralValue, i < 3 ? 0.5f : i < 6 ? 1.0f : 0.0f);
    }
    MP_PARAMINFO info{};
    EXPECT_EQ(filter->GetParamInfo(7, &info), E_INVALIDARG);
    WCHAR* text = nullptr;
    ASSERT_EQ(filter->GetParamText(0, &text), S_OK);
    EXPECT_EQ(std::wstring(text, 19), std::wstring(L"Reduction Amount\0\0\0", 19));
    CoTaskMemFree(text);
    EXPECT_EQ(filter->GetParamText(7, &text), E_INVALIDARG);

    GUID format{};
    EXPECT_EQ(filter->GetSupportedTimeFormat(1, &format), E_INVALIDARG);
}

TEST(Automation, SetParamSwitchesAtOneHalfAndAddressesAllWithTheWildcard) {
    Com<DXPlugin> filter = Make<DXPlugin>(nullptr);
    ASSERT_EQ(filter->SetParam(6, 0.5f), S_OK);
    EXPECT_EQ(Value(*filter, 6), 1.0f);
    ASSERT_EQ(filter->SetParam(6, 0.4999f), S_OK);
    EXPECT_EQ(Value(*filter, 6), 0.0f);
    ASSERT_EQ(filter->SetParam(1, 0.3f), S_OK);
    EXPECT_EQ(Restoration(*filter).GetFloatParam(1), 0.3f);
    ASSERT_EQ(filter->SetParam(everyParam, 0.0f), S_OK);
    for (DWORD i = 0; i < 7; ++i)
        EXPECT_EQ(Value(*filter, i), 0.0f) << "parameter " << i;
    EXPECT_EQ(filter->SetParam(7, 1.0f), E_INVALIDARG);
}

TEST(Automation, EnvelopesAreStoredHighlightedAndFlushed) {
    Com<DXPlugin> filter = Make<DXPlugin>(nullptr);
    MP_ENVELOPE_SEGMENT segment{0, 10'000'000, 0.2f, 0.8f, MP_CURVE_LINEAR, 0};
    EXPECT_EQ(filter->AddEnvelope(0, 0, nullptr), S_OK);
    EXPECT_EQ(filter->AddEnvelope(7, 1, &segment), E_INVALIDARG);

    filter->Engine().GetGlobal().SetAutomationHighlight(2);
    DSP::Component& restoration = Restoration(*filter);
    ASSERT_EQ(filter->AddEnvelope(3, 1, &segment), S_OK); // "Enable Reduction" is bool 1
    EXPECT_TRUE(restoration.Envelopes().HasBoolEnvelope(1, true));
    EXPECT_EQ(restoration.GetBoolParamHighlight(1), 2);
    EXPECT_EQ(restoration.GetFloatParamHighlight(0), DSP::noHighlight);
    ASSERT_EQ(filter->FlushEnvelope(everyParam, 0, 20'000'000), S_OK);
    EXPECT_FALSE(restoration.Envelopes().HasBoolEnvelope(1, true));
    EXPECT_EQ(restoration.GetBoolParamHighlight(1), DSP::noHighlight);
}

TEST(Automation, AnEnvelopeTakesEffectAtTheBlockWhereItStarts) {
    FilterGraph graph;
    graph.source->pin.bufferSize = 16384;
    ASSERT_EQ(graph.Connect(AudioType(WAVE_FORMAT_PCM, 2, 48000, 16)), S_OK);
    graph.filter->Engine().GetGlobal().SetDelayCompensation(false); // stream time is host time
    ASSERT_EQ(graph.Run(), S_OK);
    // Blocks of 4096 frames at 48 kHz; block 3 starts at exactly 2560000.
    auto blockStart = [](LONGLONG k) { return k * 4096 * 10'000'000 / 48000; };
    MP_ENVELOPE_SEGMENT segment{blockStart(3), blockStart(20), 0.9f, 0.9f, MP_CURVE_JUMP, 0};
    ASSERT_EQ(graph.filter->AddEnvelope(0, 1, &segment), S_OK);
    std::vector<MP_DATA> afterBlock;
    for (LONGLONG k = 0; k < 5; ++k) {
        ASSERT_EQ(graph.Push(std::vector<BYTE>(16384), {.start = blockStart(k)}), S_OK);
        afterBlock.push_back(Value(*graph.filter, 0));
    }
    EXPECT_EQ(afterBlock, (std::vector<MP_DATA>{0.5f, 0.5f, 0.5f, 0.9f, 0.9f}));
}

TEST(Automation, OnlyEditorMovesOfBoundParametersAreEchoedToTheHost) {
    Com<DXPlugin> filter = Make<DXPlugin>(nullptr);
    DSP::Component& restoration = Restoration(*filter);
    RecordingCallback callback;
    ASSERT_EQ(filter->SetUICallback(&callback), S_OK);

    filter->OnParameterChanged(ChangePhase::Change, restoration, 0, 0.25f);
    EXPECT_EQ(callback.calls, ""); // not on the editor's thread
    filter->SetEditorThread(std::this_thread::get_id());
    filter->OnParameterChanged(ChangePhase::Change, restoration, 0, 0.25f);
    EXPECT_EQ(callback.calls, "begin 0;change 0=0.250000;end 0;");

    callback.calls.clear();
    restoration.SetBoolParamEnvelopeHold(4, true); // the user holds "Train"
    filter->OnParameterChanged(ChangePhase::BeginCapture, restoration, 4, true);
    filter->OnParameterChanged(ChangePhase::Change, restoration, 4, true);
    filter->OnParameterChanged(ChangePhase::EndCapture, restoration, 4, true);
    filter->OnParameterChanged(ChangePhase::Change, restoration, 0, true); // not automatable
    EXPECT_EQ(callback.calls, "begin 6;change 6=1.000000;end 6;");
    filter.reset();
    EXPECT_EQ(callback.references, 1u);
}
