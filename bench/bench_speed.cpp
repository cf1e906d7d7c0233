// Speed per stream, in one run, every figure beside its target: 60 s of real stereo music
// at 44.1 kHz (a planetblupi track with hiss added at -50 dBFS), noise profile learnt from
// its first 2 s. Times are CPU seconds (this process, or a child and its descendants), the
// best of a few repeats, so that a busy machine disturbs them little; ./x bench pins the
// run to one core.
//   - the restoration chain in this process, with the standard and the high-quality reducer
//   - `sonavel restore` as a user runs it (its defaults, so the high-quality reducer;
//     decoding and encoding included)
//   - noise reduction alone against SoX `noisered` (both learn the profile and reduce)
//   - the whole command against ffmpeg's `adeclip,adeclick,afftdn`
//   - forward plus inverse real FFT against FFTW (FFTW_MEASURE) at 2048 and 16384 points,
//     batches of ours and FFTW's in turn, the least time of each over 15 rounds at least
//   - peak memory of `sonavel restore` on 1 and 60 minutes of the same music
// Usage: bench_speed [repeats, default 3]
// Exit code: 0 when every target is met, 1 otherwise.

#include "bench/quality/RepairDamage.h"
#include "dsp/ParameterMapping.h"
#include "dsp/RestorationChain.h"
#include "primitives/RealFFT.h"
#include "primitives/SimdDispatch.h"
#include "bench/BenchCommand.h"
#include "bench/BenchWave.h"
#include "support/Signals.h"

#include <fftw3.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using DSP::Restoration::ChainSwitches;
using DSP::Restoration::RestorationChain;

