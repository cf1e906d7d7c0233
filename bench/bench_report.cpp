// The cost of the run report against the restore it describes: a 60-minute stereo
// file at 44.1 kHz (a minute of synthesised, damaged music played 60 times over) fed
// to the report as a restore feeds it, the output lagging by the chain's latency,
// then the page written. The restore's own speed is measured on the first minute
// with the whole chain on, once plain and once wired to a report as `sonavel restore
// --report` wires it (the stages' repairs heard, the audio tapped on the way through);
// the report must cost under a fifth of the restore's time, and its memory must not
// grow with the length (measured at 10 and at 60 minutes).
// Usage: bench_report [minutes, default 60]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <time.h>

#include "apps/HostPlugin.h"
#include "apps/Progress.h"
#include "apps/ReportBuilder.h"
#include "apps/ReportTaps.h"
#include "apps/StreamRunner.h"
#include "support/Signals.h"

namespace {

// The process's processor time: on a shared machine the wall clock measures the
// neighbours too. Everything measured here runs on one thread.
struct Clock {
    using time_point = std::chrono::duration<double>;
    static time_point now() {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return time_point(double(t.tv_sec) + 1e-9 * double(t.tv_nsec));
    }
};
constexpr std::uint32_t rate = 44100;
constexpr int block = 4410;

StereoSignal DamagedMinute() {
    StereoSignal s = SynthesiseMusic(2.0, 58.0, rate, 1.3f);
    AddCrackle(s, 25.0, 1);
    AddHiss(s, -45.0f, 2);
    Clip(s, 1.0f);
    return s;
}

double Seconds(Clock::time_point since) {
    return (Clock::now() - since).count();
}

// The process's resident memory, now and at its peak, in MB.
std::pair<double, double> MemoryMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    double now = 0.0, peak = 0.0;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) now = std::atof(line.c_str() + 6) / 1024.0;
        if (line.rfind("VmHWM:", 0) == 0) peak = std::atof(line.c_str() + 6) / 1024.0;
    }
    return {now, peak};
}

// The signal played `times` times over.
class Source : public FrameSource {
public:
    Source(const StereoSignal& s, int times)
        : s(s), left(std::int64_t(times) * std::int64_t(s.Frames())) {}
    int Read(int frames, float* l, float* r) override {
        const std::size_t at = std::size_t(done % std::int64_t(s.Frames()));
        const std::size_t n = std::size_t(std::min<std::int64_t>(
            {std::int64_t(frames), std::int64_t(s.Frames() - at), left - done}));
        std::copy_n(s.left.data() + at, n, l);
        std::copy_n(s.right.data() + at, n, r);
        done += std::int64_t(n);
        return int(n);
    }

private:
    const StereoSignal& s;
    std::int64_t left;
    std::int64_t done = 0;
};

class Discard : public FrameSink {
public:
    void Write(int, const float*, const float*) override {}
};

// Seconds the whole chain takes to restore the minute played `minutes` times, noise
// learnt from its lead-in; with a report, wired as the command line wires it.
double RestoreSeconds(const StereoSignal& minute, int minutes, ReportBuilder* report) {
    HostPlugin plugin;
    StreamRunner runner(plugin, 2, rate);
    Progress silent("", 0, true);
    Source training(minute, 1);
    runner.Train(training, 2 * rate, silent);
    Source source(minute, minutes);
    Discard sink;
    const auto start = Clock::now();
    if (report == nullptr) {
        runner.Restore(source, sink, silent);
        return Seconds(start);
    }
    ReportedSource shownSource(source, *report);
    ReportedSink shownSink(sink, *report);
    plugin.ListenForRepairs(&report->Observer());
    runner.Restore(shownSource, shownSink, silent);
    plugin.ListenForRepairs(nullptr);
    return Seconds(start);
}

ReportSetup SetupFor(std::int64_t frames) {
    ReportSetup setup;
    setup.title = "bench";
    setup.frames = frames;
    setup.outputGainDb = -6.0;
    setup.noiseStretch = FrameRange{0, 2 * rate};
    return setup;
}

struct ReportCost {
    double seconds;
    double growthMegabytes;
};

// Feeds `minutes` of the minute played over and over, the output being the input at
// the declipper's level `lag` frames later, and writes the page.
ReportCost Report(const StereoSignal& minute, int minutes, const std::filesystem::path& page) {
    const std::int64_t frames = std::int64_t(minutes) * std::int64_t(minute.Frames());
    const double before = MemoryMegabytes().first;
    const auto start = Clock::now();
    ReportBuilder report(SetupFor(frames));
    std::vector<float> left(block), right(block);
    const std::size_t lag = 13539;
    for (std::int64_t at = 0; at < frames + std::int64_t(lag); at += block) {
        const std::size_t i = std::size_t(at % std::int64_t(minute.Frames()));
        const int n = int(std::min<std::size_t>(block, minute.Frames() - i));
        if (at < frames) report.AddInput(n, minute.left.data() + i, minute.right.data() + i);
        const std::int64_t outAt = at - std::int64_t(lag);
        if (outAt < 0) continue;
        const std::size_t o = std::size_t(outAt % std::int64_t(minute.Frames()));
        const int m =
            int(std::min<std::int64_t>({block, std::int64_t(minute.Frames() - o), frames - outAt}));
        for (int k = 0; k < m; ++k) {
            left[std::size_t(k)] = 0.5f * minute.left[o + std::size_t(k)];
            right[std::size_t(k)] = 0.5f * minute.right[o + std::size_t(k)];
        }
        report.AddOutput(m, left.data(), right.data());
    }
    report.WriteHtml(page, true);
    return {Seconds(start), MemoryMegabytes().second - before};
}

} // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 60;
    const StereoSignal minute = DamagedMinute();
    const double restore = RestoreSeconds(minute, minutes, nullptr);
    ReportBuilder wired(SetupFor(std::int64_t(minutes) * std::int64_t(minute.Frames())));
    const double wiredRestore = RestoreSeconds(minute, minutes, &wired);
    const auto pageStart = Clock::now();
    wired.Page();
    const double pageSeconds = Seconds(pageStart);
    const double wiredReport = wiredRestore - restore + pageSeconds;
    const std::filesystem::path page = std::filesystem::temp_directory_path() / "bench-report.html";
    const ReportCost shorter = Report(minute, std::max(1, minutes / 6), page);
    const ReportCost full = Report(minute, minutes, page);
    std::filesystem::remove(page);
    std::printf("processor time, one thread, %d minutes of stereo at 44.1 kHz\n", minutes);
    std::printf("restore, whole chain: %.0f s, %.1f x real time\n", restore,
                60.0 * minutes / restore);
    std::printf(
        "restore wired to its report (%lld clicks and %lld clipped runs heard), page "
        "drawn: %.0f s;\n  the report's share %.1f s, %.3f of the restore (bound 0.2): %s\n",
        static_cast<long long>(wired.Repairs().TotalsOf(DSP::RepairKind::click).count),
        static_cast<long long>(wired.Repairs().TotalsOf(DSP::RepairKind::clippedRun).count),
        wiredRestore + pageSeconds, wiredReport, wiredReport / restore,
        wiredReport / restore < 0.2 ? "within" : "OVER");
    std::printf("report alone, fed the audio and drawn: %.1f s, %.3f of the restore\n",
                full.seconds, full.seconds / restore);
    std::printf("report's memory growth: %.1f MB at %d minutes, %.1f MB at %d minutes\n",
                shorter.growthMegabytes, std::max(1, minutes / 6), full.growthMegabytes, minutes);
    return 0;
}
