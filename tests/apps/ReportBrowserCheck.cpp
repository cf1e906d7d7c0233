// Helper of report-browser-check.sh.
//   report_browser_check write PAGE.html
//     writes the report of a short synthesised restore (crackle, hiss and clipping
//     restored by the whole chain, the noise learnt from the lead-in);
//   report_browser_check check PAGE.html SCREENSHOT.png WIDTH HEIGHT
//     checks that the browser's screenshot has the window's size and shows every
//     picture of the page whole, pixel for pixel: a picture that failed to load (blank,
//     or the broken-image icon) is not found.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "apps/HostPlugin.h"
#include "apps/MemoryFrames.h"
#include "apps/Progress.h"
#include "apps/ReportBuilder.h"
#include "apps/ReportTaps.h"
#include "apps/StreamRunner.h"
#include "support/Signals.h"
#include "tests/apps/ReportPage.h"

namespace {

constexpr double leadIn = 2.0;

// The repairs the damage calls for, one per run of changed samples of a channel.
void ReportDamage(const std::vector<float>& before, const std::vector<float>& after, int channel,
                  DSP::RepairKind kind, DSP::RepairObserver& observer) {
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] == after[i]) continue;
        const std::size_t start = i;
        float peak = 0.0f;
        for (; i < before.size() && before[i] != after[i]; ++i)
            peak = std::max(peak, std::fabs(after[i]));
        observer.OnRepair({kind, channel, std::int64_t(start), int(i - start), peak});
    }
}

int Write(const std::string& path) {
    const StereoSignal clean = SynthesiseMusic(leadIn, 6.0, 44100, 1.3f);
    StereoSignal crackly = clean;
    AddCrackle(crackly, 8.0, 1);
    StereoSignal damaged = crackly;
    AddHiss(damaged, -40.0f, 2);
    StereoSignal unclipped = damaged;
    Clip(damaged, 1.0f);

    ReportSetup setup;
    setup.title = "Sonavel restore: damaged.wav to restored.wav";
    setup.frames = std::int64_t(clean.Frames());
    setup.outputGainDb = -6.0;
    setup.noiseStretch = FrameRange{0, std::int64_t(leadIn * clean.rate)};
    setup.noiseSource = "0:00-0:02 of the input (--train 0-2)";
    ReportBuilder report(setup);
    for (int c = 0; c < 2; ++c) {
        const auto& side = [&](const StereoSignal& s) { return c == 0 ? s.left : s.right; };
        ReportDamage(side(clean), side(crackly), c, DSP::RepairKind::click, report.Observer());
        ReportDamage(side(unclipped), side(damaged), c, DSP::RepairKind::clippedRun,
                     report.Observer());
    }

    HostPlugin plugin;
    StreamRunner runner(plugin, 2, clean.rate);
    Progress silent("", 0, true);
    MemorySource training(damaged);
    runner.Train(training, std::int64_t(leadIn * clean.rate), silent);
    MemorySource playing(damaged);
    ReportedSource source(playing, report);
    DiscardSink discard;
    ReportedSink sink(discard, report);
    runner.Restore(source, sink, silent);

    report.SetNoiseProfile(NoiseProfileFromState(plugin.SaveState()));
    report.AddSetting("input", "damaged.wav: WAV, 16-bit PCM");
    report.AddSetting("output", "restored.wav: WAV, 16-bit PCM");
    report.AddSetting("stages", "declip, declick, noise reduction (defaults)");
    report.AddSetting("latency", std::to_string(plugin.LatencyWith({})) + " frames, compensated");
    report.WriteHtml(path, true);
    return 0;
}

bool Matches(const Image& shot, const Image& picture, int x0, int y0) {
    constexpr int tolerance = 3;
    const auto near = [](int a, int b) { return std::abs(a - b) <= tolerance; };
    for (int y = 0; y < picture.Height(); y += 3) {
        for (int x = 0; x < picture.Width(); x += 3) {
            const Rgb a = shot.At(x0 + x, y0 + y);
            const Rgb b = picture.At(x, y);
            if (!near(a.r, b.r) || !near(a.g, b.g) || !near(a.b, b.b)) return false;
        }
    }
    return true;
}

bool Shows(const Image& shot, const Image& picture) {
    for (int y = 0; y + picture.Height() <= shot.Height(); ++y)
        for (int x = 0; x + picture.Width() <= shot.Width(); ++x)
            if (Matches(shot, picture, x, y)) return true;
    return false;
}

int Check(const std::string& pagePath, const std::string& shotPath, int width, int height) {
    std::ifstream file(pagePath);
    const std::string page{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const Image shot = ReadPngFile(shotPath);
    int failures = 0;
    if (shot.Width() != width || shot.Height() != height) {
        std::printf("screenshot is %dx%d, the window %dx%d\n", shot.Width(), shot.Height(), width,
                    height);
        ++failures;
    }
    const auto pictures = Pictures(page);
    for (const auto& [name, picture] : pictures) {
        const bool shown = Shows(shot, picture);
        std::printf("%-10s %4dx%-4d %s\n", name.c_str(), picture.Width(), picture.Height(),
                    shown ? "shown" : "NOT SHOWN");
        failures += !shown;
    }
    if (pictures.size() < 6) {
        std::printf("the page holds %zu pictures, expected 6\n", pictures.size());
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "write" && argc == 3) return Write(argv[2]);
    if (command == "check" && argc == 6)
        return Check(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
    std::fprintf(stderr, "usage: report_browser_check write PAGE | check PAGE SHOT WIDTH HEIGHT\n");
    return 2;
}
