#include <gtest/gtest.h>

#include "core/Global.h"
#include "tests/core/CoreTestSupport.h"

namespace {

using DSP::Global;

class GlobalTest : public ::testing::Test {
protected:
    GlobalTest() { plugin.AttachEditor(&window); }
    ~GlobalTest() override { TakeEditorMessages(&window); }

    int window = 0;
    TestPlugin plugin;
    std::uint32_t sizeWithoutGlobal = plugin.StateSize();
    Global global{plugin};
};

TEST_F(GlobalTest, FrameRateIsClampedAndAnnouncedOnlyOnChange) {
    global.SetFloatParam(Global::fpsParam, 2.0f);
    EXPECT_EQ(global.GetFps(), 5.0f);
    EXPECT_EQ(global.GetFramePeriod(), 200);
    global.SetFloatParam(Global::fpsParam, 100.0f);
    EXPECT_EQ(global.GetFps(), 60.0f);
    EXPECT_EQ(global.GetFramePeriod(), 17);
    EXPECT_EQ(TakeEditorMessages(&window), (std::vector<WPARAM>{11, 11}));
    global.SetFloatParam(Global::fpsParam, 60.0f);
    EXPECT_TRUE(TakeEditorMessages(&window).empty());

    // With the rendering thread on, a new frame rate is not announced; the switch is.
    global.SetBoolParam(Global::renderingThreadParam, true);
    global.SetFloatParam(Global::fpsParam, 25.0f);
    EXPECT_EQ(global.GetFramePeriod(), 40);
    EXPECT_EQ(TakeEditorMessages(&window), (std::vector<WPARAM>{11}));
}

TEST_F(GlobalTest, SettersClampWhereTheRangeIsEnforced) {
    global.SetFloatParam(Global::automationZipperSamplesParam, 0.0f);
    EXPECT_EQ(global.GetAutomationZipperSamples(), 10.0f);
    global.SetFloatParam(Global::automationZipperSamplesParam, 1000.0f);
    EXPECT_EQ(global.GetAutomationZipperSamples(), 600.0f);
    global.SetUIntParam(Global::globalBufferSizeParam, 9);
    EXPECT_EQ(global.GetGlobalBufferSize(), 6u);
    global.SetFloatParam(Global::opacityParam, 5.0f);
    EXPECT_EQ(global.GetOpacity(), 5.0f);
    global.SetUIntParam(Global::presetChangeModeParam, 7);
    EXPECT_EQ(global.GetPresetChangeMode(), 7u);
}

TEST_F(GlobalTest, PreferenceChangesReachEditorAndComponents) {
    global.SetBoolParam(Global::showBackgroundGridParam, false);
    global.SetBoolParam(Global::showBackgroundGridParam, false);
    EXPECT_EQ(TakeEditorMessages(&window), (std::vector<WPARAM>{12}));

    global.SetBoolParam(Global::delayCompensationParam, true);
    global.SetBoolParam(Global::delayCompensationParam, true);
    EXPECT_EQ(plugin.globalSettingChanges, 1);

    Recorder recorder(plugin);
    global.SetBoolParam(Global::meterEnableParam, false);
    for (const DSP::Component* component : plugin.Components()) {
        EXPECT_FALSE(component->MeterFlag()) << component->Name().Text();
    }
}

TEST_F(GlobalTest, AutomationHighlightColoursParametersWithEnvelopes) {
    Recorder recorder(plugin);
    const MP_ENVELOPE_SEGMENT segment = Segment(0, 1000, 0.0f, 1.0f);
    recorder.Envelopes().AddBoolSegments(0, 1, &segment);
    recorder.SetFloatParamHighlight(0, 1);
    global.SetUIntParam(Global::automationHighlightParam, 2);
    EXPECT_EQ(recorder.GetBoolParamHighlight(0), 2);
    EXPECT_EQ(recorder.GetFloatParamHighlight(0), DSP::noHighlight);
    global.SetUIntParam(Global::automationHighlightParam, DSP::noHighlight);
    EXPECT_EQ(recorder.GetBoolParamHighlight(0), DSP::noHighlight);
}

TEST_F(GlobalTest, SettingsStartAtTheirDefaultsAndStayOutOfTheSavedState) {
    DSP::GlobalDerived derived(plugin);
    // Nothing but the private-data length word of each.
    EXPECT_EQ(plugin.StateSize(), sizeWithoutGlobal + 4u + 4u);
    for (const DSP::Component* c :
         {static_cast<DSP::Component*>(&global), static_cast<DSP::Component*>(&derived)}) {
        for (std::uint32_t i = 0; i < c->GetNumFloatParams(); ++i) {
            EXPECT_NE(c->GetFloatParamStorage(i), 0u);
            EXPECT_EQ(c->GetFloatParam(i), c->GetFloatParamDefault(i)) << i;
        }
        for (std::uint32_t i = 0; i < c->GetNumBoolParams(); ++i) {
            EXPECT_NE(c->GetBoolParamStorage(i), 0u);
            EXPECT_EQ(c->GetBoolParam(i), c->GetBoolParamDefault(i)) << i;
        }
        for (std::uint32_t i = 0; i < c->GetNumUIntParams(); ++i) {
            EXPECT_NE(c->GetUIntParamStorage(i), 0u);
            EXPECT_EQ(c->GetUIntParam(i), c->GetUIntParamDefault(i)) << i;
            EXPECT_TRUE(c->IsUIntParamEnumerated(i)) << i;
        }
        EXPECT_EQ(c->GetNumIntParams(), 0u);
    }
}

TEST_F(GlobalTest, EnumeratedLabelsNameEveryValue) {
    EXPECT_TRUE(global.HasBoolParamLabels(Global::bypassParam));
    EXPECT_FALSE(global.HasBoolParamLabels(Global::processAsMonoParam));
    EXPECT_EQ(global.GetBoolParamLabels(Global::bypassParam)[1], "Bypassed\nBYPS\nGBP\nB");
    const auto& sizes = global.GetUIntParamLabels(Global::globalBufferSizeParam);
    ASSERT_EQ(sizes.size(), 7u);
    EXPECT_EQ(sizes.front(), "32");
    EXPECT_EQ(sizes.back(), "Auto");
    EXPECT_EQ(global.GetUIntParamLabels(Global::automationHighlightParam)[3], "Yellow");
    EXPECT_EQ(global.GetUIntParamName(Global::presetChangeModeParam), "Global: Preset Change Mode");
    EXPECT_EQ(global.GetUIntParamLabels(Global::presetChangeModeParam)[2], "Mute");
}

} // namespace
