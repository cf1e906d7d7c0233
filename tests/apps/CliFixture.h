#pragma once
// The sonavel binary as a user runs it: a fresh folder per test, runs with their exit
// code and output, and audio files written and read through libsndfile.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sndfile.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/Signals.h"
#include "tests/TestFolder.h"

namespace cli_test {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

struct RunResult {
    int code;
    std::string out, err;
};

struct Audio {
    SF_INFO info{};
    std::vector<double> samples; // interleaved
};

inline std::string ReadText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class Cli : public ::testing::Test {
protected:
    std::string At(const std::string& name) const { return (dir / name).string(); }

    // Starts `program` (found on the PATH) or sonavel; `fileSizeLimit` > 0 makes writes
    // beyond it fail as on a full disk.
    pid_t Start(const Args& args, rlim_t fileSizeLimit = 0,
                const std::string& program = SONAVEL_BINARY) const {
        const pid_t pid = fork();
        if (pid != 0) return pid;
        if (fileSizeLimit > 0) {
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_IGN);
        }
        dup2(open(At("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(At("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execvp(program.c_str(), argv.data());
        _exit(127);
    }

    RunResult Finish(pid_t pid) const {
        int status = 0;
        waitpid(pid, &status, 0);
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        RunResult run{code, ReadText(At("stdout")), ReadText(At("stderr"))};
        fs::remove(At("stdout"));
        fs::remove(At("stderr"));
        return run;
    }

    RunResult Sonavel(const Args& args, rlim_t fileSizeLimit = 0) const {
        return Finish(Start(args, fileSizeLimit));
    }

    // A run that must succeed; a failure ends the test with the program's reason.
    RunResult Ok(const Args& args, const std::string& program = SONAVEL_BINARY) const {
        const RunResult run = Finish(Start(args, 0, program));
        if (run.code != 0)
            throw std::runtime_error(program + " " + args[0] + " exited with " +
                                     std::to_string(run.code) + ": " + run.err);
        return run;
    }

    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TestFolder folder;
    const fs::path& dir = folder.path;
};

// Music with crackle, hiss and clipping after `leadIn` seconds of hiss alone, the kind of
// input the effect is for.
inline StereoSignal Damaged(double seconds, std::uint32_t rate = 44100, double leadIn = 0.5) {
    StereoSignal s = SynthesiseMusic(leadIn, seconds - leadIn, rate, 1.2f);
    AddCrackle(s, 20.0, 7);
    AddHiss(s, -50.0f, 8);
    Clip(s, 1.0f);
    return s;
}

inline void Write(const std::string& path, const StereoSignal& s,
                  int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT, int channels = 2) {
    SF_INFO info{0, int(s.rate), channels, format, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<double> frames;
    for (std::size_t i = 0; i < s.Frames(); ++i) {
        frames.push_back(s.left[i]);
        if (channels == 2) frames.push_back(s.right[i]);
    }
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_writef_double(file, frames.data(), sf_count_t(s.Frames()));
    sf_close(file);
}

inline Audio Read(const std::string& path) {
    Audio audio;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &audio.info);
    if (file == nullptr) return audio;
    audio.samples.resize(std::size_t(audio.info.frames * audio.info.channels));
    sf_readf_double(file, audio.samples.data(), audio.info.frames);
    sf_close(file);
    return audio;
}

inline double Rms(const std::vector<double>& x) {
    return std::sqrt(std::inner_product(x.begin(), x.end(), x.begin(), 0.0) / double(x.size()));
}

// The largest difference from sample `from` on; infinite when the lengths differ.
inline double LargestDifference(const Audio& a, const Audio& b, std::size_t from = 0) {
    if (a.samples.size() != b.samples.size()) return INFINITY;
    double largest = 0.0;
    for (std::size_t i = from; i < a.samples.size(); ++i)
        largest = std::max(largest, std::fabs(a.samples[i] - b.samples[i]));
    return largest;
}

} // namespace cli_test
