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
#include <sndfile.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/Signals.h"
#include "tests/TestFolder.h"

namespace cli_test {

namespace fs = std::filesystem;

struct RunResult {
    int code;
    std::string out;
    std::string err;
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

    // Starts sonavel; `fileSizeLimit` > 0 makes writes beyond it fail as on a full disk.
    pid_t Start(const std::vector<std::string>& args, rlim_t fileSizeLimit = 0) const {
        const pid_t pid = fork();
        if (pid != 0) return pid;
        if (fileSizeLimit > 0) {
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_IGN);
        }
        dup2(open(At("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(At("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        std::vector<char*> argv{const_cast<char*>(SONAVEL_BINARY)};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(SONAVEL_BINARY, argv.data());
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

    RunResult Sonavel(const std::vector<std::string>& args, rlim_t fileSizeLimit = 0) const {
        return Finish(Start(args, fileSizeLimit));
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

// Music with crackle, hiss and clipping, the kind of input the effect is for.
inline StereoSignal Damaged(double seconds, std::uint32_t rate = 44100) {
    StereoSignal s = SynthesiseMusic(0.5, seconds - 0.5, rate, 1.2f);
    AddCrackle(s, 20.0, 7);
    AddHiss(s, -50.0f, 8);
    Clip(s, 1.0f);
    return s;
}

inline void Write(const std::string& path, int format, const StereoSignal& s, int channels = 2) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = int(s.rate);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<double> frames;
    for (std::size_t i = 0; i < s.Frames(); ++i) {
        frames.push_back(s.left[i]);
        for (int c = 1; c < channels; ++c)
            frames.push_back(s.right[i]);
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
    double sum = 0.0;
    for (const double v : x)
        sum += v * v;
    return std::sqrt(sum / double(x.size()));
}

} // namespace cli_test
