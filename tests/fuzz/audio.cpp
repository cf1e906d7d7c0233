// The audio path: fuzzed samples (non-finite and huge ones included) in blocks of any
// length, 0 included, between random switches of every stage, learning, keep-only-noise,
// bypass, mono processing and the sliders. The output must stay finite; bypassed blocks
// get finite input, since bypass hands its input on untouched.

#include "core/Global.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using DSP::Global;

void ChangeSomething(FuzzedDataProvider& in, Fuzz::EffectPlugin& plugin) {
    DSP::Restoration::Restoration& effect = plugin.Effect();
    Global& global = plugin.Engine().GetGlobal();
    switch (in.ConsumeIntegralInRange(0, 6)) {
    case 0:
        effect.SetTraining(in.ConsumeBool());
        break;
    case 1:
        effect.SetKeepOnlyNoise(in.ConsumeBool());
        break;
    case 2:
        global.SetBoolParam(Global::bypassParam, in.ConsumeBool());
        break;
    case 3:
        global.SetBoolParam(Global::processAsMonoParam, in.ConsumeBool());
        break;
    case 4:
        global.SetBoolParam(Global::delayCompensationParam, in.ConsumeBool());
        break;
    case 5:
        effect.SetBoolParam(in.ConsumeIntegralInRange(0u, effect.GetNumBoolParams() - 1),
                            in.ConsumeBool());
        break;
    default:
        effect.SetFloatParam(in.ConsumeIntegralInRange(0u, effect.GetNumFloatParams() - 1),
                             in.ConsumeFloatingPoint<float>());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Fuzz::EffectPlugin plugin;
    const bool stereo = in.ConsumeBool();
    plugin.SetChannels(stereo ? 2 : 1, stereo ? 2 : 1);
    // Higher rates scale the longest repair run, and with it the cost of an input full of
    // damage, past what fuzzing can afford; the rate-dependent sizes change at 15 and
    // 30 kHz, which these cover.
    const std::uint32_t rates[] = {8000, 11025, 16000, 22050, 32000};
    plugin.StartStreaming(in.PickValueInArray(rates));
    for (int step = 0; step < 8 && in.remaining_bytes() > 0; ++step) {
        if (in.ConsumeBool()) {
            ChangeSomething(in, plugin);
        } else {
            const bool bypassed =
                plugin.Engine().GetGlobal().GetBypass() || plugin.Effect().GetBypass();
            Fuzz::StreamBlocks(in, plugin, stereo, bypassed);
        }
    }
    Fuzz::RequireFiniteTail(plugin);
    plugin.StopStreaming();
    return 0;
}
