// Automation through IMediaParams: envelope segments with fuzzed times, values, curves
// and parameter indices, flushes and direct sets, interleaved with processing. The
// output must stay finite whatever the host sends.

#include "PluginBase/DirectX/DXPlugin.h"
#include "tests/PluginBase/FilterTestSupport.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

DWORD ParamIndex(FuzzedDataProvider& in) {
    return in.ConsumeIntegralInRange(0, 15) == 0 ? in.ConsumeIntegral<DWORD>()
                                                 : in.ConsumeIntegralInRange<DWORD>(0, 12);
}

REFERENCE_TIME Time(FuzzedDataProvider& in, REFERENCE_TIME now) {
    return in.ConsumeBool() ? now + in.ConsumeIntegralInRange<REFERENCE_TIME>(-20'000'000, 20'000'000)
                            : in.ConsumeIntegral<REFERENCE_TIME>();
}

void AddSegments(FuzzedDataProvider& in, DXPlugin& filter, REFERENCE_TIME now) {
    std::vector<MP_ENVELOPE_SEGMENT> segments(in.ConsumeIntegralInRange(0, 4));
    for (MP_ENVELOPE_SEGMENT& segment : segments) {
        segment.rtStart = Time(in, now);
        segment.rtEnd = in.ConsumeBool() ? segment.rtStart + in.ConsumeIntegralInRange(0, 2'000'000)
                                         : Time(in, now);
        segment.valStart = in.ConsumeBool() ? in.ConsumeFloatingPointInRange(0.0f, 1.0f)
                                            : in.ConsumeFloatingPoint<float>();
        segment.valEnd = in.ConsumeBool() ? in.ConsumeFloatingPointInRange(0.0f, 1.0f)
                                          : in.ConsumeFloatingPoint<float>();
        segment.iCurve = MP_CURVE_TYPE(in.ConsumeIntegralInRange(0, 20));
        segment.flags = in.ConsumeIntegral<DWORD>();
    }
    filter.AddEnvelope(ParamIndex(in), DWORD(segments.size()), segments.data());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    FilterTest::Com<DXPlugin> filter = FilterTest::Make<DXPlugin>(nullptr);
    Plugin& plugin = *filter;
    plugin.SetChannels(2, 2);
    const std::uint32_t rate = in.PickValueInArray<std::uint32_t>({8000, 22050, 44100});
    plugin.StartStreaming(rate);
    REFERENCE_TIME now = 0;
    for (int step = 0; step < 16 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            AddSegments(in, *filter, now);
            break;
        case 1:
            filter->FlushEnvelope(ParamIndex(in), Time(in, now), Time(in, now));
            break;
        case 2:
            filter->SetParam(ParamIndex(in), in.ConsumeFloatingPoint<float>());
            break;
        default: {
            plugin.SetStreamStart(now);
            // Automation may switch the bypass on, which hands its input on untouched;
            // non-finite input is the audio program's field.
            const int frames = Fuzz::StreamBlocks(in, plugin, true, true);
            now += REFERENCE_TIME(frames) * 10'000'000 / rate;
        }
        }
    }
    Fuzz::RequireFiniteTail(plugin);
    plugin.StopStreaming();
    return 0;
}
