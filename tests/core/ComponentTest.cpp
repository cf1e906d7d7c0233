#include <gtest/gtest.h>

#include "tests/core/CoreTestSupport.h"

namespace {

// At this rate one sample lasts 100 time units.
constexpr std::uint32_t rate = 100000;

class RenderTest : public ::testing::Test {
protected:
    int Stream(int frames, int zipper, REFERENCE_TIME start = 0) {
        left.assign(std::size_t(frames), 0.0f);
        right.assign(std::size_t(frames), 0.0f);
        return recorder.ProcessStream(rate, start, zipper, editorFlag, frames, left.data(),
                                      right.data(), false);
    }

    TestPlugin plugin;
    Recorder recorder{plugin};
    std::vector<float> left, right;
    bool editorFlag = false;
};

TEST_F(RenderTest, InactiveComponentWithoutEnvelopesIsSkipped) {
    EXPECT_EQ(Stream(100, 50), 100);
    EXPECT_TRUE(recorder.calls.empty());
    recorder.SetActiveMark(true);
    EXPECT_EQ(Stream(100, 50), 100);
    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls[0].frames, 100);
    EXPECT_TRUE(recorder.calls[0].stereo);
}

TEST_F(RenderTest, EnvelopeReachesProcessSubBlockBySubBlock) {
    recorder.SetActiveMark(true);
    const MP_ENVELOPE_SEGMENT ramp = Segment(0, 40000, 0.0f, 1.0f);
    recorder.Envelopes().AddFloatSegments(0, 1, &ramp);
    EXPECT_EQ(Stream(400, 100), 400);
    ASSERT_EQ(recorder.calls.size(), 4u);
    for (std::size_t s = 0; s < 4; ++s) {
        EXPECT_EQ(recorder.calls[s].frames, 100);
        EXPECT_FLOAT_EQ(recorder.calls[s].gain, 0.25f * float(s));
        EXPECT_EQ(recorder.calls[s].samples, left.data() + 100 * s);
        EXPECT_FLOAT_EQ(left[100 * s + 99], 0.25f * float(s));
    }
    EXPECT_TRUE(editorFlag);

    // A held parameter is left alone, and then nothing moves for the editor.
    recorder.SetFloatParamEnvelopeHold(0, true);
    recorder.gain = 0.9f;
    editorFlag = false;
    Stream(400, 100);
    EXPECT_EQ(recorder.gain, 0.9f);
    EXPECT_FALSE(editorFlag);
}

TEST(Render, OwnBuffersHandTheProcessedAudioBack) {
    TestPlugin plugin;
    Recorder recorder(plugin, 1);
    const MP_ENVELOPE_SEGMENT ramp = Segment(0, 40000, 0.0f, 1.0f);
    recorder.Envelopes().AddFloatSegments(0, 1, &ramp);
    std::vector<float> left(400, -1.0f);
    bool editorFlag = false, formatChanged = false;
    EXPECT_EQ(
        recorder.RenderBlock(rate, 0, 100, editorFlag, 400, left.data(), nullptr, formatChanged),
        400);
    ASSERT_EQ(recorder.calls.size(), 4u);
    EXPECT_NE(recorder.calls[1].samples, left.data() + 100);
    EXPECT_FLOAT_EQ(left[150], 0.25f);
    EXPECT_FLOAT_EQ(left[399], 0.75f);
}

TEST_F(RenderTest, FixedBlocksTakeAutomationOncePerBlock) {
    recorder.SetActiveMark(true);
    recorder.SetFormat(200, 2, 2);
    EXPECT_EQ(recorder.GetLatency(), 199u);
    const MP_ENVELOPE_SEGMENT ramp = Segment(0, 40000, 0.0f, 1.0f);
    recorder.Envelopes().AddFloatSegments(0, 1, &ramp);
    EXPECT_EQ(Stream(400, 10), 400);
    ASSERT_EQ(recorder.calls.size(), 2u);
    EXPECT_EQ(recorder.calls[0].frames, 200);
    EXPECT_EQ(recorder.calls[0].gain, 0.0f);
}

