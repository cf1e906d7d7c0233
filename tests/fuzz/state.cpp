// Saved state: fuzzed bytes through the filter's IPersistStream::Load and the core's
// LoadState, both as they come and behind a header of this build, so that the values
// and the noise profile are fuzzed too. A loaded state must not make the output NaN.

#include "PluginBase/DirectX/DXPlugin.h"
#include "tests/PluginBase/FilterTestSupport.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<BYTE> bytes(data, data + size);
    FilterTest::Com<DXPlugin> filter = FilterTest::Make<DXPlugin>(nullptr);
    FilterTest::MemoryStream stream(bytes);
    filter->Load(&stream);
    Plugin& plugin = *filter;
    plugin.LoadState(bytes, false);

    std::vector<std::uint8_t> state = plugin.SaveState();
    std::copy_n(bytes.begin(), std::min(bytes.size(), state.size() - 12), state.begin() + 12);
    plugin.LoadState(state, size % 2 == 0);

    plugin.SetChannels(2, 2);
    plugin.StartStreaming(8000);
    std::vector<float> left(4096), right(4096), outL(4096), outR(4096);
    for (int block = 0; block < 3; ++block) {
        for (int i = 0; i < 4096; ++i) {
            left[std::size_t(i)] = 0.3f * std::sin(0.05f * float(i + 4096 * block));
            right[std::size_t(i)] = float((i * 7919) % 201 - 100) / 400.0f;
        }
        const int made = plugin.Process(4096, left.data(), right.data(), outL.data(), outR.data());
        Fuzz::RequireFinite(outL.data(), made, "left");
        Fuzz::RequireFinite(outR.data(), made, "right");
    }
    plugin.StopStreaming();
    return 0;
}
