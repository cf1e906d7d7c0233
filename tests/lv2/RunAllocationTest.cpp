// run() allocates nothing: every operator new while the plug-in runs is counted, over a
// damaged signal in changing block lengths with the controls moving as a user moves them.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>

#include "lv2/Uris.h"
#include "support/Signals.h"
#include "tests/lv2/LilvHost.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

} // namespace

void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using Move = std::pair<const char*, float>;
using Planar = std::vector<std::vector<float>>;

// One pass over the signal in random block lengths (0 included), one move every third of a second.
// Only the plug-in's own calls are counted.
void Pass(PluginRun& run, const Planar& in, const std::vector<Move>& moves, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::uint32_t> length(0, 8192);
    Planar out(2);
    for (auto& channel : out)
        channel.reserve(in[0].size() + 8192);
    std::size_t next = 0;
    for (std::size_t at = 0; at < in[0].size();) {
        if (at >= 16000 * (next + 1) && next < moves.size()) {
            run.Set(moves[next].first, moves[next].second);
            ++next;
        }
        const std::uint32_t frames = length(random);
        counting = true;
        run.Run(in, at, frames, out);
        counting = false;
        at += frames;
    }
    ASSERT_EQ(next, moves.size());
}

// From the very first block: the stages size their work buffers when they are set up,
// whatever the material, the switches, the sliders, learning or the reducer's quality do
// later. Two passes in different block lengths, the second after a deactivation.
// "Global: Process As Mono" is left out: it sets every stage up again for one channel,
// which allocates, so the plug-in does not claim lv2:hardRTCapable.
TEST(Lv2Run, AllocatesNothingFromTheFirstBlock) {
    StereoSignal signal = SynthesiseMusic(1.0, 5.0, 48000, 0.9f);
    AddCrackle(signal, 40.0, 3);
    AddHiss(signal, -45.0f, 5);
    Clip(signal, 0.6f);
    const Planar in{signal.left, signal.right};
    LilvHost host;
    PluginRun run(host, SONAVEL_LV2_STEREO_URI, 48000);
    const std::vector<Move> moves{
        {"train", 1},   {"train", 0},          {"enabled", 0},    {"denoise", 0},    {"enabled", 1},
        {"quality", 0}, {"amount", 0.8f},      {"declip", 0},     {"noise_only", 1}, {"denoise", 1},
        {"quality", 1}, {"sensitivity", 0.2f}, {"noise_only", 0}, {"declip", 1}};
    Pass(run, in, moves, 1);
    lilv_instance_deactivate(run.Instance());
    lilv_instance_activate(run.Instance());
    Pass(run, in, moves, 2);
    EXPECT_EQ(allocations, 0);
}

} // namespace
