#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/Global.h"
#include "tests/core/CoreTestSupport.h"

namespace {

// A host control thread adds, flushes and recolours envelopes while the streaming
// thread renders them into the parameters.
TEST(AutomationConcurrency, EnvelopeChangesRaceSafelyWithRendering) {
    TestPlugin plugin;
    DSP::Global global(plugin);
    Recorder recorder(plugin);
    recorder.SetActiveMark(true);
    recorder.WatchEnvelope(DSP::ParamFamily::Float, 0);
    std::atomic<bool> done{false};

    std::thread control([&] {
        for (int i = 0; i < 2000; ++i) {
            const MP_ENVELOPE_SEGMENT ramp = Segment(i * 100, i * 100 + 50000, 0.0f, 1.0f);
            recorder.Envelopes().AddFloatSegments(0, 1, &ramp);
            recorder.Envelopes().AddBoolSegments(0, 1, &ramp);
            recorder.SetHasEnvelopesCache(recorder.HasEnvelopes());
            global.SetUIntParam(DSP::Global::automationHighlightParam, std::uint32_t(i % 5));
            recorder.Envelopes().FlushFloatSegments(DSP::EnvelopeHandler::allParams, 0,
                                                    i * 100 + 25000);
            recorder.Envelopes().FlushBoolSegments(0, 0, i * 100 + 25000);
        }
        done = true;
    });

    std::vector<float> left(256), right(256);
    bool editorFlag = false;
    int calls = 0;
    while (!done || calls < 10) {
        EXPECT_EQ(recorder.ProcessStream(100000, REFERENCE_TIME(calls) * 2560, 64, editorFlag, 256,
                                         left.data(), right.data(), false),
                  256);
        ++calls;
    }
    control.join();
    for (const Recorder::Call& call : recorder.calls) {
        ASSERT_TRUE(call.gain >= 0.0f && call.gain <= 1.0f) << call.gain;
    }
}

} // namespace
