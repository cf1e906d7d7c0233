// The sonavel binary on hostile files, races and signals, and at the end of a file.

#include <chrono>
#include <cstring>
#include <thread>

#include "apps/Profile.h"
#include "tests/apps/CliFixture.h"

namespace {

using namespace cli_test;

bool TemporaryExists(const std::vector<std::string>& files, const std::string& output) {
    return std::any_of(files.begin(), files.end(), [&](const std::string& name) {
        return name.starts_with("." + output.substr(0, 8));
    });
}

class Robust : public Cli {
protected:
    // Starts a run long enough to be caught at work, and waits until it is.
    pid_t StartLongRun(const std::string& output) {
        StereoSignal noise = SynthesiseMusic(10.0, 0.0, 44100, 0.0f);
        AddHiss(noise, -20.0f, 4);
        Write(At("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, noise);
        const pid_t pid = Start({"restore", At("in.wav"), At(output), "--quiet"});
        for (int wait = 0; wait < 5000 && !TemporaryExists(Files(), output); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return pid;
    }

    // Largest difference between input and output over the last `count` frames, declick
    // alone, for a file that ends in the middle of the signal.
    double EndError(const StereoSignal& signal, std::size_t count) {
        Write(At("end.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, signal);
        const RunResult run = Sonavel({"restore", At("end.wav"), At("end-out.wav"), "--no-declip",
                                       "--no-denoise", "--force"});
        EXPECT_EQ(run.code, 0) << run.err;
        const Audio in = Read(At("end.wav"));
        const Audio out = Read(At("end-out.wav"));
        EXPECT_EQ(out.samples.size(), in.samples.size());
        double largest = 0.0;
        for (std::size_t i = in.samples.size() - 2 * count; i < in.samples.size(); ++i)
            largest = std::max(largest, std::fabs(out.samples[i] - in.samples[i]));
        return largest;
    }
};

StereoSignal Tone(std::size_t frames, double hz, float level) {
    StereoSignal s;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = 2.0 * M_PI * hz * double(i) / 44100.0;
        const float x = level * float(std::sin(t) + 0.6 * std::sin(2.01 * t));
        s.left.push_back(x);
        s.right.push_back(0.7f * x);
    }
    return s;
}

TEST_F(Robust, TheFinalStepNeverReplacesAFileThatAppearedMeanwhile) {
    const pid_t pid = StartLongRun("out.wav");
    std::ofstream(At("out.wav")) << "precious";
    const RunResult run = Finish(pid);
    EXPECT_EQ(run.code, 4) << run.err;
    EXPECT_NE(run.err.find("exists"), std::string::npos) << run.err;
    EXPECT_EQ(ReadText(At("out.wav")), "precious");
    EXPECT_EQ(Files(), (std::vector<std::string>{"in.wav", "out.wav"}));
}

// An interrupted run leaves nothing, and a second signal does not silence its reason.
TEST_F(Robust, AnInterruptedRunLeavesNothingAndSaysWhyEvenAfterASecondSignal) {
    for (const int second : {0, SIGINT, SIGTERM}) {
        const pid_t pid = StartLongRun("out.wav");
        kill(pid, SIGINT);
        if (second != 0) kill(pid, second);
        const RunResult run = Finish(pid);
        // The second signal may come after the first has already ended the run.
        ASSERT_TRUE(run.code == 128 + SIGINT || run.code == 128 + second) << run.code;
        EXPECT_EQ(run.err, std::string("sonavel: stopped by ") + strsignal(run.code - 128) + "\n");
        EXPECT_EQ(Files(), std::vector<std::string>{"in.wav"}) << "second signal " << second;
    }
}

TEST_F(Robust, BadProfilesRangesAndRatesAreRefusedBeforeAnyWork) {
    Write(At("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, Damaged(1.5));
    StereoSignal fast = Damaged(0.5, 768000);
    Write(At("fast.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, fast);
    fs::create_directory(At("folder"));
    ASSERT_EQ(Sonavel({"train", At("in.wav"), At("good.profile"), "--range", "0-1.5"}).code, 0);
    std::string bytes = ReadText(At("good.profile"));
    const float nan = std::nanf("");
    std::memcpy(&bytes[bytes.size() - 4000], &nan, sizeof nan);
    std::ofstream(At("nan.profile"), std::ios::binary) << bytes;
    const auto before = Files();
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* says;
    };
    const Case cases[] = {
        {{"--profile", At("folder")}, 3, "not a Sonavel profile"},
        {{"--profile", At("nan.profile")}, 3, "not a Sonavel profile"},
        {{"--train", "1e15-"}, 2, "outside"},
        {{"--train", "0-1e300"}, 2, "outside"},
        {{"--train", "1e308-"}, 2, "outside"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"restore", At("in.wav"), At("out.wav")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult run = Sonavel(args);
        EXPECT_EQ(run.code, c.code) << c.args[1] << ": " << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(Files(), before);
    }
    const RunResult flac = Sonavel({"restore", At("fast.wav"), At("out.flac"), "--train", "0-0.5"});
    EXPECT_EQ(flac.code, 2) << flac.err;
    EXPECT_NE(flac.err.find("768000 Hz"), std::string::npos) << flac.err;
    EXPECT_EQ(Files(), before);
}

TEST_F(Robust, LongNamesTruncatedFilesAndDemoFoldersAreHandled) {
    Write(At("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, Damaged(1.0));
    const std::string longName = std::string(245, 'n') + ".wav";
    const RunResult named = Sonavel({"restore", At("in.wav"), At(longName), "--quiet"});
    EXPECT_EQ(named.code, 0) << named.err;
    EXPECT_EQ(Read(At(longName)).info.frames, 44100);

    // Half of the audio the data chunk announces is missing.
    const std::string whole = ReadText(At("in.wav"));
    std::ofstream(At("cut.wav"), std::ios::binary) << whole.substr(0, whole.size() - 2 * 22050);
    const RunResult cut = Sonavel({"restore", At("cut.wav"), At("cut-out.wav"), "--quiet"});
    EXPECT_EQ(cut.code, 0) << cut.err;
    EXPECT_EQ(cut.err, "sonavel: " + At("cut.wav") +
                           " is truncated: its header announces 1.00 s and it holds 0.75 s; "
                           "what is there is read\n");
    EXPECT_EQ(Read(At("cut-out.wav")).info.frames, 33075);

    fs::create_directory(At("demo"));
    std::ofstream(At("demo/clean.wav")) << "mine";
    const RunResult demo = Sonavel({"demo", At("demo")});
    EXPECT_EQ(demo.code, 4) << demo.err;
    EXPECT_NE(demo.err.find("clean.wav exists (use --force"), std::string::npos) << demo.err;
    EXPECT_EQ(ReadText(At("demo/clean.wav")), "mine");
}

// A NaN in the first channel at 0.5 s, an infinity in the second at 0.75 s and a
// NaN at 1.0 s.
StereoSignal WithNonFinite(StereoSignal s) {
    s.left[22050] = std::nanf("");
    s.right[33075] = INFINITY;
    s.left[44100] = -std::nanf("");
    return s;
}

TEST_F(Robust, NonFiniteInputIsReportedOnceAndLeftOutOfTraining) {
    Write(At("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, WithNonFinite(Damaged(1.5)));
    const RunResult run = Sonavel({"restore", At("in.wav"), At("out.wav"), "--train", "0-1.5"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "sonavel: " + At("in.wav") +
                           ": 3 non-finite samples (NaN or infinite), the first at 0.500 s "
                           "(frame 22050), treated as dropouts\n");
    const Audio out = Read(At("out.wav"));
    EXPECT_TRUE(std::all_of(out.samples.begin(), out.samples.end(),
                            [](double x) { return std::isfinite(x); }));

    // Training on noise with non-finite frames among it learns what it learns without
    // them, for a profile and for --train-file alike.
    StereoSignal noise = SynthesiseMusic(2.0, 0.0, 44100, 0.0f);
    AddHiss(noise, -40.0f, 3);
    StereoSignal spoilt = noise;
    for (const std::size_t at : {std::size_t(100), std::size_t(30000), std::size_t(60000)}) {
        spoilt.left.insert(spoilt.left.begin() + std::ptrdiff_t(at), 3, std::nanf(""));
        spoilt.right.insert(spoilt.right.begin() + std::ptrdiff_t(at), 3, 0.1f);
    }
    Write(At("noise.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, noise);
    Write(At("spoilt.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, spoilt);
    ASSERT_EQ(Sonavel({"train", At("noise.wav"), At("clean.profile")}).code, 0);
    const RunResult trained = Sonavel({"train", At("spoilt.wav"), At("spoilt.profile")});
    ASSERT_EQ(trained.code, 0) << trained.err;
    EXPECT_NE(trained.err.find("9 non-finite samples"), std::string::npos) << trained.err;
    const std::string profile = ReadText(At("spoilt.profile"));
    EXPECT_TRUE(profile == ReadText(At("clean.profile")));
    EXPECT_TRUE(LevelsAreFinite({profile.begin(), profile.end()}));
    Write(At("music.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, Damaged(1.0));
    ASSERT_EQ(
        Sonavel({"restore", At("music.wav"), At("a.wav"), "--train-file", At("noise.wav")}).code,
        0);
    ASSERT_EQ(
        Sonavel({"restore", At("music.wav"), At("b.wav"), "--train-file", At("spoilt.wav")}).code,
        0);
    // Float files carry a time stamp in their header; the samples must match.
    EXPECT_TRUE(Read(At("a.wav")).samples == Read(At("b.wav")).samples);
}

// With silence after the end, declicking rewrote up to 0.39 of full scale in the last
// 100 frames of these cuts; the continuation leaves them as they are.
TEST_F(Robust, AFileThatEndsMidSignalKeepsItsLastSamples) {
    const StereoSignal music = SynthesiseMusic(0.0, 3.0, 44100, 0.9f);
    double largest = 0.0;
    for (const std::size_t cut : {20011, 35849, 51687, 91282, 115039}) {
        StereoSignal part = music;
        part.left.resize(cut);
        part.right.resize(cut);
        AddHiss(part, -60.0f, 5);
        largest = std::max(largest, EndError(part, 100));
    }
    EXPECT_LT(largest, 1e-3);
    EXPECT_LT(EndError(Tone(44137, 3000.0, 0.5f), 100), 1e-3);
}

} // namespace
