// The LV2 plug-in's run() against the sonavel command line on the same audio: 60 s of
// synthesised stereo music at 44.1 kHz with crackle, hiss and clipping, all three stages
// on with the noise learnt from its first 2 s. run() is timed in host blocks of 64, 512
// and 4096 frames on this thread's CPU time; sonavel restore on its CPU time as a whole
// program, file reading and writing and its 2 s training pass included. Figures are "times real
// time per channel": audio seconds times channels over processing seconds, on one core (./x bench
// pins it).

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sndfile.h>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "bench/BenchWave.h"
#include "support/Signals.h"
#include "lv2/Lv2Effect.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t rate = 44100;
constexpr double seconds = 60.0;
constexpr double leadIn = 2.0;
constexpr int channels = 2;

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

StereoSignal DamagedMusic() {
    StereoSignal s = SynthesiseMusic(leadIn, seconds - leadIn, rate, 1.3f);
    AddCrackle(s, 25.0, 1);
    AddHiss(s, -45.0f, 2);
    Clip(s, 1.0f);
    return s;
}

// Learns the noise through the Train port over the lead-in, then times the whole signal.
double RunPlugin(const StereoSignal& s, std::uint32_t block) {
    Lv2::Effect effect(channels, rate);
    std::vector<float> inL(block), inR(block), outL(block), outR(block);
    float controls[Lv2::controlCount] = {0.5f, 0.5f, 0.5f, 1, 1, 1, 0, 0, 1, 0, 0};
    effect.ConnectPort(0, inL.data());
    effect.ConnectPort(1, inR.data());
    effect.ConnectPort(2, outL.data());
    effect.ConnectPort(3, outR.data());
    for (std::uint32_t c = 0; c < Lv2::controlCount; ++c)
        effect.ConnectPort(4 + c, &controls[c]);
    effect.Activate();
    const auto pass = [&](std::size_t from, std::size_t to) {
        for (std::size_t at = from; at < to; at += block) {
            const auto frames = std::uint32_t(std::min<std::size_t>(block, to - at));
            std::copy_n(s.left.begin() + std::ptrdiff_t(at), frames, inL.begin());
            std::copy_n(s.right.begin() + std::ptrdiff_t(at), frames, inR.begin());
            effect.Run(frames);
        }
    };
    controls[std::size_t(Lv2::Control::train)] = 1;
    pass(0, std::size_t(leadIn * rate));
    controls[std::size_t(Lv2::Control::train)] = 0;
    effect.Deactivate();
    effect.Activate();
    const double start = ThreadSeconds();
    pass(0, s.Frames());
    return ThreadSeconds() - start;
}

double RunCommandLine(const fs::path& dir, const StereoSignal& s) {
    const fs::path in = dir / "music.wav";
    if (!WriteStereoWave(in, s, 1, SF_FORMAT_FLOAT)) return 0;
    const std::string command = std::string(SONAVEL_BINARY) + " restore " + in.string() + " " +
                                (dir / "out.wav").string() + " --train 0-2 --quiet --force";
    if (std::system(command.c_str()) != 0) return 0;
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto secondsOf = [](const timeval& t) {
        return double(t.tv_sec) + 1e-6 * double(t.tv_usec);
    };
    return secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
}

void Row(const char* what, double took) {
    if (took <= 0) return void(std::printf("  %-34s failed\n", what));
    std::printf("  %-34s %7.2f s  %6.0fx real time per channel\n", what, took,
                seconds * channels / took);
}

} // namespace

int main() {
    char pattern[] = "/tmp/bench_lv2-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const fs::path dir = pattern;
    const StereoSignal music = DamagedMusic();
    std::printf("60 s stereo 44.1 kHz, declip + declick + trained noise reduction\n");
    for (const std::uint32_t block : {64u, 512u, 4096u}) {
        const std::string what = "LV2 run(), " + std::to_string(block) + "-frame blocks";
        Row(what.c_str(), RunPlugin(music, block));
    }
    Row("sonavel restore (whole program)", RunCommandLine(dir, music));
    fs::remove_all(dir);
    return 0;
}
