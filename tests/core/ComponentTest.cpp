// The component model: automation envelopes, their rendering into Process, the parameter
// records and the fixed-block adapter.

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "core/BlockAdapter.h"
#include "core/EnvelopeHandler.h"
#include "tests/core/CoreTestSupport.h"

namespace {

// At this rate one sample lasts 100 time units.
constexpr std::uint32_t rate = 100000;
constexpr REFERENCE_TIME sample = 100;

class ComponentTest : public ::testing::Test {
protected:
    void AddFloat(std::vector<MP_ENVELOPE_SEGMENT> segments) {
        envelopes.AddFloatSegments(0, std::uint32_t(segments.size()), segments.data());
    }
    std::vector<float> RenderFloat(REFERENCE_TIME start, int frames, int zipper, float current) {
        std::vector<float> entries;
        rendered = envelopes.RenderFloatEnvelope(0, start, rate, frames, entries, zipper, current);
        return entries;
    }
    int Stream(int frames, int zipper) {
        left.assign(std::size_t(frames), 0.0f);
        right.assign(std::size_t(frames), 0.0f);
        return recorder.ProcessStream(rate, 0, zipper, editorFlag, frames, left.data(),
                                      right.data(), false);
    }

    TestPlugin plugin;
    Recorder recorder{plugin};
    DSP::EnvelopeHandler& envelopes = recorder.Envelopes();
    bool rendered = false;
    std::vector<float> left, right;
    bool editorFlag = false;
    const MP_ENVELOPE_SEGMENT ramp = Segment(0, 40000, 0.0f, 1.0f);
};

// Linear, square (starts flat) and inverse square (starts steep) from p to q over n samples,
// against their formulas; each reaches the end value at t = n.
TEST_F(ComponentTest, CurvesAreSampledOncePerSubBlock) {
    const int n = 400;
    const double p = 0.2, q = 1.0, scale = (q - p) / ((n - 1.0) * n);
    const std::pair<MP_CURVE_TYPE, std::function<double(double)>> curves[] = {
        {MP_CURVE_LINEAR, [&](double t) { return p + (q - p) * t / n; }},
        {MP_CURVE_SQUARE, [&](double t) { return p + scale * t * (t - 1.0); }},
        {MP_CURVE_INVSQUARE, [&](double t) { return p + scale * t * (2.0 * n - 1.0 - t); }}};
    for (const auto& [curve, formula] : curves) {
        SCOPED_TRACE(curve);
        AddFloat({Segment(0, n * sample, float(p), float(q), curve)});
        const std::vector<float> entries = RenderFloat(0, n, 50, 0.5f);
        EXPECT_TRUE(rendered);
        ASSERT_EQ(entries.size(), 8u);
        for (int k = 0; k < 8; ++k)
            EXPECT_NEAR(entries[k], formula(50.0 * k), 1e-6) << k;
        EXPECT_FLOAT_EQ(RenderFloat(n * sample, 100, 50, 0.5f)[0], 1.0f);
    }
}

// A jump holds its start value until it is over; held values surround a segment.
TEST_F(ComponentTest, JumpsAndHeldValuesSurroundASegment) {
    AddFloat({Segment(0, 400 * sample, 0.25f, 0.75f, MP_CURVE_JUMP)});
    EXPECT_EQ(RenderFloat(0, 400, 100, 0.0f), std::vector<float>(4, 0.25f));
    EXPECT_EQ(RenderFloat(401 * sample, 400, 100, 0.0f), std::vector<float>(4, 0.75f));
    EXPECT_FALSE(rendered);

    AddFloat({Segment(200 * sample, 300 * sample, 0.0f, 1.0f)});
    // Before the segment: the parameter's current value.
    EXPECT_EQ(RenderFloat(0, 100, 50, 0.3f), std::vector<float>(2, 0.3f));
    EXPECT_FALSE(rendered);
    // Within the block the last sampled entry carries on; the next block holds the end.
    EXPECT_EQ(RenderFloat(0, 400, 100, 0.3f), (std::vector<float>{0.3f, 0.3f, 0.0f, 0.0f}));
    EXPECT_TRUE(rendered);
    EXPECT_EQ(RenderFloat(400 * sample, 400, 100, 0.3f), std::vector<float>(4, 1.0f));

    // A gap of more than one entry holds the end value from the sub-block where the
    // earlier segment ended.
    AddFloat({Segment(0, 12 * sample, 0.0f, 1.0f),
              Segment(30 * sample, 40 * sample, 5.0f, 5.0f, MP_CURVE_JUMP)});
    const std::vector<float> gap = RenderFloat(0, 40, 5, 0.3f);
    EXPECT_EQ(gap, (std::vector<float>{0.0f, gap[1], 1, 1, 1, 1, 5, 5}));
    EXPECT_FLOAT_EQ(gap[1], 5.0f / 12.0f);
}

TEST_F(ComponentTest, NewSegmentsReplaceOverlappedOnesAndKeepTouchingOnes) {
    AddFloat({Segment(0, 1000, 1.0f, 1.0f, MP_CURVE_JUMP),
              Segment(2000, 3000, 2.0f, 2.0f, MP_CURVE_JUMP)});
    AddFloat({Segment(500, 2500, 3.0f, 3.0f, MP_CURVE_JUMP)});
    AddFloat({Segment(2500, 4000, 4.0f, 4.0f, MP_CURVE_JUMP)});
    // Entries every 500 units: nothing before 500, then the two survivors.
    EXPECT_EQ(RenderFloat(0, 40, 5, 0.0f), (std::vector<float>{0, 3, 3, 3, 3, 4, 4, 4}));
}

TEST_F(ComponentTest, SegmentLengthsAreRepairedAndFlushingEveryEnvelopeClearsAnyEnvelope) {
    // An empty segment lasts one unit; a reversed one is dropped.
    AddFloat({Segment(1000, 1000, 0.0f, 1.0f), Segment(5000, 4000, 0.0f, 1.0f)});
    envelopes.FlushFloatSegments(0, 1001, 2000);
    envelopes.FlushFloatSegments(0, 3000, 6000);
    EXPECT_TRUE(envelopes.HasFloatEnvelope(0, true));
    envelopes.FlushFloatSegments(0, 1000, 1001);
    EXPECT_FALSE(envelopes.HasFloatEnvelope(0, true));

    // Anything of 2^31 units or more is cut to 0x7FFFFFFF.
    AddFloat({Segment(0, REFERENCE_TIME(1) << 33, 0.0f, 1.0f)});
    envelopes.FlushFloatSegments(0, 0x7FFFFFFF, 0x80000000);
    EXPECT_TRUE(envelopes.HasFloatEnvelope(0, true));
    envelopes.FlushFloatSegments(0, 0x7FFFFFFE, 0x7FFFFFFF);
    EXPECT_FALSE(envelopes.HasFloatEnvelope(0, true));

    const MP_ENVELOPE_SEGMENT segment = Segment(0, 1000, 0.0f, 1.0f);
    envelopes.AddFloatSegments(7, 1, &segment);
    EXPECT_FALSE(envelopes.AnyEnvelope());
    envelopes.AddFloatSegments(DSP::EnvelopeHandler::allParams, 1, &segment);
    envelopes.AddBoolSegments(0, 1, &segment);
    EXPECT_TRUE(envelopes.HasFloatEnvelope(1, true));
    envelopes.FlushFloatSegments(DSP::EnvelopeHandler::allParams, 0, 1000);
    EXPECT_TRUE(envelopes.AnyEnvelope());
    envelopes.FlushBoolSegments(0, 999, 2000);
    EXPECT_FALSE(envelopes.AnyEnvelope());
}

TEST_F(ComponentTest, StepsTakeRoundedValuesAndTheEndValueAfterTheSegment) {
    const MP_ENVELOPE_SEGMENT segment = Segment(1000, 2500, 2.4f, 6.6f);
    envelopes.AddUIntSegments(0, 1, &segment);
    std::vector<std::uint32_t> values;
    EXPECT_TRUE(envelopes.RenderUIntEnvelope(0, 0, rate, 40, values, 5, 1));
    EXPECT_EQ(values, (std::vector<std::uint32_t>{1, 1, 2, 2, 7, 7, 7, 7}));

    const MP_ENVELOPE_SEGMENT toggle = Segment(1000, 2500, 0.5f, 0.4999f);
    envelopes.AddBoolSegments(0, 1, &toggle);
    std::vector<bool> bits;
    EXPECT_TRUE(envelopes.RenderBoolEnvelope(0, 0, rate, 40, bits, 5, false));
    EXPECT_EQ(bits, (std::vector<bool>{false, false, true, true, false, false, false, false}));
}

// 50 units at 100 per sample: the segment has no sample of its own.
TEST_F(ComponentTest, ASegmentShorterThanASampleIsSkippedInItsBlockAndHeldAfterIt) {
    AddFloat({Segment(1000, 1050, 0.9f, 0.7f)});
    EXPECT_EQ(RenderFloat(0, 40, 5, 0.3f), std::vector<float>(8, 0.3f));
    EXPECT_TRUE(rendered);
    EXPECT_EQ(RenderFloat(40 * sample, 40, 5, 0.3f), std::vector<float>(8, 0.7f));

    // After a rendered segment the skipped one changes nothing either.
    AddFloat({Segment(0, 500, 0.2f, 0.4f, MP_CURVE_JUMP)});
    EXPECT_EQ(RenderFloat(0, 40, 5, 0.3f), (std::vector<float>(8, 0.2f)));

    const MP_ENVELOPE_SEGMENT count = Segment(1000, 1050, 9.0f, 4.0f);
    envelopes.AddUIntSegments(0, 1, &count);
    std::vector<std::uint32_t> values;
    EXPECT_TRUE(envelopes.RenderUIntEnvelope(0, 0, rate, 40, values, 5, 1));
    EXPECT_EQ(values, std::vector<std::uint32_t>(8, 1));
    envelopes.RenderUIntEnvelope(0, 40 * sample, rate, 40, values, 5, 1);
    EXPECT_EQ(values, std::vector<std::uint32_t>(8, 4));

    const MP_ENVELOPE_SEGMENT on = Segment(0, 50, 1.0f, 1.0f);
    envelopes.AddBoolSegments(0, 1, &on);
    std::vector<bool> bits;
    EXPECT_TRUE(envelopes.RenderBoolEnvelope(0, 0, rate, 40, bits, 5, false));
    EXPECT_EQ(bits, std::vector<bool>(8, false));
}

// An inactive component without envelopes is skipped; an envelope's values reach Process
// sub-block by sub-block.
TEST_F(ComponentTest, EnvelopeReachesProcessSubBlockBySubBlock) {
    EXPECT_EQ(Stream(100, 50), 100);
    EXPECT_TRUE(recorder.calls.empty());
    recorder.SetActiveMark(true);
    envelopes.AddFloatSegments(0, 1, &ramp);
    EXPECT_EQ(Stream(400, 100), 400);
    ASSERT_EQ(recorder.calls.size(), 4u);
    for (std::size_t s = 0; s < 4; ++s) {
        EXPECT_EQ(recorder.calls[s].frames, 100);
        EXPECT_TRUE(recorder.calls[s].stereo);
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

TEST_F(ComponentTest, OwnBuffersHandTheProcessedAudioBack) {
    Recorder owning(plugin, 1);
    owning.Envelopes().AddFloatSegments(0, 1, &ramp);
    left.assign(400, -1.0f);
    bool formatChanged = false;
    EXPECT_EQ(
        owning.RenderBlock(rate, 0, 100, editorFlag, 400, left.data(), nullptr, formatChanged),
        400);
    ASSERT_EQ(owning.calls.size(), 4u);
    EXPECT_NE(owning.calls[1].samples, left.data() + 100);
    EXPECT_FLOAT_EQ(left[150], 0.25f);
    EXPECT_FLOAT_EQ(left[399], 0.75f);
}

TEST_F(ComponentTest, FixedBlocksTakeAutomationOncePerBlock) {
    recorder.SetActiveMark(true);
    recorder.SetFormat(200, 2, 2);
    EXPECT_EQ(recorder.GetLatency(), 199u);
    envelopes.AddFloatSegments(0, 1, &ramp);
    EXPECT_EQ(Stream(400, 10), 400);
    ASSERT_EQ(recorder.calls.size(), 2u);
    EXPECT_EQ(recorder.calls[0].frames, 200);
    EXPECT_EQ(recorder.calls[0].gain, 0.0f);
}

TEST_F(ComponentTest, ReframingSetterEndsTheCallWithFormatChanged) {
    recorder.SetActiveMark(true);
    // From the third sub-block on, "Block Size" asks for blocks of 64 frames.
    const MP_ENVELOPE_SEGMENT reframe = Segment(20000, 40000, 64.0f, 64.0f, MP_CURVE_JUMP);
    envelopes.AddUIntSegments(0, 1, &reframe);
    left.assign(400, 1.0f);
    bool formatChanged = false;
    EXPECT_EQ(
        recorder.RenderBlock(rate, 0, 100, editorFlag, 400, left.data(), nullptr, formatChanged),
        400);
    EXPECT_TRUE(formatChanged);
    EXPECT_EQ(recorder.calls.size(), 2u);
    EXPECT_EQ(recorder.GetBlockSize(), 64u);

    envelopes.FlushUIntSegments(0, 0, 40000);
    envelopes.AddUIntSegments(0, 1, &reframe);
    recorder.SetUIntParam(0, 0);
    recorder.calls.clear();
    EXPECT_EQ(Stream(400, 100), 400);
    EXPECT_EQ(recorder.calls.size(), 2u);
}

// "Band" is bound to band 2 and also has a plain setter: the bound form wins. A highlight
// beyond the colours is refused. Registering sizes the saved state.
TEST_F(ComponentTest, AccessorsRegistrationAndWatchedEnvelopes) {
    recorder.SetFloatParam(1, 0.75f);
    EXPECT_EQ(recorder.bands[2], 0.75f);
    EXPECT_EQ(recorder.gain, 0.5f);
    EXPECT_EQ(recorder.GetFloatParam(1), 0.75f);
    recorder.SetFloatParamHighlight(0, 2);
    recorder.SetFloatParamHighlight(0, 5);
    EXPECT_EQ(recorder.GetFloatParamHighlight(0), 2);

    TestPlugin owner;
    const std::uint32_t before = owner.StateSize();
    Recorder registered(owner);
    // Saved: "Gain" 4 bytes, "Switch" 1 byte, and the private-data length word.
    EXPECT_EQ(owner.StateSize(), before + 9);
    EXPECT_EQ(owner.Components().back(), &registered);

    const MP_ENVELOPE_SEGMENT segment = Segment(0, 1000, 0.0f, 1.0f);
    registered.Envelopes().AddFloatSegments(0, 1, &segment);
    EXPECT_FALSE(registered.HasEnvelopes());
    registered.WatchEnvelope(DSP::ParamFamily::Float, 0);
    EXPECT_TRUE(registered.HasEnvelopes());
}

TEST_F(ComponentTest, StateChangedIsPostedOnceUntilAcknowledged) {
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

// Feeds ragged host buffers through a fixed-block adapter. Each block gets its own
// offset (1000 times its number), so a block cut at the wrong place shows.
class FixedBlocks {
public:
    explicit FixedBlocks(std::uint32_t blockSize) { adapter.Configure({blockSize, 2, 2}); }

    void Run(int frames, float* left, float* right) {
        adapter.Begin(frames, {left, right});
        DSP::BlockAdapter::Block block;
        while (adapter.NextBlock(block)) {
            for (float* channel : block.channels)
                for (int i = 0; channel != nullptr && i < block.frames; ++i)
                    channel[i] += 1000.0f * float(blocks);
            ++blocks;
        }
        adapter.End();
    }

    DSP::BlockAdapter adapter;
    int blocks = 0;
};

// The adapter's output for an input sample at position n of the stream.
float Expected(const std::vector<float>& input, std::size_t n, std::size_t blockSize) {
    if (n + 1 < blockSize) return 0.0f;
    const std::size_t source = n + 1 - blockSize;
    return input[source] + 1000.0f * float(source / blockSize);
}

void CheckRaggedStream(bool stereo, std::uint32_t blockSize, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> length(0, 3 * int(blockSize));
    std::vector<float> left(20000), right(20000);
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = float(i % 997);
        right[i] = -float(i % 991);
    }
    std::vector<float> outLeft = left, outRight = right;
    FixedBlocks fixed(blockSize);
    std::size_t position = 0;
    while (position < left.size()) {
        const int frames = std::min(length(random), int(left.size() - position));
        fixed.Run(frames, outLeft.data() + position, stereo ? outRight.data() + position : nullptr);
        position += std::size_t(frames);
    }
    for (std::size_t n = 0; n < left.size(); ++n) {
        ASSERT_EQ(outLeft[n], Expected(left, n, blockSize)) << "frame " << n;
        if (stereo) {
            ASSERT_EQ(outRight[n], Expected(right, n, blockSize)) << "frame " << n;
        }
    }
    EXPECT_EQ(std::size_t(fixed.blocks), left.size() / blockSize);
    EXPECT_EQ(fixed.adapter.Latency(), blockSize - 1);
}

TEST(BlockAdapter, RaggedHostBuffersComeOutDelayedByOneBlockLessOneFrame) {
    CheckRaggedStream(true, 64, 1);
    CheckRaggedStream(false, 64, 2);
    CheckRaggedStream(true, 1, 3);
    CheckRaggedStream(false, 4096, 4);
}

TEST(BlockAdapter, ClearStartsOverWithSilence) {
    FixedBlocks fixed(4);
    std::vector<float> signal = {1, 2, 3, 4, 5, 6};
    fixed.Run(6, signal.data(), nullptr);
    fixed.adapter.Clear();
    std::vector<float> next = {7, 8, 9, 10};
    fixed.Run(4, next.data(), nullptr);
    // Block 1 (offset 1000) of the fresh stream ends at its fourth frame.
    EXPECT_EQ(next, (std::vector<float>{0, 0, 0, 1007}));
}

} // namespace
