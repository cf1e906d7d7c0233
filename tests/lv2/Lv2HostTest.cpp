// The LV2 plug-ins as a host loads them from the build tree (LV2_PATH), against the
// sonavel command line on the same damaged files.

#include <gtest/gtest.h>

#include <cmath>
#include <lv2/atom/atom.h>
#include <lv2/state/state.h>
#include <nlohmann/json.hpp>
#include <random>

#include "lv2/Uris.h"
#include "tests/apps/CliFixture.h"
#include "tests/lv2/LilvHost.h"

namespace {

using namespace cli_test;

using Planar = std::vector<std::vector<float>>;
using Bytes = std::vector<std::uint8_t>;

// restore continues the signal past a file's end where a host's stream goes on with
// silence, so the stages' look-ahead differs over the last `latency` frames; the
// comparison stops this much further before the end.
constexpr std::size_t endMargin = 200;
constexpr double noiseSeconds = 1.5;

Planar ReadPlanar(const std::string& path) {
    const Audio audio = Read(path);
    EXPECT_GT(audio.info.channels, 0) << path;
    Planar planar(std::size_t(audio.info.channels));
    for (std::size_t i = 0; i < audio.samples.size(); ++i)
        planar[i % planar.size()].push_back(float(audio.samples[i]));
    return planar;
}

Bytes ReadBytes(const std::string& path) {
    const std::string text = ReadText(path);
    return {text.begin(), text.end()};
}

const LV2_State_Interface& StateOf(PluginRun& run) {
    return *static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(run.Instance(), LV2_STATE__interface));
}

struct Store {
    Bytes block;
    LV2_URID type = 0;
};

Bytes SaveBlock(LilvHost& host, PluginRun& run) {
    Store store;
    const auto keep = [](LV2_State_Handle h, std::uint32_t, const void* data, std::size_t size,
                         std::uint32_t type, std::uint32_t) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        *static_cast<Store*>(h) = {{bytes, bytes + size}, type};
        return LV2_STATE_SUCCESS;
    };
    EXPECT_EQ(StateOf(run).save(run.Instance()->lv2_handle, keep, &store, 0, nullptr),
              LV2_STATE_SUCCESS);
    EXPECT_EQ(store.type, host.Urid(LV2_ATOM__Chunk));
    return store.block;
}

LV2_State_Status LoadBlock(LilvHost& host, PluginRun& run, Bytes block) {
    Store store{std::move(block), host.Urid(LV2_ATOM__Chunk)};
    const auto give = [](LV2_State_Handle h, std::uint32_t, std::size_t* size, std::uint32_t* type,
                         std::uint32_t* flags) -> const void* {
        auto& s = *static_cast<Store*>(h);
        *size = s.block.size();
        *type = s.type;
        *flags = LV2_STATE_IS_POD;
        return s.block.data();
    };
    return StateOf(run).restore(run.Instance()->lv2_handle, give, &store, 0, nullptr);
}

// Random block lengths from 1 to 8192 with empty runs between, fed up to `end`.
Planar RunInRandomBlocks(PluginRun& run, const Planar& in, std::size_t end, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::uint32_t> length(1, 8192);
    Planar out(in.size());
    for (std::size_t at = 0; at < end;) {
        const auto frames = std::uint32_t(std::min<std::size_t>(length(random), end - at));
        run.Run(in, at, frames, out);
        run.Run(in, at, 0, out);
        at += frames;
    }
    return out;
}

float LargestDifference(const Planar& lv2, std::size_t latency, const Planar& cli) {
    float largest = 0;
    for (std::size_t c = 0; c < cli.size(); ++c) {
        for (std::size_t i = 0; i + latency + endMargin < cli[c].size(); ++i)
            largest = std::max(largest, std::abs(lv2[c][i + latency] - cli[c][i]));
    }
    return largest;
}

class Lv2Host : public Cli, public ::testing::WithParamInterface<std::uint32_t> {
protected:
    void SetUp() override {
        Write(At("damaged.wav"), Damaged(noiseSeconds + 1.5, GetParam(), noiseSeconds));
        // The profile of the hiss alone, the first noiseSeconds.
        Ok({"train", At("damaged.wav"), At("noise.profile"), "--range", "0-1.5", "--quiet"});
        input = ReadPlanar(At("damaged.wav"));
    }

    Planar input;
    LilvHost host;
};

// Both reducers: the quality port chooses what --quality does.
TEST_P(Lv2Host, RestoresAsTheCommandLineDoesInAnyBlockLengths) {
    for (const auto& [quality, port] : {std::pair{"standard", 0.0f}, std::pair{"high", 1.0f}}) {
        SCOPED_TRACE(quality);
        Ok({"restore", At("damaged.wav"), At("cli.wav"), "--profile", At("noise.profile"),
            "--amount", "0.8", "--no-declip", "--force", "--quiet", "--quality", quality});
        PluginRun run(host, SONAVEL_LV2_STEREO_URI, GetParam());
        ASSERT_EQ(LoadBlock(host, run, ReadBytes(At("noise.profile"))), LV2_STATE_SUCCESS);
        run.Set("amount", 0.8f);
        run.Set("declip", 0.0f);
        run.Set("quality", port);
        const std::size_t latency = run.Latency();
        const Planar out = RunInRandomBlocks(run, input, input[0].size() + latency, GetParam());
        EXPECT_LT(LargestDifference(out, latency, ReadPlanar(At("cli.wav"))), 1e-6f);
    }
}

