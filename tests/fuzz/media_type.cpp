// Media types offered to the input pin: any major type, compression flag, format type
// and format block (wave format, extensible, truncated or oversized), then, when the
// filter connects, fuzzed sample bytes through its converters and the effect.

#include "PluginBase/DirectX/DXPlugin.h"
#include "core/SampleConverter.h"
#include "tests/PluginBase/FilterTestSupport.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

CMediaType OfferedType(FuzzedDataProvider& in) {
    CMediaType type;
    type.SetType(in.ConsumeIntegralInRange(0, 7) == 0 ? &GUID_NULL : &MEDIATYPE_Audio);
    type.SetSubtype(&MEDIASUBTYPE_PCM);
    type.SetFormatType(in.ConsumeIntegralInRange(0, 7) == 0 ? &GUID_NULL : &FORMAT_WaveFormatEx);
    type.SetTemporalCompression(in.ConsumeIntegralInRange(0, 7) == 0);
    WAVEFORMATEXTENSIBLE format{};
    format.Format.wFormatTag = in.ConsumeBool() ? in.PickValueInArray<WORD>({1, 3, 0xFFFE})
                                                : in.ConsumeIntegral<WORD>();
    format.Format.nChannels = in.ConsumeBool() ? WORD(in.ConsumeIntegralInRange(1, 2))
                                               : in.ConsumeIntegral<WORD>();
    format.Format.nSamplesPerSec = in.ConsumeBool() ? in.PickValueInArray<DWORD>({8000, 44100})
                                                    : in.ConsumeIntegral<DWORD>();
    format.Format.wBitsPerSample = in.ConsumeBool()
                                       ? in.PickValueInArray<WORD>({0, 8, 16, 20, 24, 32, 64, 72})
                                       : in.ConsumeIntegralInRange<WORD>(0, 512);
    format.Format.nBlockAlign = WORD(format.Format.nChannels * ((format.Format.wBitsPerSample + 7) / 8));
    format.Format.nAvgBytesPerSec = format.Format.nBlockAlign * format.Format.nSamplesPerSec;
    format.Format.cbSize = in.ConsumeIntegral<WORD>();
    format.Samples.wValidBitsPerSample = in.ConsumeIntegral<WORD>();
    format.dwChannelMask = in.ConsumeIntegral<DWORD>();
    const std::size_t length = in.ConsumeIntegralInRange<std::size_t>(0, sizeof(format) + 8);
    std::vector<BYTE> block(std::max<std::size_t>(length, 1), 0);
    std::memcpy(block.data(), &format, std::min(length, sizeof(format)));
    type.SetFormat(block.data(), ULONG(length));
    return type;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const CMediaType type = OfferedType(in);
    FilterTest::FilterGraph graph;
    graph.filter->CheckInputType(&type);
    if (graph.Connect(type) != S_OK) return 0;
    if (graph.Run() != S_OK) return 0;
    for (int buffer = 0; buffer < 4 && in.remaining_bytes() > 0; ++buffer) {
        // The test source's buffers hold 4096 bytes.
        const std::vector<BYTE> bytes = in.ConsumeBytes<BYTE>(in.ConsumeIntegralInRange(0, 4096));
        graph.Push(bytes);
    }
    graph.Stop();
    return 0;
}