namespace {

constexpr double musicSeconds = 60.0;
constexpr double musicOffset = 30.0;
constexpr double trainingSeconds = 2.0;
constexpr int blockFrames = 4096;

bool allMet = true;

void Report(const char* what, double value, const char* unit, bool met, const char* target) {
    std::printf("  %-46s %9.2f %-3s  target %-22s %s\n", what, value, unit, target,
                met ? "PASS" : "FAIL");
    allMet = allMet && met;
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// The least CPU time of `repeats` runs of work.
double BestOf(int repeats, const std::function<void()>& work) {
    double best = 1e30;
    for (int r = 0; r < repeats; ++r) {
        const double start = CpuSeconds();
        work();
        best = std::min(best, CpuSeconds() - start);
    }
    return best;
}

StereoSignal LoadStereoMusic() {
    StereoSignal s;
    SF_INFO info{};
    SNDFILE* file = sf_open(defaultTrack, SFM_READ, &info);
    if (file == nullptr || info.channels != 2) {
        std::fprintf(stderr, "cannot read %s as stereo (install planetblupi-music-ogg)\n",
                     defaultTrack);
        if (file != nullptr) sf_close(file);
        return s;
    }
    const sf_count_t frames = sf_count_t(musicSeconds * info.samplerate);
    sf_seek(file, sf_count_t(musicOffset * info.samplerate), SEEK_SET);
    std::vector<float> interleaved(std::size_t(frames) * 2);
    const sf_count_t read = sf_readf_float(file, interleaved.data(), frames);
    sf_close(file);
    s.rate = std::uint32_t(info.samplerate);
    for (sf_count_t i = 0; i < read; ++i) {
        s.left.push_back(interleaved[2 * i]);
        s.right.push_back(interleaved[2 * i + 1]);
    }
    AddHiss(s, -50.0f, 3);
    return s;
}

// ---- the chain in this process

// Streams [first, last) frames of the music through the chain in blocks.
void Stream(RestorationChain& chain, const StereoSignal& music, std::size_t first,
            std::size_t last, const ChainSwitches& on) {
    std::vector<float> left(blockFrames), right(blockFrames);
    float* block[] = {left.data(), right.data()};
    for (std::size_t at = first; at < last; at += blockFrames) {
        const int frames = int(std::min<std::size_t>(blockFrames, last - at));
        std::copy_n(music.left.begin() + long(at), frames, left.begin());
        std::copy_n(music.right.begin() + long(at), frames, right.begin());
        chain.Process(block, 2, frames, on);
    }
}

void Train(RestorationChain& chain, const StereoSignal& music) {
    ChainSwitches learn{};
    learn.declip = learn.declick = learn.reduction = false;
    learn.training = true;
    chain.StartTraining();
    Stream(chain, music, 0, std::size_t(trainingSeconds * music.rate), learn);
    chain.FinishTraining();
    chain.Reset();
}

// CPU seconds of learning the profile and restoring the whole music.
double ChainSeconds(const StereoSignal& music, const ChainSwitches& on, int repeats) {
    RestorationChain chain;
    chain.SetReductionDb(DSP::Restoration::ReductionDb(DSP::Restoration::defaultSetting));
    chain.SetSensitivityDb(DSP::Restoration::SensitivityDb(DSP::Restoration::defaultSetting));
    chain.SetDetectionLevelDb(
        DSP::Restoration::DetectionLevelDb(DSP::Restoration::defaultSetting));
    return BestOf(repeats, [&] {
        chain.Setup(2, int(music.rate), blockFrames);
        Train(chain, music);
        Stream(chain, music, 0, music.Frames(), on);
    });
}

// ---- commands

// The least CPU time of `repeats` runs of the commands, run one after the other each time.
CommandRun BestRun(const fs::path& dir, const std::vector<std::vector<std::string>>& commands,
              int repeats) {
    CommandRun best;
    best.cpuSeconds = 1e30;
    for (int r = 0; r < repeats; ++r) {
        CommandRun total;
        total.ran = true;
        for (const auto& command : commands) {
            const CommandRun one = RunCommand(dir, command);
            total.ran = total.ran && one.ran;
            total.cpuSeconds += one.cpuSeconds;
            total.peakMegabytes = std::max(total.peakMegabytes, one.peakMegabytes);
        }
        if (!total.ran) return total;
        if (total.cpuSeconds < best.cpuSeconds) best = total;
    }
    return best;
}

std::vector<std::string> Sonavel(const fs::path& in, const fs::path& out) {
    return {SONAVEL_BINARY, "restore", in.string(), out.string(),
            "--train",      "0-2",     "--quiet",   "--force"};
}

// ---- FFT

std::vector<float> Noise(int n) {
    std::mt19937 gen(1);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> v(std::size_t(n) + 2);
    for (float& x : v)
        x = dist(gen);
    return v;
}

// Rounds of FFT batches: each of ours followed by one of FFTW's, so that a busy spell of
// the machine slows both, and the least time of each over many rounds.
constexpr int fftRounds = 15;

// CPU seconds per forward plus inverse transform of one batch.
double PerTransform(int n, const std::function<void()>& pair) {
    const int batch = std::max(200, 8000000 / n);
    const double start = CpuSeconds();
    for (int i = 0; i < batch; ++i)
        pair();
    return (CpuSeconds() - start) / batch;
}

double FftRatio(int n, int repeats) {
    RealFFT ours;
    ours.Init(n);
    std::vector<float> signal = Noise(n), spectrum(std::size_t(n) + 2);
    float* in = fftwf_alloc_real(std::size_t(n));
    fftwf_complex* out = fftwf_alloc_complex(std::size_t(n) / 2 + 1);
    fftwf_plan forward = fftwf_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
    fftwf_plan inverse = fftwf_plan_dft_c2r_1d(n, out, in, FFTW_MEASURE);
    std::copy_n(Noise(n).begin(), n, in);
    double oursSeconds = 1e30, fftwSeconds = 1e30;
    for (int round = 0; round < std::max(repeats, fftRounds); ++round) {
        oursSeconds = std::min(oursSeconds, PerTransform(n, [&] {
                                   ours.Forward(signal.data(), spectrum.data());
                                   ours.Inverse(spectrum.data(), signal.data());
                               }));
        fftwSeconds = std::min(fftwSeconds, PerTransform(n, [&] {
                                   fftwf_execute(forward);
                                   fftwf_execute(inverse);
                               }));
    }
    fftwf_destroy_plan(forward);
    fftwf_destroy_plan(inverse);
    fftwf_free(out);
    fftwf_free(in);
    return oursSeconds / fftwSeconds;
}

// ---- the sections

void ChainFigures(const StereoSignal& music, int repeats) {
    std::puts("Restoration chain in process (declip + declick + noise reduction, learning "
              "included):");
    const ChainSwitches all{};
    const double standard = ChainSeconds(music, all, repeats);
    Report("standard reducer, x real time", musicSeconds / standard, "x", musicSeconds / standard >= 200.0,
           ">= 200x");
    ChainSwitches high = all;
    high.highQuality = true;
    const double highSeconds = ChainSeconds(music, high, repeats);
    Report("high-quality reducer, x real time", musicSeconds / highSeconds, "x",
           musicSeconds / highSeconds >= 150.0, ">= 150x");
}

void CommandFigures(const fs::path& dir, const StereoSignal& music, int repeats) {
    const fs::path in = dir / "music.wav";
    if (!WriteStereoWave(in, music, 1)) return void(std::puts("cannot write the test file"));
    std::puts("Commands on the same file (CPU time of the process and its children):");
    const CommandRun ours = BestRun(dir, {Sonavel(in, dir / "ours.wav")}, repeats);
    if (!ours.ran) return void(std::puts("  sonavel restore failed"));
    std::printf("  %-46s %9.2f x    (the chain's targets above, with file I/O and start-up)\n",
                "sonavel restore, x real time", musicSeconds / ours.cpuSeconds);

    ChainSwitches reductionOnly{};
    reductionOnly.declip = reductionOnly.declick = false;
    const double reduction = ChainSeconds(music, reductionOnly, repeats);
    const fs::path noise = dir / "noise.wav", profile = dir / "noise.prof";
    const CommandRun sox = BestRun(
        dir,
        {{"sox", "-V1", in.string(), noise.string(), "trim", "0", "2"},
         {"sox", "-V1", noise.string(), "-n", "noiseprof", profile.string()},
         {"sox", "-V1", in.string(), (dir / "sox.wav").string(), "noisered", profile.string(),
          "0.21"}},
        repeats);
    if (sox.ran) {
        std::printf("  noise reduction alone: ours %.3f s, SoX noisered %.3f s\n", reduction,
                    sox.cpuSeconds);
        Report("noise reduction, times faster than SoX", sox.cpuSeconds / reduction, "x",
               sox.cpuSeconds / reduction >= 2.5, ">= 2.5x");
    } else {
        std::puts("  sox not available: noise reduction comparison skipped");
    }

    const CommandRun ffmpeg =
        BestRun(dir,
                {{"ffmpeg", "-v", "error", "-y", "-i", in.string(), "-af",
                  "adeclip,adeclick,afftdn", (dir / "ffmpeg.wav").string()}},
                1);
    if (ffmpeg.ran) {
        std::printf("  whole chain: sonavel restore %.3f s, ffmpeg %.3f s\n", ours.cpuSeconds,
                    ffmpeg.cpuSeconds);
        Report("sonavel's share of ffmpeg's CPU time", ours.cpuSeconds / ffmpeg.cpuSeconds, "",
               ours.cpuSeconds / ffmpeg.cpuSeconds <= 0.05, "<= 0.05 (1/20)");
    } else {
        std::puts("  ffmpeg not available: chain comparison skipped");
    }
}

void FftFigures(int repeats) {
    std::printf("Real FFT, forward + inverse, against FFTW (instruction set %s):\n",
                SimdLevelName(ActiveSimdLevel()));
    for (int n : {2048, 16384}) {
        const double ratio = FftRatio(n, repeats);
        const std::string what = "N = " + std::to_string(n) + ", our time / FFTW's";
        Report(what.c_str(), ratio, "", ratio <= 1.2, "<= 1.2");
    }
}

void MemoryFigures(const fs::path& dir, const StereoSignal& music) {
    std::puts("Peak memory of sonavel restore:");
    double peaks[2] = {};
    const int minutes[2] = {1, 60};
    for (int i = 0; i < 2; ++i) {
        const fs::path in = dir / "long.wav";
        if (!WriteStereoWave(in, music, minutes[i])) return void(std::puts("cannot write the long file"));
        const CommandRun run = RunCommand(dir, Sonavel(in, dir / "long-out.wav"));
        fs::remove(in);
        fs::remove(dir / "long-out.wav");
        if (!run.ran) return void(std::puts("  sonavel restore failed on the long file"));
        peaks[i] = run.peakMegabytes;
        std::printf("  %2d min: %.1f MB\n", minutes[i], peaks[i]);
    }
    // Constant within the noise of the allocator and the file buffers: 1 MB or 5 %.
    const double growth = peaks[1] - peaks[0];
    Report("growth from 1 to 60 minutes", growth, "MB",
           growth <= std::max(1.0, 0.05 * peaks[0]), "<= max(1 MB, 5 %)");
}

} // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const StereoSignal music = LoadStereoMusic();
    if (music.Frames() == 0) return 1;
    char pattern[] = "/tmp/bench_speed-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const fs::path dir = pattern;
    std::printf("60 s of stereo %u Hz music (%s from %.0f s, hiss at -50 dBFS), profile "
                "learnt from the first %.0f s; CPU seconds, best of %d\n",
                music.rate, defaultTrack, musicOffset, trainingSeconds, repeats);
    ChainFigures(music, repeats);
    CommandFigures(dir, music, repeats);
    FftFigures(repeats);
    MemoryFigures(dir, music);
    fs::remove_all(dir);
    std::puts(allMet ? "All targets met." : "Some targets are not met.");
    return allMet ? 0 : 1;
}