TEST_F(RenderTest, ReframingSetterEndsTheCallWithFormatChanged) {
    recorder.SetActiveMark(true);
    // From the third sub-block on, "Block Size" asks for blocks of 64 frames.
    const MP_ENVELOPE_SEGMENT reframe = Segment(20000, 40000, 64.0f, 64.0f, MP_CURVE_JUMP);
    recorder.Envelopes().AddUIntSegments(0, 1, &reframe);
    left.assign(400, 1.0f);
    bool formatChanged = false;
    EXPECT_EQ(
        recorder.RenderBlock(rate, 0, 100, editorFlag, 400, left.data(), nullptr, formatChanged),
        400);
    EXPECT_TRUE(formatChanged);
    EXPECT_EQ(recorder.calls.size(), 2u);
    EXPECT_EQ(recorder.GetBlockSize(), 64u);

    recorder.Envelopes().FlushUIntSegments(0, 0, 40000);
    recorder.Envelopes().AddUIntSegments(0, 1, &reframe);
    recorder.SetUIntParam(0, 0);
    recorder.calls.clear();
    EXPECT_EQ(Stream(400, 100), 400);
    EXPECT_EQ(recorder.calls.size(), 2u);
}

TEST(ParamModel, AccessorsDispatchThroughTheFirstBoundForm) {
    TestPlugin plugin;
    Recorder recorder(plugin);
    recorder.SetFloatParam(1, 0.75f);
    EXPECT_EQ(recorder.bands[2], 0.75f);
    EXPECT_EQ(recorder.gain, 0.5f);
    EXPECT_EQ(recorder.GetFloatParam(1), 0.75f);

    recorder.SetFloatParamHighlight(0, 2);
    recorder.SetFloatParamHighlight(0, 5);
    EXPECT_EQ(recorder.GetFloatParamHighlight(0), 2);
    recorder.SetFloatParamHighlight(0, 4);
    EXPECT_EQ(recorder.GetFloatParamHighlight(0), 4);
    EXPECT_FALSE(recorder.IsUIntParamEnumerated(0));
    EXPECT_FALSE(recorder.HasBoolParamLabels(0));
}

TEST(ParamModel, RegistrationSizesTheStateAndStartsAFreshEnvelopeStore) {
    TestPlugin plugin;
    const std::uint32_t before = plugin.StateSize();
    Recorder recorder(plugin);
    // Saved: "Gain" 4 bytes, "Switch" 1 byte, and the private-data length word.
    EXPECT_EQ(plugin.StateSize(), before + 9);
    EXPECT_EQ(plugin.Components().back(), &recorder);

    const MP_ENVELOPE_SEGMENT segment = Segment(0, 1000, 0.0f, 1.0f);
    recorder.Envelopes().AddFloatSegments(0, 1, &segment);
    EXPECT_FALSE(recorder.HasEnvelopes());
    recorder.WatchEnvelope(DSP::ParamFamily::Float, 0);
    EXPECT_TRUE(recorder.HasEnvelopes());

    recorder.Register();
    EXPECT_FALSE(recorder.HasEnvelopes());
    EXPECT_FALSE(recorder.Envelopes().AnyEnvelope());
    EXPECT_EQ(plugin.StateSize(), before + 18);
    const auto& components = plugin.Components();
    EXPECT_EQ(components[components.size() - 2], &recorder);
    EXPECT_EQ(components.back(), &recorder);
}

TEST(ParamModel, StateChangedIsPostedOnceUntilAcknowledged) {
    TestPlugin plugin;
    int window = 0;
    plugin.AttachEditor(&window);
    plugin.NotifyEditor(EditorNotification::StateChanged);
    plugin.NotifyEditor(EditorNotification::StateChanged);
    plugin.NotifyEditor(EditorNotification::StreamingStarted);
    EXPECT_EQ(TakeEditorMessages(&window), (std::vector<WPARAM>{0, 2}));
    plugin.AcknowledgeStateChanged();
    plugin.NotifyEditor(EditorNotification::StateChanged);
    EXPECT_EQ(TakeEditorMessages(&window), (std::vector<WPARAM>{0}));
}

} // namespace
