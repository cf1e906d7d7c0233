#pragma once
// What the fuzz programs share: the effect as a host drives it, sample blocks made from
// fuzz bytes, and the finite-output check that turns a NaN into a finding.

#include <fuzzer/FuzzedDataProvider.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/Plugin.h"
#include "core/Restoration.h"
#include "core/RestorationEngine.h"

namespace Fuzz {

class EffectPlugin : public Plugin {
public:
    EffectPlugin()
        : Plugin(0, 2, [](Plugin& p) { return std::make_unique<DSP::RestorationEngine>(p); }) {}
    void OnParameterChanged(ChangePhase, DSP::Component&, std::uint32_t,
                            const ParamValue&) override {}
    DSP::Restoration::Restoration& Effect() {
        return static_cast<DSP::RestorationEngine&>(Engine()).GetRestoration();
    }
};

// A finding: libFuzzer reports the abort with the input that caused it.
inline void RequireFinite(const float* samples, int count, const char* where) {
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(samples[i])) {
            std::fprintf(stderr, "non-finite output %g at %d of %s\n", double(samples[i]), i,
                         where);
            std::abort();
        }
    }
}

// A block of `frames` samples in one of the shapes that stress the stages: raw float
// bits (NaN, Inf, denormals and huge values among them), a loud tone with bursts of
// special values, a constant, or noise at a fuzzed level. Bypass passes its input
// untouched, so blocks that may meet it get zeros for their non-finite samples.
inline void FillBlock(FuzzedDataProvider& in, std::vector<float>& block, int frames,
                      bool finiteOnly) {
    static const float specials[] = {NAN,          INFINITY, -INFINITY, FLT_MAX, -FLT_MAX,
                                     FLT_TRUE_MIN, 1e20f,    -1e38f,    0.0f,    1.0f};
    block.assign(std::size_t(frames), 0.0f);
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
        for (float& x : block)
            x = in.ConsumeFloatingPoint<float>();
        break;
    case 1: {
        const float step = in.ConsumeFloatingPointInRange(0.001f, 0.5f);
        for (int i = 0; i < frames; ++i)
            block[std::size_t(i)] = 1.2f * std::sin(step * float(i));
        for (int bursts = in.ConsumeIntegralInRange(0, 8); bursts > 0; --bursts) {
            const int at = in.ConsumeIntegralInRange(0, std::max(0, frames - 1));
            const int length = in.ConsumeIntegralInRange(1, 2000);
            const float value = in.PickValueInArray(specials);
            for (int i = at; i < std::min(frames, at + length); ++i)
                block[std::size_t(i)] = value;
        }
        break;
    }
    case 2:
        std::fill(block.begin(), block.end(), in.PickValueInArray(specials));
        break;
    default: {
        const float level = std::pow(10.0f, in.ConsumeFloatingPointInRange(-45.0f, 40.0f) / 10.0f);
        unsigned state = in.ConsumeIntegral<unsigned>();
        for (float& x : block) {
            state = state * 1664525u + 1013904223u;
            x = level * (float(state >> 8) / float(1u << 24) - 0.5f);
        }
    }
    }
    if (!finiteOnly) return;
    for (float& x : block)
        x = std::isfinite(x) ? x : 0.0f;
}

// Runs a block of fuzzed audio through a streaming plug-in and checks what comes out;
// returns the frames fed.
inline int StreamBlocks(FuzzedDataProvider& in, Plugin& plugin, bool stereo, bool finiteOnly) {
    std::vector<float> left, right;
    const int frames = in.ConsumeIntegralInRange(0, 4500);
    FillBlock(in, left, frames, finiteOnly);
    FillBlock(in, right, frames, finiteOnly);
    std::vector<float> outL(std::size_t(frames) + 1), outR(std::size_t(frames) + 1);
    const int made = plugin.Process(frames, left.data(), stereo ? right.data() : nullptr,
                                    outL.data(), stereo ? outR.data() : nullptr);
    RequireFinite(outL.data(), made, "left");
    RequireFinite(outR.data(), made, "right");
    return frames;
}

inline void RequireFiniteTail(Plugin& plugin) {
    std::vector<float> left, right;
    const int tail = plugin.FlushTail(left, &right);
    RequireFinite(left.data(), tail, "tail left");
    RequireFinite(right.data(), tail, "tail right");
}

} // namespace Fuzz
