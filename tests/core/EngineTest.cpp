#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "core/Global.h"
#include "core/SampleConverter.h"
#include "tests/TestFolder.h"
#include "tests/core/CoreTestSupport.h"

namespace {

using DSP::Global;
constexpr std::uint32_t rate = 48000;

// Feeds random stereo buffers through the plug-in and keeps, per channel, what went in
// (before the engine writes into its input) and what came out.
struct Stream {
    int Feed(Plugin& plugin, int frames) {
        std::vector<float> in[2], out[2];
        for (int c = 0; c < 2; ++c) {
            out[c].resize(std::size_t(frames));
            std::generate_n(std::back_inserter(in[c]), frames, [&] { return sample(random); });
            input[c].insert(input[c].end(), in[c].begin(), in[c].end());
        }
        const int produced =
            plugin.Process(frames, in[0].data(), in[1].data(), out[0].data(), out[1].data());
        for (int c = 0; c < 2; ++c)
            output[c].insert(output[c].end(), out[c].begin(), out[c].begin() + produced);
        return produced;
    }
    std::vector<float> input[2], output[2];
    std::mt19937 random{7};
    std::uniform_real_distribution<float> sample{-0.5f, 0.5f};
};

// out[i] is gain * in[i - delay] (silence before), for i from `from` on.
void ExpectProcessed(const std::vector<float>& out, const std::vector<float>& in, float gain,
                     std::size_t delay = 0, std::size_t from = 0) {
    for (std::size_t i = from; i < out.size(); ++i)
        ASSERT_NEAR(out[i], i < delay ? 0.0f : gain * in[i - delay], 1e-6f) << i;
}

// A plug-in whose stage works in blocks of blockSize frames (latency blockSize - 1), with an
// editor window and a random stereo stream.
template <std::uint32_t blockSize, bool compensated> struct Engine : ::testing::Test {
    Engine() {
        global.SetBoolParam(Global::delayCompensationParam, compensated);
        plugin.AttachEditor(&window);
        plugin.StartStreaming(rate);
        TakeEditorMessages(&window);
    }
    ~Engine() override { TakeEditorMessages(&window); }
    int window = 0;
    TestPlugin plugin{StageEngine::Factory(blockSize)};
    Global& global = plugin.Engine().GetGlobal();
    Stream stream;
};
using Compensated = Engine<64, true>;
using Uncompensated = Engine<64, false>;
using Direct = Engine<0, false>;
using GlobalTest = Direct;

TEST_F(Compensated, HeadIsWithheldUntilLatencyIsDiscardedAndTailCompletesTheStream) {
    const int latency = 63;
    ASSERT_EQ(plugin.Engine().Latency(), std::uint32_t(latency));
    std::uniform_int_distribution<int> lengths(1, 50);
    for (int fed = 0; fed < 1000;) {
        const int n = lengths(stream.random);
        EXPECT_EQ(stream.Feed(plugin, n),
                  std::max(0, fed + n - latency) - std::max(0, fed - latency));
        fed += n;
    }
    // 63 frames of 48 kHz are 13125 units of 100 ns.
    EXPECT_EQ(plugin.CompensateTime(1'000'000), 1'000'000 - 13125);

    std::vector<float> tail[2];
    EXPECT_EQ(plugin.FlushTail(tail[0], &tail[1]), latency);
    EXPECT_GE(tail[1].size(), 2u * latency);
    for (int c = 0; c < 2; ++c) {
        stream.output[c].insert(stream.output[c].end(), tail[c].begin(), tail[c].begin() + latency);
        ASSERT_EQ(stream.output[c].size(), stream.input[c].size());
        ExpectProcessed(stream.output[c], stream.input[c], 2.0f);
    }
}

TEST_F(Compensated, BypassPassesBothChannelsUntouchedAlsoAsMono) {
    global.SetBoolParam(Global::processAsMonoParam, true);
    global.SetBoolParam(Global::bypassParam, true);
    EXPECT_EQ(stream.Feed(plugin, 100), 100);
    EXPECT_EQ(stream.output[0], stream.input[0]);
    EXPECT_EQ(stream.output[1], stream.input[1]);
    EXPECT_EQ(plugin.CompensateTime(5000), 5000);
}

TEST_F(Uncompensated, EveryBlockReturnsItsLengthDelayedByTheStage) {
    for (int n : {40, 1, 63, 100})
        EXPECT_EQ(stream.Feed(plugin, n), n);
    ExpectProcessed(stream.output[1], stream.input[1], 2.0f, 63);
    std::vector<float> tail;
    EXPECT_EQ(plugin.FlushTail(tail, nullptr), 0);
    EXPECT_EQ(plugin.CompensateTime(5000), 5000);
}

TEST_F(Direct, AutomatedBypassSwitchesAtASubBlockBoundary) {
    // On from frame 120: the sub-block of frames 100 to 149 is the first bypassed one.
    const MP_ENVELOPE_SEGMENT on = {120 * 10'000'000 / rate, 10'000'000, 1.0f, 1.0f,
                                    MP_CURVE_JUMP,           0};
    global.Envelopes().AddBoolSegments(Global::bypassParam, 1, &on);
    EXPECT_EQ(stream.Feed(plugin, 300), 300);
    ExpectProcessed(std::vector<float>(stream.output[0].begin(), stream.output[0].begin() + 100),
                    stream.input[0], 2.0f);
    ExpectProcessed(stream.output[1], stream.input[1], 1.0f, 0, 100);
    EXPECT_TRUE(global.GetBypass());
    EXPECT_EQ(TakeEditorMessages(&window), std::vector<WPARAM>{0});
}

TEST_F(Direct, APresetChangeFollowsItsModeAndRealtimeOverridesTheBypass) {
    global.SetBoolParam(Global::bypassParam, true);
    plugin.SetPresetChanging(true);
    global.SetUIntParam(Global::presetChangeModeParam, 0);
    stream.Feed(plugin, 100);
    ExpectProcessed(stream.output[0], stream.input[0], 2.0f);
    global.SetUIntParam(Global::presetChangeModeParam, 2);
    stream.Feed(plugin, 100);
    EXPECT_EQ(std::vector<float>(stream.output[1].begin() + 100, stream.output[1].end()),
              std::vector<float>(100, 0.0f));
    global.SetUIntParam(Global::presetChangeModeParam, 1);
    plugin.SetPresetChanging(false);
    stream.Feed(plugin, 100);
    ExpectProcessed(stream.output[1], stream.input[1], 1.0f, 0, 200);
}

TEST_F(Direct, MonoFeedsTheMixToBothOutputs) {
    global.SetBoolParam(Global::processAsMonoParam, true);
    EXPECT_EQ(stream.Feed(plugin, 200), 200);
    std::vector<float> mix = stream.input[0];
    for (std::size_t i = 0; i < mix.size(); ++i)
        mix[i] = (mix[i] + stream.input[1][i]) / 2;
    ExpectProcessed(stream.output[0], mix, 2.0f);
    EXPECT_EQ(stream.output[1], stream.output[0]);
}

TEST_F(Direct, SilenceCarriesAnOffsetThatFlipsEvery128Samples) {
    for (int b = 0; b < 3; ++b) {
        std::vector<float> inL(100), inR(100), outL(100), outR(100);
        plugin.Process(100, inL.data(), inR.data(), outL.data(), outR.data());
        for (int i = 0; i < 100; ++i) {
            const float sign = (b * 100 + i) % 256 < 128 ? 1.0f : -1.0f;
            ASSERT_EQ(outL[i], sign * 2 * 1e-10f) << b * 100 + i;
            ASSERT_EQ(outR[i], sign * 2 * 2e-10f) << b * 100 + i;
        }
    }
}

TEST(Latency, SumsActiveComponentsUnlessFrozenAndAppliesAtOnceWhenIdle) {
    TestPlugin plugin(StageEngine::Factory(64), 2);
    int window = 0;
    plugin.AttachEditor(&window);
    Stage& stage = plugin.TestEngine().stage;
    plugin.extraLatency = 5;
    stage.reported = 10;
    const int changes = plugin.latencyChanges;
    plugin.InvalidateLatency(stage);
    EXPECT_EQ(plugin.Engine().Latency(), 63u + 10u + 5u);
    EXPECT_EQ(plugin.latencyChanges, changes + 1);
    EXPECT_EQ(TakeEditorMessages(&window), std::vector<WPARAM>{0});

    // A block that fails leaves no block in flight behind.
    stage.onProcess = [] { throw std::runtime_error("stage failed"); };
    std::vector<float> in(64), out(64);
    EXPECT_THROW(plugin.Process(64, in.data(), nullptr, out.data(), nullptr), std::runtime_error);
    stage.active = false;
    plugin.InvalidateAll(stage);
    EXPECT_EQ(plugin.Engine().Latency(), 5u);
    plugin.FreezeLatency(true, 100);
    plugin.InvalidateAll(stage);
    EXPECT_EQ(plugin.Engine().Latency(), 105u);
}

// The per-user settings live in a configuration folder of the test's own; the second
// install path runs into a file.
TEST(DataDirectory, IsCreatedWithItsParentsAndAFailureIsIgnored) {
    namespace fs = std::filesystem;
    const TestFolder folder;
    const fs::path& root = folder.path;
    fs::create_directories(root / "Quillon/QuillonSonavelEnhancement");
    const ScopedEnv config("XDG_CONFIG_HOME", root.c_str());
    std::ofstream(root / "file") << "in the way";
    for (const char* path : {"data/a/b", "file/sub"}) {
        std::ofstream(root / "Quillon/QuillonSonavelEnhancement/DirectX.conf")
            << "InstallPath=" << (root / path).string() << "\n";
        EXPECT_EQ(TestPlugin().Components().size(), 3u) << path;
    }
    EXPECT_TRUE(fs::is_directory(root / "data/a/b"));
}

TEST_F(GlobalTest, SettersClampWhereTheRangeIsEnforcedAndAnnounceOnlyChanges) {
    global.SetFloatParam(Global::fpsParam, 2.0f);
    EXPECT_EQ(global.GetFps(), 5.0f);
    EXPECT_EQ(global.GetFramePeriod(), 200);
    global.SetFloatParam(Global::fpsParam, 100.0f);
    EXPECT_EQ(global.GetFps(), 60.0f);
    EXPECT_EQ(global.GetFramePeriod(), 17);
    EXPECT_EQ(TakeEditorMessages(&window), (std::vector<WPARAM>{11, 11}));
    global.SetFloatParam(Global::fpsParam, 60.0f);
    EXPECT_TRUE(TakeEditorMessages(&window).empty());

    // With the rendering thread on, a new frame rate is not announced; the switch is.
    global.SetBoolParam(Global::renderingThreadParam, true);
    global.SetFloatParam(Global::fpsParam, 25.0f);
    EXPECT_EQ(global.GetFramePeriod(), 40);
    EXPECT_EQ(TakeEditorMessages(&window), (std::vector<WPARAM>{11}));

    // Opacity and the preset change mode take any value.
    global.SetFloatParam(Global::automationZipperSamplesParam, 0.0f);
    EXPECT_EQ(global.GetAutomationZipperSamples(), 10.0f);
    global.SetFloatParam(Global::automationZipperSamplesParam, 1000.0f);
    EXPECT_EQ(global.GetAutomationZipperSamples(), 600.0f);
    global.SetUIntParam(Global::globalBufferSizeParam, 9);
    EXPECT_EQ(global.GetGlobalBufferSize(), 6u);
    global.SetFloatParam(Global::opacityParam, 5.0f);
    EXPECT_EQ(global.GetOpacity(), 5.0f);
    global.SetUIntParam(Global::presetChangeModeParam, 7);
    EXPECT_EQ(global.GetPresetChangeMode(), 7u);
}

TEST_F(GlobalTest, PreferenceChangesReachEditorAndComponents) {
    global.SetBoolParam(Global::showBackgroundGridParam, false);
    global.SetBoolParam(Global::showBackgroundGridParam, false);
    EXPECT_EQ(TakeEditorMessages(&window), (std::vector<WPARAM>{12}));

    global.SetBoolParam(Global::delayCompensationParam, true);
    global.SetBoolParam(Global::delayCompensationParam, true);
    EXPECT_EQ(plugin.globalSettingChanges, 1);

    Recorder recorder(plugin);
    global.SetBoolParam(Global::meterEnableParam, false);
    for (const DSP::Component* component : plugin.Components()) {
        EXPECT_FALSE(component->MeterFlag()) << component->Name().Text();
    }

    // The automation highlight colours the parameters that have envelopes.
    const MP_ENVELOPE_SEGMENT segment = Segment(0, 1000, 0.0f, 1.0f);
    recorder.Envelopes().AddBoolSegments(0, 1, &segment);
    recorder.SetFloatParamHighlight(0, 1);
    global.SetUIntParam(Global::automationHighlightParam, 2);
    EXPECT_EQ(recorder.GetBoolParamHighlight(0), 2);
    EXPECT_EQ(recorder.GetFloatParamHighlight(0), DSP::noHighlight);
    global.SetUIntParam(Global::automationHighlightParam, DSP::noHighlight);
    EXPECT_EQ(recorder.GetBoolParamHighlight(0), DSP::noHighlight);
}

// Every value of an enumerated setting has a label.
TEST_F(GlobalTest, SettingsStartAtTheirDefaultsStayOutOfTheSavedStateAndNameEveryValue) {
    const std::uint32_t before = plugin.StateSize();
    Global fresh(plugin);
    DSP::GlobalDerived derived(plugin);
    // Nothing but the private-data length word of each.
    EXPECT_EQ(plugin.StateSize(), before + 4u + 4u);
    for (const DSP::Component* c : std::initializer_list<const DSP::Component*>{&fresh, &derived}) {
        for (std::uint32_t i = 0; i < c->GetNumFloatParams(); ++i) {
            EXPECT_NE(c->GetFloatParamStorage(i), 0u);
            EXPECT_EQ(c->GetFloatParam(i), c->GetFloatParamDefault(i)) << i;
        }
        for (std::uint32_t i = 0; i < c->GetNumBoolParams(); ++i) {
            EXPECT_NE(c->GetBoolParamStorage(i), 0u);
            EXPECT_EQ(c->GetBoolParam(i), c->GetBoolParamDefault(i)) << i;
            EXPECT_EQ(c->HasBoolParamLabels(i) ? c->GetBoolParamLabels(i).size() : 2u, 2u) << i;
        }
        for (std::uint32_t i = 0; i < c->GetNumUIntParams(); ++i) {
            EXPECT_NE(c->GetUIntParamStorage(i), 0u);
            EXPECT_EQ(c->GetUIntParam(i), c->GetUIntParamDefault(i)) << i;
            EXPECT_TRUE(c->IsUIntParamEnumerated(i)) << i;
            EXPECT_EQ(c->GetUIntParamLabels(i).size(), c->GetUIntParamRange(i).maximum + 1) << i;
        }
        EXPECT_EQ(c->GetNumIntParams(), 0u);
    }
}

using Bytes = std::vector<std::uint8_t>;

// Integer samples of one channel.
SampleConverter Mono(std::uint16_t bits) {
    return *SampleConverter::Create(1, bits, 1);
}

std::vector<float> Decoded(SampleConverter converter, Bytes bytes) {
    std::vector<float> samples(bytes.size() / converter.BytesPerSample());
    converter.ToFloat(int(samples.size()), bytes.data(), samples.data(), nullptr);
    return samples;
}

Bytes Encoded(SampleConverter converter, std::vector<float> samples) {
    Bytes bytes(samples.size() * converter.BytesPerSample());
    converter.FromFloat(int(samples.size()), samples.data(), nullptr, bytes.data());
    return bytes;
}

// Little-endian, full scale at the top bit, saturated at both ends and truncated toward
// zero in between; wider than 64 bits the same rule holds over all bytes. 8 bits are
// unsigned around 128. Stereo interleaves left first.
TEST(SampleConversion, IntegerBytesMeetFullScale) {
    const Bytes top72{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
    Bytes topThenBottom72 = top72;
    topThenBottom72.insert(topThenBottom72.end(), {0, 0, 0, 0, 0, 0, 0, 0, 0x80});
    const struct {
        std::uint16_t bits;
        std::vector<float> samples;
        Bytes bytes;
    } encodings[] = {
        {8, {0.0f, -1.0f, 2.0f, -3.0f}, {128, 0, 255, 0}},
        {16, {1.0f, -2.0f, -1.5f / 32768}, {0xFF, 0x7F, 0x00, 0x80, 0xFF, 0xFF}},
        {24, {1.0f, -1.0f, -1.5f / (1 << 23)}, {0xFF, 0xFF, 0x7F, 0, 0, 0x80, 0xFF, 0xFF, 0xFF}},
        {72, {0.5f}, {0, 0, 0, 0, 0, 0, 0, 0, 0x40}},
        // -3 and -1.5 units of the last byte; the second truncates toward zero to -1.
        {72, {-0x1.8p-70f}, {0xFD, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {72, {-0x1.8p-71f}, Bytes(9, 0xFF)},
        {72, {3.0f, -1.0f}, topThenBottom72}};
    for (const auto& e : encodings)
        EXPECT_EQ(Encoded(Mono(e.bits), e.samples), e.bytes) << e.bits << " bits";

    EXPECT_EQ(Decoded(Mono(8), {128, 0, 255}), (std::vector<float>{0.0f, -1.0f, 127 / 128.0f}));
    EXPECT_EQ(Decoded(Mono(24), {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F}),
              (std::vector<float>{-1.0f, float((1 << 23) - 1) / (1 << 23)}));
    EXPECT_EQ(Decoded(Mono(72), {0, 0, 0, 0, 0, 0, 0, 0, 0x40}), std::vector<float>{0.5f});
    const Bytes frame{0x00, 0x40, 0x00, 0xC0};
    float left = 0, right = 0;
    SampleConverter::Create(1, 16, 2)->ToFloat(1, frame.data(), &left, &right);
    EXPECT_EQ(left, 0.5f);
    EXPECT_EQ(right, -0.5f);
}

// Integer widths and channel counts the DirectShow filter refuses are checked there.
TEST(SampleConversion, UnsupportedFormatsAreRefused) {
    EXPECT_FALSE(SampleConverter::Create(3, 24, 1));
    EXPECT_FALSE(SampleConverter::Create(2, 16, 1));
    EXPECT_FALSE(SampleConverter::Create(1, 0, 1));
}

TEST(SampleConversion, RandomDataSurvivesARoundTripInEveryFormat) {
    const struct {
        std::uint16_t tag, bits;
        float precision;
    } formats[] = {{1, 8, 1 / 128.0f}, {1, 16, 1 / 32768.0f}, {1, 20, 0x1p-23f}, {1, 24, 0x1p-23f},
                   {1, 32, 0x1p-24f},  {1, 40, 0x1p-24f},     {1, 72, 0.0f},     {1, 96, 0.0f},
                   {3, 32, 0.0f},      {3, 64, 0.0f}};
    std::mt19937 random(3);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    const int frames = 500;
    for (const auto& format : formats) {
        for (std::uint16_t channels : {1, 2}) {
            SCOPED_TRACE(testing::Message() << format.tag << "/" << format.bits << "/" << channels);
            SampleConverter converter = *SampleConverter::Create(format.tag, format.bits, channels);
            std::vector<float> in[2],
                back[2] = {std::vector<float>(frames), std::vector<float>(frames)};
            for (int i = 0; i < 2 * frames; ++i)
                in[i % 2].push_back(sample(random));
            Bytes bytes(frames * converter.BytesPerFrame());
            converter.FromFloat(frames, in[0].data(), in[1].data(), bytes.data());
            converter.ToFloat(frames, bytes.data(), back[0].data(), back[1].data());
            for (int c = 0; c < channels; ++c) {
                for (int i = 0; i < frames; ++i)
                    ASSERT_LE(std::fabs(back[c][i] - in[c][i]), format.precision) << i;
            }
        }
    }
}

} // namespace
