// The sonavel binary as a user runs it, on files made here.

#include <cstring>

#include "apps/HostPlugin.h"
#include "tests/apps/CliFixture.h"

namespace {

using namespace cli_test;

// Every format comes out with the input's length, channels and format. With every stage
// off the output is the input, aligned, within one step of the format: the engine's
// anti-denormal offset can move a sample across an integer step, and the engine's float
// holds 24 bits, so 32-bit samples come back within its precision; Vorbis is lossy, yet
// far closer than a misaligned file would be. Files shorter than the latency come back
// whole from the flushed tail.
TEST_F(Cli, EveryFormatComesOutWithTheInputsLengthAndFormatAndAlignedWithEveryStageOff) {
    const StereoSignal music = Damaged(2.0);
    const struct {
        int format;
        const char* ext;
        double step;
    } formats[] = {{SF_FORMAT_WAV | SF_FORMAT_PCM_16, "wav", 0x1p-15},
                   {SF_FORMAT_WAV | SF_FORMAT_PCM_24, "wav", 0x1p-23},
                   {SF_FORMAT_WAV | SF_FORMAT_PCM_32, "wav", 0x1p-24},
                   {SF_FORMAT_WAV | SF_FORMAT_FLOAT, "wav", 1e-6},
                   {SF_FORMAT_WAV | SF_FORMAT_DOUBLE, "wav", 1e-6},
                   {SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, "wav", 0x1p-23},
                   {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "flac", 0x1p-15},
                   {SF_FORMAT_AIFF | SF_FORMAT_PCM_24, "aiff", 0x1p-23},
                   {SF_FORMAT_OGG | SF_FORMAT_VORBIS, "ogg", 0.2}, // measured: 0.093
                   {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, "wav", 0x1p-7}};
    for (const auto& [format, ext, step] : formats) {
        for (const int channels : {1, 2}) {
            SCOPED_TRACE(std::to_string(format) + ext + " x" + std::to_string(channels));
            const std::string in = At(std::string("in.") + ext), out = At(std::string("o.") + ext);
            Write(in, music, format, channels);
            EXPECT_EQ(Ok({"restore", in, out, "--quiet", "--force"}).err, "");
            const Audio input = Read(in), output = Read(out);
            EXPECT_EQ(output.info.frames, input.info.frames);
            EXPECT_EQ(output.info.channels, channels);
            EXPECT_EQ(output.info.format, format);
            // The declipper leaves 6 dB of headroom; restoring removes little energy.
            EXPECT_NEAR(20 * std::log10(Rms(output.samples) / Rms(input.samples)), -6.0, 0.5);
            Ok({"restore", in, out, "--no-declip", "--no-declick", "--no-denoise", "--force"});
            EXPECT_LE(LargestDifference(Read(out), input), step);
        }
    }
    for (const std::size_t frames : {0, 1, 4410}) {
        StereoSignal part = music;
        part.left.resize(frames);
        part.right.resize(frames);
        Write(At("short.wav"), part);
        Ok({"restore", At("short.wav"), At("o.wav"), "--no-declip", "--no-declick", "--no-denoise",
            "--force"});
        EXPECT_LE(LargestDifference(Read(At("o.wav")), Read(At("short.wav"))), 1e-6) << frames;
    }
}

TEST_F(Cli, MonoProcessingGivesTwoEqualChannels) {
    Write(At("in.wav"), Damaged(1.0));
    Ok({"restore", At("in.wav"), At("out.wav"), "--mono"});
    const Audio out = Read(At("out.wav"));
    ASSERT_EQ(out.info.channels, 2);
    for (std::size_t i = 0; i < out.samples.size(); i += 2)
        ASSERT_EQ(out.samples[i], out.samples[i + 1]) << i;
    EXPECT_GT(Rms(out.samples), 0.05);
}

// Restored / declip gain - noise-only = input. Where clicks are rebuilt the
// interpolation's solve magnifies float rounding, so with declicking the match is
// judged on the RMS.
TEST_F(Cli, RestoredOverDeclipGainMinusNoiseOnlyGivesBackTheInput) {
    Write(At("in.wav"), Damaged(3.0));
    for (const bool declick : {false, true}) {
        Args args{"restore", At("in.wav"), At("restored.wav"), "--no-denoise", "--force"};
        if (!declick) args.push_back("--no-declick");
        Ok(args);
        args[2] = At("noise.wav");
        args.push_back("--noise-only");
        Ok(args);
        const Audio in = Read(At("in.wav")), restored = Read(At("restored.wav")),
                    noise = Read(At("noise.wav"));
        const double makeUp = std::pow(10.0, 6.0 / 20.0);
        double largest = 0.0, squares = 0.0, removed = 0.0;
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

// A profile is the plug-in's saved state and restores as training on the same noise
// does; non-finite frames among the noise are left out of what is learnt.
TEST_F(Cli, AProfileIsThePluginsSavedStateAndRestoresLikeTraining) {
    StereoSignal noise = SynthesiseMusic(2.0, 0.0, 44100, 0.0f);
    AddHiss(noise, -40.0f, 3);
    StereoSignal spoilt = noise;
    for (const std::size_t at : {std::size_t(100), std::size_t(30000), std::size_t(60000)}) {
        spoilt.left.insert(spoilt.left.begin() + std::ptrdiff_t(at), 3, std::nanf(""));
        spoilt.right.insert(spoilt.right.begin() + std::ptrdiff_t(at), 3, 0.1f);
    }
    Write(At("noise.wav"), noise);
    Write(At("spoilt.wav"), spoilt);
    Write(At("in.wav"), Damaged(2.0));
    Ok({"train", At("noise.wav"), At("noise.profile")});
    const RunResult trained = Ok({"train", At("spoilt.wav"), At("spoilt.profile")});
    EXPECT_NE(trained.err.find("9 non-finite samples"), std::string::npos) << trained.err;
    const std::string profile = ReadText(At("noise.profile"));
    EXPECT_TRUE(ReadText(At("spoilt.profile")) == profile);

    // The plug-in takes the file as its state and saves the same bytes again.
    const std::vector<std::uint8_t> bytes(profile.begin(), profile.end());
    HostPlugin plugin;
    ASSERT_TRUE(plugin.LoadState(bytes, true));
    EXPECT_EQ(plugin.SaveState(), bytes);
    EXPECT_NE(plugin.SaveState(), HostPlugin().SaveState());

    Ok({"restore", At("in.wav"), At("a.wav"), "--profile", At("noise.profile")});
    Ok({"restore", At("in.wav"), At("b.wav"), "--train-file", At("spoilt.wav")});
    // Float files carry a time stamp in their header; the samples must match.
    EXPECT_TRUE(Read(At("a.wav")).samples == Read(At("b.wav")).samples);
}

// Every refusal comes before any work, with a one-line reason and its exit code, and
// leaves the folder as it was: no output, no temporary, the existing file untouched.
TEST_F(Cli, RefusalsExplainThemselvesAndLeaveNothing) {
    Write(At("in.wav"), Damaged(1.0), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    Write(At("fast.wav"), Damaged(0.5, 768000));
    Write(At("six.wav"), StereoSignal{}, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 6);
    std::ofstream(At("kept.wav")) << "precious";
    std::ofstream(At("bad.profile")) << "not a profile";
    fs::create_directory(At("folder"));
    Ok({"train", At("in.wav"), At("good.profile")});
    std::string bytes = ReadText(At("good.profile"));
    const float nan = std::nanf("");
    std::memcpy(&bytes[bytes.size() - 4000], &nan, sizeof nan);
    std::ofstream(At("nan.profile"), std::ios::binary) << bytes;
    const auto before = Files();
    const std::string in = At("in.wav"), out = At("out.wav");
    const struct {
        Args args;
        int code;
        const char* says;
    } cases[] = {{{in, At("kept.wav")}, 4, "exists"},
                 {{in, dir.string() + "/./in.wav", "--force"}, 4, ""},
                 {{At("missing.wav"), out}, 3, ""},
                 {{At("kept.wav"), out}, 3, ""},
                 {{At("six.wav"), out}, 3, ""},
                 {{in, out, "--profile", At("bad.profile")}, 3, "not a Sonavel profile"},
                 {{in, out, "--profile", At("folder")}, 3, "not a Sonavel profile"},
                 {{in, out, "--profile", At("nan.profile")}, 3, "not a Sonavel profile"},
                 {{in, out, "--amount", "2"}, 2, ""},
                 {{in, At("out.flac"), "--format", "double"}, 2, ""},
                 {{in, out, "--train", "0-9"}, 2, "outside"},
                 {{in, out, "--train", "0-0.1"}, 2, ""},
                 {{in, out, "--train", "1e15-"}, 2, "outside"},
                 {{in, out, "--train", "0-1e300"}, 2, "outside"},
                 {{in, out, "--train", "1e308-"}, 2, "outside"},
                 {{At("fast.wav"), At("out.flac"), "--train", "0-0.5"}, 2, "768000 Hz"},
                 {{in, At("nofolder/out.wav")}, 4, ""}};
    for (const auto& c : cases) {
        Args args{"restore"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult run = Sonavel(args);
        EXPECT_EQ(run.code, c.code) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_TRUE(run.err.starts_with("sonavel: ") && run.err.find('\n') == run.err.size() - 1)
            << run.err;
        EXPECT_EQ(Files(), before) << run.err;
    }
    EXPECT_EQ(ReadText(At("kept.wav")), "precious");

    const RunResult full = Sonavel({"restore", in, out}, 20000);
    EXPECT_EQ(full.code, 4) << full.err;
    EXPECT_EQ(Files(), before);
}

// SNR of the restored channels against the clean music over [from, to) seconds.
double SnrDb(const Audio& out, const StereoSignal& clean, double from, double to) {
    double signal = 0.0, error = 0.0;
    for (auto i = 2 * std::size_t(from * clean.rate); i < 2 * std::size_t(to * clean.rate); ++i) {
        const double x = i % 2 == 0 ? clean.left[i / 2] : clean.right[i / 2];
        signal += x * x;
        error += std::pow(out.samples[i] - x, 2);
    }
    return 10.0 * std::log10(signal / error);
}

// Trained on the same lead-in of hiss, the high-quality reducer leaves the music closer
// to the clean original than the filter's.
TEST_F(Cli, TheHighQualityReducerRemovesMoreHissThanTheStandardOne) {
    const StereoSignal clean = SynthesiseMusic(1.0, 3.0, 44100, 0.5f);
    StereoSignal noisy = clean;
    AddHiss(noisy, -30.0f, 5);
    Write(At("in.wav"), noisy);
    double snr[2] = {};
    for (const int high : {0, 1}) {
        Ok({"restore", At("in.wav"), At("out.wav"), "--train", "0-1", "--no-declip", "--no-declick",
            "--force", "--quality", high ? "high" : "standard"});
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
    Write(At("in.wav"), planted);
    const RunResult found = Ok({"restore", At("in.wav"), At("a.wav")});
    double first = 0.0, last = 0.0;
    ASSERT_EQ(
        std::sscanf(found.err.c_str(), "sonavel: learnt the noise from 0:%lf-0:%lf", &first, &last),
        2)
        << found.err;
    EXPECT_GE(first, 2.0);
    EXPECT_LE(last, 3.5);
    EXPECT_GT(last - first, 1.0);
    EXPECT_EQ(Ok({"restore", At("in.wav"), At("b.wav"), "--train", "auto"}).err, found.err);
    EXPECT_EQ(Read(At("a.wav")).samples, Read(At("b.wav")).samples);

    AddHiss(music, -40.0f, 7);
    Write(At("music.wav"), music);
    EXPECT_EQ(Ok({"restore", At("music.wav"), At("c.wav")}).err,
              "sonavel: no noise-only stretch found; the noise floor was estimated "
              "from the quietest moments of each band\n");
    EXPECT_EQ(Ok({"restore", At("music.wav"), At("d.wav"), "--quiet"}).err, "");
}

} // namespace