// The host's bypass keeps the reported latency: the input comes out that much later.
TEST_P(Lv2Host, BypassDelaysTheInputByTheLatency) {
    PluginRun run(host, SONAVEL_LV2_STEREO_URI, GetParam());
    run.Set("enabled", 0.0f);
    const std::size_t latency = run.Latency();
    const Planar out = RunInRandomBlocks(run, input, input[0].size() + latency, 4);
    EXPECT_EQ(LargestDifference(out, latency, input), 0.0f);
}

// "Train" switched on once the noise has reached the reducer, off at the end of it.
TEST_P(Lv2Host, TrainPortLearnsTheProfileOfSonavelTrain) {
    PluginRun run(host, SONAVEL_LV2_STEREO_URI, GetParam());
    Planar out(2);
    run.Set("denoise", 0.0f);
    const std::size_t delay = run.Latency();
    run.Set("denoise", 1.0f);
    const auto noiseEnd = std::size_t(std::llround(noiseSeconds * GetParam()));
    RunInRandomBlocks(run, input, delay, 1);
    run.Set("train", 1.0f);
    for (std::size_t at = delay; at < noiseEnd; at += 700)
        run.Run(input, at, std::uint32_t(std::min<std::size_t>(700, noiseEnd - at)), out);
    run.Set("train", 0.0f);
    run.Run(input, noiseEnd, 0, out);
    const Bytes learnt = SaveBlock(host, run);
    EXPECT_EQ(learnt, ReadBytes(At("noise.profile")));

    // The block moves to a fresh instance, which then sounds the same; a damaged block
    // is refused and changes nothing.
    PluginRun fresh(host, SONAVEL_LV2_STEREO_URI, GetParam());
    ASSERT_EQ(LoadBlock(host, fresh, learnt), LV2_STATE_SUCCESS);
    Bytes damaged = learnt;
    damaged[0] ^= 0x5a;
    EXPECT_NE(LoadBlock(host, fresh, damaged), LV2_STATE_SUCCESS);
    EXPECT_NE(LoadBlock(host, fresh, Bytes(learnt.begin(), learnt.end() - 4)), LV2_STATE_SUCCESS);
    EXPECT_EQ(SaveBlock(host, fresh), learnt);
    lilv_instance_deactivate(run.Instance());
    lilv_instance_activate(run.Instance());
    EXPECT_EQ(RunInRandomBlocks(run, input, input[0].size(), 2),
              RunInRandomBlocks(fresh, input, input[0].size(), 3));
}

// As a user on the command line: lv2apply puts the whole file through the plug-in.
TEST_P(Lv2Host, Lv2applyRestoresAFileOnTheCommandLine) {
#ifdef SONAVEL_SANITIZED
    GTEST_SKIP() << "lv2apply cannot load a plug-in built with the sanitizers";
#endif
    Ok({"-i", At("damaged.wav"), "-o", At("out.wav"), "-c", "declip", "0", "-c", "denoise", "0",
        SONAVEL_LV2_STEREO_URI},
       "lv2apply");
    // Without a profile restore learns the noise by itself, which lv2apply cannot.
    Ok({"restore", At("damaged.wav"), At("cli.wav"), "--no-declip", "--no-denoise", "--format",
        "float", "--quiet"});
    const Planar applied = ReadPlanar(At("out.wav"));
    Planar cli = ReadPlanar(At("cli.wav"));
    PluginRun run(host, SONAVEL_LV2_STEREO_URI, GetParam());
    run.Set("declip", 0.0f);
    run.Set("denoise", 0.0f);
    const std::size_t latency = run.Latency();
    ASSERT_EQ(applied[0].size(), cli[0].size());
    // lv2apply does not compensate the delay: compare what it has of the file.
    for (auto& channel : cli)
        channel.resize(channel.size() - latency);
    EXPECT_LT(LargestDifference(applied, latency, cli), 1e-6f);
}

// Each switched-on stage adds its share from `sonavel info --json` to the block framing;
// with all of them on that is the whole latency info gives, for the default (high)
// quality and the standard one.
TEST_P(Lv2Host, LatencyPortEqualsInfoForEveryStageCombination) {
    const auto info =
        nlohmann::json::parse(Ok({"info", "--json", "--rate", std::to_string(GetParam())}).out);
    EXPECT_EQ(info["quality"], "high");
    EXPECT_EQ(info["latency"], info["qualities"]["high"]["latency"]);
    // The port's default is the command line's: the latencies "stages" lists.
    EXPECT_EQ(info["stages"], info["qualities"]["high"]["stages"]);
    for (const char* uri : {SONAVEL_LV2_STEREO_URI, SONAVEL_LV2_MONO_URI}) {
        PluginRun run(host, uri, GetParam());
        for (int mask = 0; mask < 16; ++mask) {
            const auto& quality = info["qualities"][(mask & 8) ? "standard" : "high"];
            run.Set("quality", (mask & 8) ? 0.0f : 1.0f);
            std::uint32_t expected = quality["stages"]["framing"];
            const char* const ports[] = {"declip", "declick", "denoise"};
            for (int s = 0; s < 3; ++s) {
                run.Set(ports[s], float((mask >> s) & 1));
                if ((mask >> s) & 1) expected += std::uint32_t(quality["stages"][ports[s]]);
            }
            EXPECT_EQ(run.Latency(), expected) << uri << " " << mask;
            EXPECT_TRUE((mask & 7) != 7 || quality["latency"] == expected) << quality;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, Lv2Host, ::testing::Values(44100u, 48000u, 96000u));

} // namespace
