#include <gtest/gtest.h>

#include "core/EnvelopeHandler.h"
#include "tests/core/CoreTestSupport.h"

namespace {

// At this rate one sample lasts 100 time units.
constexpr std::uint32_t rate = 100000;
constexpr REFERENCE_TIME sample = 100;

class EnvelopeTest : public ::testing::Test {
protected:
    void AddFloat(std::vector<MP_ENVELOPE_SEGMENT> segments) {
        envelopes.AddFloatSegments(0, std::uint32_t(segments.size()), segments.data());
    }
    std::vector<float> RenderFloat(REFERENCE_TIME start, int frames, int zipper, float current) {
        std::vector<float> entries;
        rendered = envelopes.RenderFloatEnvelope(0, start, rate, frames, entries, zipper, current);
        return entries;
    }

    TestPlugin plugin;
    Recorder recorder{plugin};
    DSP::EnvelopeHandler& envelopes = recorder.Envelopes();
    bool rendered = false;
};

TEST_F(EnvelopeTest, CurvesAreSampledOncePerSubBlock) {
    const int n = 400;
    AddFloat({Segment(0, n * sample, 0.0f, 1.0f)});
    std::vector<float> linear = RenderFloat(0, n, 50, 0.5f);
    EXPECT_TRUE(rendered);
    ASSERT_EQ(linear.size(), 8u);
    for (int k = 0; k < 8; ++k)
        EXPECT_FLOAT_EQ(linear[k], 50.0f * k / n) << k;

    // Square starts flat, inverse square starts steep; both reach the end value at t = n.
    const double p = 0.2, q = 1.0, scale = (q - p) / ((n - 1.0) * n);
    AddFloat({Segment(0, n * sample, float(p), float(q), MP_CURVE_SQUARE)});
    std::vector<float> square = RenderFloat(0, n, 50, 0.5f);
    for (int k = 0; k < 8; ++k) {
        const double t = 50.0 * k;
        EXPECT_NEAR(square[k], p + scale * t * (t - 1.0), 1e-6) << k;
    }
    EXPECT_FLOAT_EQ(RenderFloat(n * sample, 100, 50, 0.5f)[0], 1.0f);

    AddFloat({Segment(0, n * sample, float(p), float(q), MP_CURVE_INVSQUARE)});
    std::vector<float> inverse = RenderFloat(0, n, 50, 0.5f);
    for (int k = 0; k < 8; ++k) {
        const double t = 50.0 * k;
        EXPECT_NEAR(inverse[k], p + scale * t * (2.0 * n - 1.0 - t), 1e-6) << k;
    }
    EXPECT_GT(inverse[1] - inverse[0], inverse[7] - inverse[6]);
    EXPECT_FLOAT_EQ(RenderFloat(n * sample, 100, 50, 0.5f)[0], 1.0f);
}

TEST_F(EnvelopeTest, JumpHoldsItsStartValueUntilItIsOver) {
    AddFloat({Segment(0, 400 * sample, 0.25f, 0.75f, MP_CURVE_JUMP)});
    EXPECT_EQ(RenderFloat(0, 400, 100, 0.0f), std::vector<float>(4, 0.25f));
    EXPECT_EQ(RenderFloat(401 * sample, 400, 100, 0.0f), std::vector<float>(4, 0.75f));
    EXPECT_FALSE(rendered);
}

TEST_F(EnvelopeTest, HeldValuesSurroundASegment) {
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

TEST_F(EnvelopeTest, NewSegmentsReplaceOverlappedOnesAndKeepTouchingOnes) {
    AddFloat({Segment(0, 1000, 1.0f, 1.0f, MP_CURVE_JUMP),
              Segment(2000, 3000, 2.0f, 2.0f, MP_CURVE_JUMP)});
    AddFloat({Segment(500, 2500, 3.0f, 3.0f, MP_CURVE_JUMP)});
    AddFloat({Segment(2500, 4000, 4.0f, 4.0f, MP_CURVE_JUMP)});
    // Entries every 500 units: nothing before 500, then the two survivors.
    EXPECT_EQ(RenderFloat(0, 40, 5, 0.0f), (std::vector<float>{0, 3, 3, 3, 3, 4, 4, 4}));
}

TEST_F(EnvelopeTest, SegmentLengthsAreRepaired) {
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
}

TEST_F(EnvelopeTest, FlushingEveryEnvelopeClearsAnyEnvelope) {
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

TEST_F(EnvelopeTest, StepsTakeRoundedValuesAndTheEndValueAfterTheSegment) {
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
TEST_F(EnvelopeTest, ASegmentShorterThanASampleIsSkippedInItsBlockAndHeldAfterIt) {
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

} // namespace
