// The sonavel command line against ffmpeg's restoration chain on the same file, in one
// run: 60 s of synthesised stereo music at 44.1 kHz with crackle, hiss and clipping,
// restored by all three stages with the noise learnt from its first 2 s, and by
// `ffmpeg -af adeclip,adeclick,afftdn`. Then the peak memory of sonavel on a 60-minute
// file, which must not grow with the length of the input.
// Usage: bench_cli [minutes for the long file, default 60]

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sndfile.h>
#include <string>
#include <vector>

#include "bench/BenchCommand.h"
#include "bench/BenchWave.h"
#include "support/Signals.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t rate = 44100;
constexpr double seconds = 60.0;
constexpr double leadIn = 2.0;

StereoSignal DamagedMusic() {
    StereoSignal s = SynthesiseMusic(leadIn, seconds - leadIn, rate, 1.3f);
    AddCrackle(s, 25.0, 1);
    AddHiss(s, -45.0f, 2);
    Clip(s, 1.0f);
    return s;
}

std::vector<std::string> Sonavel(const fs::path& in, const fs::path& out) {
    return {SONAVEL_BINARY, "restore", in.string(), out.string(),
            "--train",      "0-2",     "--quiet",   "--force"};
}

void CompareWithFfmpeg(const fs::path& dir, const StereoSignal& music) {
    const fs::path in = dir / "music.wav";
    if (!WriteStereoWave(in, music, 1)) return void(std::puts("cannot write the test file"));
    const CommandRun ours = RunCommand(dir, Sonavel(in, dir / "ours.wav"));
    const CommandRun theirs = RunCommand(dir, {"ffmpeg", "-v", "error", "-y", "-i", in.string(), "-af",
                                       "adeclip,adeclick,afftdn", (dir / "ffmpeg.wav").string()});
    std::printf("60 s stereo 44.1 kHz, declip + declick + trained noise reduction\n");
    if (!ours.ran) return void(std::puts("  sonavel failed"));
    std::printf("  sonavel   %7.2f s  %6.0fx real time  peak memory %.1f MB\n", ours.wallSeconds,
                seconds / ours.wallSeconds, ours.peakMegabytes);
    if (!theirs.ran) return void(std::puts("  ffmpeg not available: comparison skipped"));
    std::printf("  ffmpeg    %7.2f s  %6.0fx real time  peak memory %.1f MB"
                "  (adeclip,adeclick,afftdn)\n",
                theirs.wallSeconds, seconds / theirs.wallSeconds, theirs.peakMegabytes);
    std::printf("  sonavel is %.1fx faster than the ffmpeg chain\n", theirs.wallSeconds / ours.wallSeconds);
}

void MeasureLongFile(const fs::path& dir, const StereoSignal& music, int minutes) {
    const fs::path in = dir / "long.wav";
    if (!WriteStereoWave(in, music, minutes)) return void(std::puts("cannot write the long file"));
    const CommandRun ours = RunCommand(dir, Sonavel(in, dir / "long-out.wav"));
    if (!ours.ran) return void(std::puts("  sonavel failed on the long file"));
    std::printf("%d min stereo 44.1 kHz: sonavel %.1f s (%.0fx real time), peak memory %.1f MB\n",
                minutes, ours.wallSeconds, minutes * 60.0 / ours.wallSeconds, ours.peakMegabytes);
}

} // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 60;
    char pattern[] = "/tmp/bench_cli-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const fs::path dir = pattern;
    const StereoSignal music = DamagedMusic();
    CompareWithFfmpeg(dir, music);
    MeasureLongFile(dir, music, minutes);
    fs::remove_all(dir);
    return 0;
}
