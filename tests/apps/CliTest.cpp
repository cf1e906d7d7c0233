// The sonavel binary as a user runs it, on files made here.

#include "apps/HostPlugin.h"
#include "tests/apps/CliFixture.h"

namespace {

using namespace cli_test;

TEST_F(Cli, EveryFormatComesOutWithTheInputsLengthAndFormat) {
    const StereoSignal music = Damaged(2.0);
    const int formats[] = {SF_FORMAT_WAV | SF_FORMAT_PCM_16,  SF_FORMAT_WAV | SF_FORMAT_PCM_24,
                           SF_FORMAT_WAV | SF_FORMAT_PCM_32,  SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                           SF_FORMAT_WAV | SF_FORMAT_DOUBLE,  SF_FORMAT_WAVEX | SF_FORMAT_PCM_24,
                           SF_FORMAT_FLAC | SF_FORMAT_PCM_16, SF_FORMAT_AIFF | SF_FORMAT_PCM_24,
                           SF_FORMAT_OGG | SF_FORMAT_VORBIS,  SF_FORMAT_WAV | SF_FORMAT_PCM_U8};
    for (const int format : formats) {
        for (const int channels : {1, 2}) {
            const std::string ext = (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC   ? ".flac"
                                    : (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_AIFF ? ".aiff"
                                    : (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG  ? ".ogg"
                                                                                      : ".wav";
            SCOPED_TRACE(std::to_string(format) + ext + " x" + std::to_string(channels));
            Write(At("in" + ext), format, music, channels);
            const RunResult run = Sonavel({"restore", At("in" + ext), At("out" + ext), "--quiet"});
            ASSERT_EQ(run.code, 0) << run.err;
            EXPECT_EQ(run.err, "");
            const Audio in = Read(At("in" + ext));
            const Audio out = Read(At("out" + ext));
            EXPECT_EQ(out.info.frames, in.info.frames);
            EXPECT_EQ(out.info.channels, channels);
            EXPECT_EQ(out.info.format, format);
            // The declipper leaves 6 dB of headroom; restoring removes little energy.
            EXPECT_NEAR(20 * std::log10(Rms(out.samples) / Rms(in.samples)), -6.0, 0.5);
            fs::remove(At("out" + ext));
        }
    }
}

// With every stage off the output is the input, aligned, whatever its length: files
// shorter than the latency come back whole from the flushed tail. The engine's
// anti-denormal offset can move a sample across an integer step, and the engine's float
// holds 24 bits, so 32-bit samples come back within its precision.
TEST_F(Cli, WithEveryStageOffTheInputComesBackAlignedWithinOneStep) {
    const StereoSignal music = Damaged(1.5);
    const struct {
        int format;
        double step;
        std::size_t frames;
    } cases[] = {{SF_FORMAT_PCM_16, 0x1p-15, 66150}, {SF_FORMAT_PCM_24, 0x1p-23, 66150},
                 {SF_FORMAT_PCM_32, 0x1p-24, 66150}, {SF_FORMAT_FLOAT, 1e-6, 0},
                 {SF_FORMAT_FLOAT, 1e-6, 1},         {SF_FORMAT_FLOAT, 1e-6, 4410}};
    for (const auto& c : cases) {
        StereoSignal part = music;
        part.left.resize(c.frames);
        part.right.resize(c.frames);
        Write(At("in.wav"), SF_FORMAT_WAV | c.format, part);
        const RunResult run = Sonavel({"restore", At("in.wav"), At("out.wav"), "--no-declip",
                                       "--no-declick", "--no-denoise", "--force"});
        ASSERT_EQ(run.code, 0) << run.err;
        const Audio in = Read(At("in.wav"));
        const Audio out = Read(At("out.wav"));
        ASSERT_EQ(out.samples.size(), in.samples.size());
        double largest = 0.0;
        for (std::size_t i = 0; i < in.samples.size(); ++i)
            largest = std::max(largest, std::fabs(out.samples[i] - in.samples[i]));
        EXPECT_LE(largest, c.step) << c.format << " " << c.frames;
    }
}

TEST_F(Cli, MonoProcessingGivesTwoEqualChannels) {
    Write(At("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, Damaged(1.0));
    ASSERT_EQ(Sonavel({"restore", At("in.wav"), At("out.wav"), "--mono"}).code, 0);
    const Audio out = Read(At("out.wav"));
    ASSERT_EQ(out.info.channels, 2);
    double difference = 0.0;
    for (std::size_t i = 0; i < out.samples.size(); i += 2)
        difference = std::max(difference, std::fabs(out.samples[i] - out.samples[i + 1]));
    EXPECT_EQ(difference, 0.0);
    EXPECT_GT(Rms(out.samples), 0.05);
}

// Restored / declip gain - noise-only = input. Where clicks are rebuilt the
// interpolation's solve magnifies float rounding, so with declicking the match is
// judged on the RMS.
TEST_F(Cli, RestoredOverDeclipGainMinusNoiseOnlyGivesBackTheInput) {
    Write(At("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, Damaged(3.0));
    for (const bool declick : {false, true}) {
        std::vector<std::string> args{"restore", At("in.wav"), At("restored.wav"), "--no-denoise",
                                      "--force"};
        if (!declick) args.push_back("--no-declick");
        ASSERT_EQ(Sonavel(args).code, 0);
        args[2] = At("noise.wav");
        args.push_back("--noise-only");
        ASSERT_EQ(Sonavel(args).code, 0);
        const Audio in = Read(At("in.wav"));
        const Audio restored = Read(At("restored.wav"));
        const Audio noise = Read(At("noise.wav"));
        const double makeUp = std::pow(10.0, 6.0 / 20.0);
        double largest = 0.0;
        double squares = 0.0;
        double removed = 0.0;
        for (std::size_t i = 0; i < in.samples.size(); ++i) {
            const double error = restored.samples[i] * makeUp - noise.samples[i] - in.samples[i];
            largest = std::max(largest, std::fabs(error));
            squares += error * error;
            removed = std::max(removed, std::fabs(noise.samples[i]));
        }
        EXPECT_GT(removed, 0.05);
        if (declick) {
            EXPECT_LT(std::sqrt(squares / double(in.samples.size())), 1e-5);
        } else {
            EXPECT_LT(largest, 1e-6);
        }
    }
}

TEST_F(Cli, AProfileIsThePluginsSavedStateAndRestoresLikeTraining) {
    StereoSignal noise = SynthesiseMusic(3.0, 0.0, 44100, 1.0f);
    AddHiss(noise, -40.0f, 3);
    Write(At("noise.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, noise);
    Write(At("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, Damaged(2.0));
    const RunResult trained = Sonavel({"train", At("noise.wav"), At("hiss.profile")});
    ASSERT_EQ(trained.code, 0) << trained.err;

    // The plug-in takes the file as its state and saves the same bytes again.
    const std::string profile = ReadText(At("hiss.profile"));
    const std::vector<std::uint8_t> bytes(profile.begin(), profile.end());
    HostPlugin plugin;
    ASSERT_TRUE(plugin.LoadState(bytes, true));
    EXPECT_EQ(plugin.SaveState(), bytes);
    EXPECT_NE(plugin.SaveState(), HostPlugin().SaveState());

    ASSERT_EQ(Sonavel({"restore", At("in.wav"), At("a.wav"), "--profile", At("hiss.profile")}).code,
              0);
    ASSERT_EQ(Sonavel({"restore", At("in.wav"), At("b.wav"), "--train-file", At("noise.wav")}).code,
              0);
    EXPECT_EQ(ReadText(At("a.wav")), ReadText(At("b.wav")));
}

TEST_F(Cli, RefusalsExplainThemselvesAndLeaveNothing) {
    Write(At("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, Damaged(1.0));
    std::ofstream(At("kept.wav")) << "precious";
    std::ofstream(At("bad.profile")) << "not a profile";
    SF_INFO six{};
    six.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    six.channels = 6;
    six.samplerate = 44100;
    sf_close(sf_open(At("six.wav").c_str(), SFM_WRITE, &six));
    const auto before = Files();
    struct Case {
        std::vector<std::string> args;
        int code;
    };
    const Case cases[] = {
        {{"restore", At("in.wav"), At("kept.wav")}, 4},
        {{"restore", At("in.wav"), dir.string() + "/./in.wav", "--force"}, 4},
        {{"restore", At("missing.wav"), At("out.wav")}, 3},
        {{"restore", At("kept.wav"), At("out.wav")}, 3},
        {{"restore", At("six.wav"), At("out.wav")}, 3},
        {{"restore", At("in.wav"), At("out.wav"), "--profile", At("bad.profile")}, 3},
        {{"restore", At("in.wav"), At("out.wav"), "--amount", "2"}, 2},
        {{"restore", At("in.wav"), At("out.flac"), "--format", "double"}, 2},
        {{"restore", At("in.wav"), At("out.wav"), "--train", "0-9"}, 2},
        {{"restore", At("in.wav"), At("out.wav"), "--train", "0-0.1"}, 2},
        {{"restore", At("in.wav"), At("nofolder/out.wav")}, 4},
    };
    for (const Case& c : cases) {
        const RunResult run = Sonavel(c.args);
        EXPECT_EQ(run.code, c.code) << c.args[2] << " " << run.err;
        EXPECT_TRUE(run.err.starts_with("sonavel: ") && run.err.find('\n') == run.err.size() - 1)
            << run.err;
        EXPECT_EQ(Files(), before) << run.err;
    }
    EXPECT_EQ(ReadText(At("kept.wav")), "precious");

    const RunResult full = Sonavel({"restore", At("in.wav"), At("out.wav")}, 20000);
    EXPECT_EQ(full.code, 4) << full.err;
    EXPECT_EQ(Files(), before);
}

TEST_F(Cli, InfoReportsEachStagesLatencyAndTheirSum) {
    for (const auto& [rate, declip] : {std::pair{"44100", 1394}, std::pair{"48000", 1472}}) {
        const RunResult run = Sonavel({"info", "--json", "--rate", rate});
        ASSERT_EQ(run.code, 0) << run.err;
        const auto number = [&](const std::string& key) {
            const std::size_t at = run.out.find("\"" + key + "\":");
            return at == std::string::npos ? -1 : std::stoi(run.out.substr(at + key.size() + 3));
        };
        EXPECT_EQ(number("framing"), 4095);
        EXPECT_EQ(number("declip"), declip);
        EXPECT_EQ(number("latency"),
                  number("framing") + number("declip") + number("declick") + number("denoise"));
        // The default reducer is the high-quality one; standard is the filter's.
        EXPECT_NE(run.out.find("\"quality\":\"high\",\"qualities\":{\"standard\":{\"stages\":"),
                  std::string::npos);
        EXPECT_EQ(number("denoise"), 2560);
        EXPECT_NE(run.out.find("{\"name\":\"Reduction Amount\",\"option\":\"--amount V\","
                               "\"type\":\"float\",\"min\":0,\"max\":1,\"default\":0.5}"),
                  std::string::npos);
    }
}

// SNR of the restored channels against the clean music over [from, to) seconds.
double SnrDb(const Audio& out, const StereoSignal& clean, double from, double to) {
    double signal = 0.0, error = 0.0;
    for (auto i = std::size_t(from * clean.rate); i < std::size_t(to * clean.rate); ++i) {
        for (int c = 0; c < 2; ++c) {
            const double x = c == 0 ? clean.left[i] : clean.right[i];
            signal += x * x;
            error += std::pow(out.samples[2 * i + std::size_t(c)] - x, 2);
        }
    }
    return 10.0 * std::log10(signal / error);
}

// Trained on the same lead-in of hiss, the high-quality reducer leaves the music closer
// to the clean original than the filter's.
TEST_F(Cli, TheHighQualityReducerRemovesMoreHissThanTheStandardOne) {
    const StereoSignal clean = SynthesiseMusic(1.0, 3.0, 44100, 0.5f);
    StereoSignal noisy = clean;
    AddHiss(noisy, -30.0f, 5);
    Write(At("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, noisy);
    double snr[2] = {};
    for (const int high : {0, 1}) {
        const RunResult run =
            Sonavel({"restore", At("in.wav"), At("out.wav"), "--train", "0-1", "--no-declip",
                     "--no-declick", "--force", "--quality", high ? "high" : "standard"});
        ASSERT_EQ(run.code, 0) << run.err;
        snr[high] = SnrDb(Read(At("out.wav")), clean, 1.2, 3.7);
    }
    const double before = SnrDb(Read(At("in.wav")), clean, 1.2, 3.7);
    // Measured: 13.4 dB before, 17.3 dB standard, 25.3 dB high.
    EXPECT_GT(snr[0], before + 2.5);
    EXPECT_GT(snr[1], snr[0] + 5.0);
}

// Music, 1.5 s of hiss alone, music: the pause is found and named on stderr, and the
// default does what --train auto does. Without a pause the floor is estimated.
TEST_F(Cli, TrainAutoFindsAPlantedNoiseStretch) {
    StereoSignal music = SynthesiseMusic(0.0, 2.0, 44100, 0.5f);
    const StereoSignal pause = SynthesiseMusic(1.5, 0.0, 44100, 0.5f);
    StereoSignal planted = music;
    for (const StereoSignal* part : {&pause, static_cast<const StereoSignal*>(&music)}) {
        planted.left.insert(planted.left.end(), part->left.begin(), part->left.end());
        planted.right.insert(planted.right.end(), part->right.begin(), part->right.end());
    }
    AddHiss(planted, -40.0f, 6);
    Write(At("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, planted);
    const RunResult found = Sonavel({"restore", At("in.wav"), At("a.wav")});
    ASSERT_EQ(found.code, 0) << found.err;
    double first = 0.0, last = 0.0;
    ASSERT_EQ(
        std::sscanf(found.err.c_str(), "sonavel: learnt the noise from 0:%lf-0:%lf", &first, &last),
        2)
        << found.err;
    EXPECT_GE(first, 2.0);
    EXPECT_LE(last, 3.5);
    EXPECT_GT(last - first, 1.0);
    const RunResult told = Sonavel({"restore", At("in.wav"), At("b.wav"), "--train", "auto"});
    EXPECT_EQ(told.err, found.err);
    EXPECT_EQ(Read(At("a.wav")).samples, Read(At("b.wav")).samples);

    AddHiss(music, -40.0f, 7);
    Write(At("music.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, music);
    const RunResult floor = Sonavel({"restore", At("music.wav"), At("c.wav")});
    EXPECT_EQ(floor.err, "sonavel: no noise-only stretch found; the noise floor was estimated "
                         "from the quietest moments of each band\n");
    EXPECT_EQ(Sonavel({"restore", At("music.wav"), At("d.wav"), "--quiet"}).err, "");
}

} // namespace
