// The sonavel binary on hostile files, races and signals, and at the end of a file.

#include <chrono>
#include <cstring>
#include <thread>

#include "tests/apps/CliFixture.h"

namespace {

using namespace cli_test;

class Robust : public Cli {
protected:
    // Starts a restore to out.wav long enough to be caught at work, and waits until its
    // temporary file is there.
    pid_t StartLongRun() {
        StereoSignal noise = SynthesiseMusic(10.0, 0.0, 44100, 0.0f);
        AddHiss(noise, -20.0f, 4);
        Write(At("in.wav"), noise, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        const pid_t pid = Start({"restore", At("in.wav"), At("out.wav"), "--quiet"});
        const auto working = [&] {
            return std::ranges::any_of(
                Files(), [](const std::string& name) { return name.starts_with(".out.wav"); });
        };
        for (int wait = 0; wait < 5000 && !working(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return pid;
    }

    // Largest difference between input and output over the last 100 frames, declick
    // alone, for a file that ends in the middle of the signal.
    double EndError(const StereoSignal& signal) {
        Write(At("end.wav"), signal);
        Ok({"restore", At("end.wav"), At("end-out.wav"), "--no-declip", "--no-denoise", "--force"});
        return LargestDifference(Read(At("end-out.wav")), Read(At("end.wav")),
                                 2 * signal.Frames() - 200);
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
    const pid_t pid = StartLongRun();
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
        const pid_t pid = StartLongRun();
        kill(pid, SIGINT);
        if (second != 0) kill(pid, second);
        const RunResult run = Finish(pid);
        // The second signal may come after the first has already ended the run.
        ASSERT_TRUE(run.code == 128 + SIGINT || run.code == 128 + second) << run.code;
        EXPECT_EQ(run.err, std::string("sonavel: stopped by ") + strsignal(run.code - 128) + "\n");
        EXPECT_EQ(Files(), std::vector<std::string>{"in.wav"}) << "second signal " << second;
    }
}

TEST_F(Robust, LongNamesTruncatedFilesAndDemoFoldersAreHandled) {
    Write(At("in.wav"), Damaged(1.0), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string longName = std::string(245, 'n') + ".wav";
    Ok({"restore", At("in.wav"), At(longName), "--quiet"});
    EXPECT_EQ(Read(At(longName)).info.frames, 44100);

    // Half of the audio the data chunk announces is missing.
    const std::string whole = ReadText(At("in.wav"));
    std::ofstream(At("cut.wav"), std::ios::binary) << whole.substr(0, whole.size() - 2 * 22050);
    EXPECT_EQ(Ok({"restore", At("cut.wav"), At("cut-out.wav"), "--quiet"}).err,
              "sonavel: " + At("cut.wav") +
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

TEST_F(Robust, NonFiniteInputIsReportedOnceAndNeverReachesTheOutput) {
    // A NaN in the first channel at 0.5 s, an infinity in the second at 0.75 s and a
    // NaN at 1.0 s.
    StereoSignal damaged = Damaged(1.5);
    damaged.left[22050] = std::nanf("");
    damaged.right[33075] = INFINITY;
    damaged.left[44100] = -std::nanf("");
    Write(At("in.wav"), damaged);
    EXPECT_EQ(Ok({"restore", At("in.wav"), At("out.wav"), "--train", "0-1.5"}).err,
              "sonavel: " + At("in.wav") +
                  ": 3 non-finite samples (NaN or infinite), the first at 0.500 s "
                  "(frame 22050), treated as dropouts\n");
    const Audio out = Read(At("out.wav"));
    EXPECT_TRUE(std::ranges::all_of(out.samples, [](double x) { return std::isfinite(x); }));
}

// With silence after the end, declicking rewrote up to 0.39 of full scale in the last
// 100 frames of these cuts; the continuation leaves them as they are.
TEST_F(Robust, AFileThatEndsMidSignalKeepsItsLastSamples) {
    const StereoSignal music = SynthesiseMusic(0.0, 3.0, 44100, 0.9f);
    for (const std::size_t cut : {20011, 35849, 51687, 91282, 115039}) {
        StereoSignal part = music;
        part.left.resize(cut);
        part.right.resize(cut);
        AddHiss(part, -60.0f, 5);
        EXPECT_LT(EndError(part), 1e-3) << cut;
    }
    EXPECT_LT(EndError(Tone(44137, 3000.0, 0.5f)), 1e-3);
}

} // namespace
